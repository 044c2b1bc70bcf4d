// The calls: handle tables over the chosen backend. Tables are guarded by one
// mutex; reads and listings run outside it so that a slow device never holds
// up the notification thread.
#include "MobileDevice.h"

#include <cstdlib>
#include <map>
#include <mutex>
#include <set>

#include "Backend.h"

struct am_device {
    std::shared_ptr<md::Device> device;
    unsigned int connectionId = 0;
    bool connected = false;
    bool session = false;
};

struct am_device_notification {};

struct afc_directory {
    std::vector<std::string> names;
    std::size_t next = 0;
};

struct afc_dictionary {
    md::KeyValues pairs;
    std::size_t next = 0;
};

struct afc_connection {
    std::shared_ptr<md::Device> device;
    bool opened = false;  // a service connection until AFCConnectionOpen
    std::map<afc_file_ref, std::shared_ptr<md::File>> files;
    std::map<const afc_directory*, std::unique_ptr<afc_directory>> dirs;
    afc_file_ref nextRef = 1;
};

namespace {

struct Library {
    Library() {
        const char* root = std::getenv("PIXFERRY_SIMULATED_DEVICES");
        backend = root && *root ? md::MakeSimulatedBackend(root) : md::MakeUsbBackend();
    }

    std::mutex mutex;
    std::vector<std::unique_ptr<am_device>> devices;  // every attachment, kept for the process
    std::set<const am_device*> known;
    std::map<const md::Device*, am_device*> current;
    std::map<const afc_connection*, std::unique_ptr<afc_connection>> connections;
    std::map<const afc_dictionary*, std::unique_ptr<afc_dictionary>> dictionaries;
    std::map<unsigned int, std::unique_ptr<CFObject>> restoreObjects;
    am_device_notification_callback callback = nullptr;
    am_device_notification notification;
    bool started = false;
    unsigned int nextConnectionId = 1;
    std::unique_ptr<md::Backend> backend;  // last: its thread stops before the tables go
};

Library& Lib() {
    static Library lib;
    return lib;
}

void OnBackendEvent(const std::shared_ptr<md::Device>& device, unsigned int msg) {
    auto& lib = Lib();
    am_device* dev = nullptr;
    am_device_notification_callback callback;
    {
        std::lock_guard lock(lib.mutex);
        if (msg == ADNCI_MSG_CONNECTED) {
            auto made = std::make_unique<am_device>();
            made->device = device;
            made->connectionId = lib.nextConnectionId++;
            dev = made.get();
            lib.known.insert(dev);
            lib.current[device.get()] = dev;
            lib.devices.push_back(std::move(made));
        } else {
            auto it = lib.current.find(device.get());
            if (it == lib.current.end()) return;
            dev = it->second;
            lib.current.erase(it);
        }
        callback = lib.callback;
    }
    if (callback) {
        am_device_notification_callback_info info{dev, msg};
        callback(&info);
    }
}

// The device behind a handle, or nothing for a handle we never gave out.
am_device* Known(Library& lib, am_device* dev) { return lib.known.count(dev) ? dev : nullptr; }

// The backend device behind a handle that has reached `stage` (none: any), or the error.
int DeviceAt(am_device* dev, bool am_device::*stage, std::shared_ptr<md::Device>& device) {
    auto& lib = Lib();
    std::lock_guard lock(lib.mutex);
    if (!Known(lib, dev)) return MDERR_NO_DEVICE;
    if (stage && !(dev->*stage)) return MDERR_NOT_CONNECTED;
    device = dev->device;
    return 0;
}

afc_connection* OpenConnection(Library& lib, afc_connection* conn) {
    auto it = lib.connections.find(conn);
    return it != lib.connections.end() && it->second->opened ? it->second.get() : nullptr;
}

int PutList(std::optional<md::KeyValues> pairs, afc_dictionary** out) {
    if (!pairs) return AFCERR_NOT_FOUND;
    auto& lib = Lib();
    auto dict = std::make_unique<afc_dictionary>();
    dict->pairs = std::move(*pairs);
    std::lock_guard lock(lib.mutex);
    *out = dict.get();
    lib.dictionaries[dict.get()] = std::move(dict);
    return 0;
}

std::shared_ptr<md::Device> DeviceOf(afc_connection* conn) {
    auto& lib = Lib();
    std::lock_guard lock(lib.mutex);
    auto* c = OpenConnection(lib, conn);
    return c ? c->device : nullptr;
}

}  // namespace

int AMDeviceNotificationSubscribe(am_device_notification_callback callback, unsigned int, unsigned int, unsigned int,
                                  am_device_notification** notification) {
    if (!callback) return MDERR_INVALID_ARGUMENT;
    auto& lib = Lib();
    {
        std::lock_guard lock(lib.mutex);
        if (lib.callback) return MDERR_GENERAL;  // one subscriber per process
        lib.callback = callback;
        if (notification) *notification = &lib.notification;
        if (lib.started) return 0;
        lib.started = true;
    }
    lib.backend->Start(OnBackendEvent);
    return 0;
}

