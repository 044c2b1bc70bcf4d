// The mobile-device library: device notifications, the device session and
// the file service, under the names the connector calls them by.
//
// Every call returns an integer code, 0 for success. Handles are opaque and
// owned by the library; a handle the library does not know gives an error,
// never a crash. The backend is chosen at the first call: a folder of
// simulated devices when PIXFERRY_SIMULATED_DEVICES is set, otherwise USB.
#pragma once

#include <cstdint>
#include <string>

// Objects that cross the library's interface: the service name the caller
// passes in and the objects the library hands out to be described.
struct CFObject {
    std::string typeName;  // "CFString" for a string
    std::string text;      // the string, or the object's printable text
};
using CFTypeRef = const CFObject*;
using CFStringRef = const CFObject*;

struct am_device;
struct am_device_notification;
struct am_recovery_device;
struct afc_connection;
struct afc_dictionary;
struct afc_directory;
using afc_file_ref = std::uint64_t;

inline constexpr unsigned int ADNCI_MSG_CONNECTED = 1;
inline constexpr unsigned int ADNCI_MSG_DISCONNECTED = 2;

struct am_device_notification_callback_info {
    am_device* dev;
    unsigned int msg;
};

using am_device_notification_callback = void (*)(am_device_notification_callback_info* info);
using am_restore_device_notification_callback = void (*)(am_recovery_device* device);

// Result codes besides 0.
inline constexpr int MDERR_GENERAL = 1;
inline constexpr int MDERR_INVALID_ARGUMENT = 2;
inline constexpr int MDERR_NO_DEVICE = 3;           // unknown handle, or the device is gone
inline constexpr int MDERR_NOT_CONNECTED = 4;       // a session call before AMDeviceConnect
inline constexpr int MDERR_CONNECT_REFUSED = 5;
inline constexpr int MDERR_INVALID_PAIRING = 6;
inline constexpr int MDERR_SESSION_REFUSED = 7;
inline constexpr int MDERR_NO_SUCH_SERVICE = 8;
inline constexpr int AFCERR_NOT_FOUND = 20;         // missing, or outside the file service's tree
inline constexpr int AFCERR_BAD_HANDLE = 21;
inline constexpr int AFCERR_READ_ERROR = 22;
inline constexpr int AFCERR_NOT_SUPPORTED = 23;     // e.g. a mode other than reading

inline constexpr std::uint64_t AFC_FILE_READ = 2;

// Device notifications. The callback runs on the library's own thread,
// first for every device already attached, then for each change.
int AMDeviceNotificationSubscribe(am_device_notification_callback callback, unsigned int unused0,
                                  unsigned int unused1, unsigned int unused2,
                                  am_device_notification** notification);
int AMRestoreRegisterForDeviceNotifications(am_restore_device_notification_callback dfuConnect,
                                            am_restore_device_notification_callback recoveryConnect,
                                            am_restore_device_notification_callback dfuDisconnect,
                                            am_restore_device_notification_callback recoveryDisconnect,
                                            unsigned int unused0, void* context);

// Session.
int AMDeviceConnect(am_device* device);
unsigned int AMDeviceGetConnectionID(am_device* device);
// An object describing the device as the restore side sees it; the library
// keeps it for the life of the process.
CFTypeRef AMRestoreModeDeviceCreate(unsigned int unused0, unsigned int connectionId, unsigned int unused1);
int AMDeviceIsPaired(am_device* device);  // non-zero: paired
int AMDeviceValidatePairing(am_device* device);
int AMDeviceStartSession(am_device* device);
int AMDeviceStartService(am_device* device, CFStringRef serviceName, afc_connection** service,
                         unsigned int* unused);

// File service. Paths are absolute with '/' separators.
int AFCConnectionOpen(afc_connection* service, unsigned int ioTimeout, afc_connection** connection);
int AFCDeviceInfoOpen(afc_connection* connection, afc_dictionary** info);
int AFCFileInfoOpen(afc_connection* connection, const char* path, afc_dictionary** info);
// The next pair; key and value become null after the last one. The texts
// stay valid until the list is closed.
int AFCKeyValueRead(afc_dictionary* dict, const char** key, const char** value);
int AFCKeyValueClose(afc_dictionary* dict);
int AFCFileRefOpen(afc_connection* connection, const char* path, std::uint64_t mode, afc_file_ref* ref);
int AFCFileRefSeek(afc_connection* connection, afc_file_ref ref, std::int64_t offset, std::uint64_t whence);
// len: in, the buffer size; out, the count delivered (0 at end of file).
int AFCFileRefRead(afc_connection* connection, afc_file_ref ref, void* buffer, unsigned int* len);
int AFCFileRefClose(afc_connection* connection, afc_file_ref ref);
int AFCDirectoryOpen(afc_connection* connection, const char* path, afc_directory** dir);
// The next name, "." and ".." first; null after the last one. The text stays
// valid until the next read or the close.
int AFCDirectoryRead(afc_connection* connection, afc_directory* dir, const char** name);
int AFCDirectoryClose(afc_connection* connection, afc_directory* dir);
