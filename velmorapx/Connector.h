// The connector: a windowless program that owns the device session and
// carries out the main program's commands.
#pragma once

#include <chrono>

#include <cstdint>
#include <string>
#include <string_view>

#include "MobileDevice.h"
#include "WindowMessages.h"

extern const char* const szClassName;
extern wm::HWND selfhwnd;
extern wm::HWND MainFormHandle;
extern std::string SelfPath;
// The device of the latest notification, and the file-service connection
// every copy uses. Only the window thread touches them.
extern am_device* iPhone;
extern afc_connection* GhAFC;

// Device notifications reach the window thread as this posted message:
// wParam the device handle, lParam the notification code.
inline constexpr wm::UINT WM_DEVICE_NOTIFICATION = wm::WM_USER + 1;
// How long a failed command waits for the notice of a device that has gone.
inline constexpr std::chrono::milliseconds DeviceGoneWait{1000};

// The working folder for the connector's own program path: the text before
// "velmorapx" in the file name, or the whole path when the file is named otherwise.
std::string SelfPathFrom(std::string_view programPath);

wm::LRESULT WindowProcedure(const wm::Message& message);

// Sends a one-character reply to the main window and waits until it is taken.
void SendReply(std::string_view code);

// Registers the window, finds the main window, subscribes to device
// notifications and runs the message loop until a WM_DESTROY arrives.
// Returns the exit code.
int WinMain();

// --- Device session ---

// Called by the device library on its own thread; hands the notification
// to the window thread.
void device_notification_callback(am_device_notification_callback_info* info);
// On the window thread: attach (connect, iPad test, initial transfer) or detach.
void handle_device_notification(am_device* device, unsigned int msg);
// Connects to iPhone and checks its pairing and session.
bool connect();
// Writes an object's printable text, at most 255 bytes, to standard error.
void describe255(CFTypeRef object);
// Valid UTF-8 with '?' for each byte that is not, cut to at most 255 bytes
// at a whole character.
std::string Printable255(std::string_view text);

void dfu_connect_callback(am_recovery_device* device);
void recovery_connect_callback(am_recovery_device* device);
void dfu_disconnect_callback(am_recovery_device* device);
void recovery_disconnect_callback(am_recovery_device* device);

// --- Device file operations ---

inline constexpr std::size_t WholeFileChunk = 1048576;

// The file's "st_size", 0 when its information cannot be read.
unsigned int get_file_size(afc_connection* hAFC, const std::string& path);
// Whole-file copy. True when the device file existed with a non-zero size
// and could be opened, and the copy was not cut short by a read error. The
// local file appears only complete.
bool FileWriteToDisk(afc_connection* hAFC, const std::string& inputpath, const std::string& outputpath);
// Byte-range copy: one read of imagesize bytes at offset.
// True when the whole range arrived in the local file.
bool FileWriteToDiskPhoto(afc_connection* hAFC, const std::string& inputpath, const std::string& outputpath,
                          std::uint32_t offset, std::uint32_t imagesize);
// Copies the camera thumbnails under /DCIM/ into outputpath (ending in '/').
void FileWritesInDCIM(afc_connection* hAFC, const std::string& outputpath);
// Carries out one command text; answers "2" to every recognised one.
void dealwith_mainform_msg(std::string_view msg);