int AMRestoreRegisterForDeviceNotifications(am_restore_device_notification_callback,
                                            am_restore_device_notification_callback,
                                            am_restore_device_notification_callback,
                                            am_restore_device_notification_callback, unsigned int, void*) {
    // No backend knows devices in restore, recovery or DFU mode.
    return 0;
}

int AMDeviceConnect(am_device* dev) {
    std::shared_ptr<md::Device> device;
    if (int rc = DeviceAt(dev, nullptr, device)) return rc;
    const int rc = device->Connect();
    auto& lib = Lib();
    std::lock_guard lock(lib.mutex);
    if (rc == 0) dev->connected = true;
    return rc;
}

unsigned int AMDeviceGetConnectionID(am_device* dev) {
    auto& lib = Lib();
    std::lock_guard lock(lib.mutex);
    return Known(lib, dev) ? dev->connectionId : 0;
}

CFTypeRef AMRestoreModeDeviceCreate(unsigned int, unsigned int connectionId, unsigned int) {
    auto& lib = Lib();
    std::lock_guard lock(lib.mutex);
    auto& object = lib.restoreObjects[connectionId];
    if (!object) {
        object = std::make_unique<CFObject>();
        object->typeName = "AMRestoreModeDevice";
        object->text = "<AMRestoreModeDevice connection " + std::to_string(connectionId) + ": not in restore mode>";
    }
    return object.get();
}

int AMDeviceIsPaired(am_device* dev) {
    std::shared_ptr<md::Device> device;
    if (DeviceAt(dev, &am_device::connected, device) != 0) return 0;
    return device->IsPaired() ? 1 : 0;
}

int AMDeviceValidatePairing(am_device* dev) {
    std::shared_ptr<md::Device> device;
    if (int rc = DeviceAt(dev, &am_device::connected, device)) return rc;
    return device->ValidatePairing();
}

int AMDeviceStartSession(am_device* dev) {
    std::shared_ptr<md::Device> device;
    if (int rc = DeviceAt(dev, &am_device::connected, device)) return rc;
    const int rc = device->StartSession();
    auto& lib = Lib();
    std::lock_guard lock(lib.mutex);
    if (rc == 0) dev->session = true;
    return rc;
}

int AMDeviceStartService(am_device* dev, CFStringRef serviceName, afc_connection** service, unsigned int*) {
    if (!service) return MDERR_INVALID_ARGUMENT;
    *service = nullptr;
    std::shared_ptr<md::Device> device;
    if (int rc = DeviceAt(dev, &am_device::session, device)) return rc;
    auto& lib = Lib();
    if (!serviceName || serviceName->typeName != "CFString" || !device->HasService(serviceName->text))
        return MDERR_NO_SUCH_SERVICE;
    auto conn = std::make_unique<afc_connection>();
    conn->device = device;
    std::lock_guard lock(lib.mutex);
    *service = conn.get();
    lib.connections[conn.get()] = std::move(conn);
    return 0;
}

int AFCConnectionOpen(afc_connection* service, unsigned int, afc_connection** connection) {
    if (!connection) return MDERR_INVALID_ARGUMENT;
    auto& lib = Lib();
    std::lock_guard lock(lib.mutex);
    auto it = lib.connections.find(service);
    if (it == lib.connections.end()) {
        *connection = nullptr;
        return AFCERR_BAD_HANDLE;
    }
    it->second->opened = true;
    *connection = it->second.get();
    return 0;
}

int AFCDeviceInfoOpen(afc_connection* connection, afc_dictionary** info) {
    if (!info) return MDERR_INVALID_ARGUMENT;
    *info = nullptr;
    auto device = DeviceOf(connection);
    if (!device) return AFCERR_BAD_HANDLE;
    return PutList(device->DeviceInfo(), info);
}

int AFCFileInfoOpen(afc_connection* connection, const char* path, afc_dictionary** info) {
    if (!info) return MDERR_INVALID_ARGUMENT;
    *info = nullptr;
    if (!path) return MDERR_INVALID_ARGUMENT;
    auto device = DeviceOf(connection);
    if (!device) return AFCERR_BAD_HANDLE;
    return PutList(device->FileInfo(path), info);
}

int AFCKeyValueRead(afc_dictionary* dict, const char** key, const char** value) {
    if (key) *key = nullptr;
    if (value) *value = nullptr;
    if (!key || !value) return MDERR_INVALID_ARGUMENT;
    auto& lib = Lib();
    std::lock_guard lock(lib.mutex);
    auto it = lib.dictionaries.find(dict);
    if (it == lib.dictionaries.end()) return AFCERR_BAD_HANDLE;
    auto& d = *it->second;
    if (d.next < d.pairs.size()) {
        *key = d.pairs[d.next].first.c_str();
        *value = d.pairs[d.next].second.c_str();
        ++d.next;
    }
    return 0;
}

int AFCKeyValueClose(afc_dictionary* dict) {
    auto& lib = Lib();
    std::lock_guard lock(lib.mutex);
    return lib.dictionaries.erase(dict) ? 0 : AFCERR_BAD_HANDLE;
}

int AFCFileRefOpen(afc_connection* connection, const char* path, std::uint64_t mode, afc_file_ref* ref) {
    if (!ref) return MDERR_INVALID_ARGUMENT;
    *ref = 0;
    if (!path) return MDERR_INVALID_ARGUMENT;
    if (mode != AFC_FILE_READ) return AFCERR_NOT_SUPPORTED;  // the device is read-only to us
    auto device = DeviceOf(connection);
    if (!device) return AFCERR_BAD_HANDLE;
    int error = 0;
    auto file = device->OpenFile(path, error);
    if (!file) return error ? error : AFCERR_NOT_FOUND;
    auto& lib = Lib();
    std::lock_guard lock(lib.mutex);
    auto* c = OpenConnection(lib, connection);
    if (!c) return AFCERR_BAD_HANDLE;
    *ref = c->nextRef++;
    c->files[*ref] = std::move(file);
    return 0;
}

namespace {

std::shared_ptr<md::File> FileOf(afc_connection* connection, afc_file_ref ref) {
    auto& lib = Lib();
    std::lock_guard lock(lib.mutex);
    auto* c = OpenConnection(lib, connection);
    if (!c) return nullptr;
    auto it = c->files.find(ref);
    return it == c->files.end() ? nullptr : it->second;
}

}  // namespace

int AFCFileRefSeek(afc_connection* connection, afc_file_ref ref, std::int64_t offset, std::uint64_t whence) {
    auto file = FileOf(connection, ref);
    return file ? file->Seek(offset, whence) : AFCERR_BAD_HANDLE;
}

int AFCFileRefRead(afc_connection* connection, afc_file_ref ref, void* buffer, unsigned int* len) {
    if (!len) return MDERR_INVALID_ARGUMENT;
    if (!buffer && *len) {
        *len = 0;
        return MDERR_INVALID_ARGUMENT;
    }
    auto file = FileOf(connection, ref);
    if (!file) {
        *len = 0;
        return AFCERR_BAD_HANDLE;
    }
    return file->Read(buffer, *len);
}

int AFCFileRefClose(afc_connection* connection, afc_file_ref ref) {
    auto& lib = Lib();
    std::lock_guard lock(lib.mutex);
    auto* c = OpenConnection(lib, connection);
    return c && c->files.erase(ref) ? 0 : AFCERR_BAD_HANDLE;
}

int AFCDirectoryOpen(afc_connection* connection, const char* path, afc_directory** dir) {
    if (!dir) return MDERR_INVALID_ARGUMENT;
    *dir = nullptr;
    if (!path) return MDERR_INVALID_ARGUMENT;
    auto device = DeviceOf(connection);
    if (!device) return AFCERR_BAD_HANDLE;
    auto names = device->ListDirectory(path);
    if (!names) return AFCERR_NOT_FOUND;
    auto made = std::make_unique<afc_directory>();
    made->names = std::move(*names);
    auto& lib = Lib();
    std::lock_guard lock(lib.mutex);
    auto* c = OpenConnection(lib, connection);
    if (!c) return AFCERR_BAD_HANDLE;
    *dir = made.get();
    c->dirs[made.get()] = std::move(made);
    return 0;
}

int AFCDirectoryRead(afc_connection* connection, afc_directory* dir, const char** name) {
    if (!name) return MDERR_INVALID_ARGUMENT;
    *name = nullptr;
    auto& lib = Lib();
    std::lock_guard lock(lib.mutex);
    auto* c = OpenConnection(lib, connection);
    if (!c) return AFCERR_BAD_HANDLE;
    auto it = c->dirs.find(dir);
    if (it == c->dirs.end()) return AFCERR_BAD_HANDLE;
    auto& d = *it->second;
    if (d.next < d.names.size()) *name = d.names[d.next++].c_str();
    return 0;
}

int AFCDirectoryClose(afc_connection* connection, afc_directory* dir) {
    auto& lib = Lib();
    std::lock_guard lock(lib.mutex);
    auto* c = OpenConnection(lib, connection);
    return c && c->dirs.erase(dir) ? 0 : AFCERR_BAD_HANDLE;
}
