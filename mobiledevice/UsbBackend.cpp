// USB devices through usbmuxd and libimobiledevice. Device events come on
// libusbmuxd's own thread; everything else runs on the caller's thread.
//
// The pairing checks use only what the host already holds: a device whose
// pair record usbmuxd does not have is not paired, and we never pair.
#include <atomic>
#include <chrono>
#include <cstdlib>
#include <map>
#include <mutex>
#include <thread>

#include <libimobiledevice/afc.h>
#include <libimobiledevice/libimobiledevice.h>
#include <libimobiledevice/lockdown.h>
#include <plist/plist.h>
#include <usbmuxd.h>

#include "Backend.h"
#include "MobileDevice.h"

namespace md {

namespace {

constexpr const char* Label = "velmorapx";
constexpr const char* FileServiceName = "com.apple.afc";

KeyValues PairsOf(char** list) {
    KeyValues out;
    if (!list) return out;
    for (char** p = list; p[0] && p[1]; p += 2) out.emplace_back(p[0], p[1]);
    return out;
}

// The HostID of the host's pair record for udid, or empty when there is none.
std::string PairedHostId(const std::string& udid) {
    char* data = nullptr;
    std::uint32_t size = 0;
    if (usbmuxd_read_pair_record(udid.c_str(), &data, &size) != 0 || !data) return {};
    plist_t record = nullptr;
    if (plist_is_binary(data, size))
        plist_from_bin(data, size, &record);
    else
        plist_from_xml(data, size, &record);
    std::free(data);
    std::string hostId;
    plist_t node = record ? plist_dict_get_item(record, "HostID") : nullptr;
    if (node && plist_get_node_type(node) == PLIST_STRING) {
        char* s = nullptr;
        plist_get_string_val(node, &s);
        if (s) hostId = s;
        std::free(s);
    }
    if (record) plist_free(record);
    return hostId;
}

class UsbDevice;

class UsbFile : public File {
public:
    UsbFile(std::shared_ptr<UsbDevice> device, afc_client_t afc, std::uint64_t handle)
        : device_(std::move(device)), afc_(afc), handle_(handle) {}
    ~UsbFile() override;
    int Read(void* buffer, unsigned int& len) override;
    int Seek(std::int64_t offset, std::uint64_t whence) override;

private:
    std::shared_ptr<UsbDevice> device_;  // keeps the file-service client alive
    afc_client_t afc_;
    std::uint64_t handle_;
};

class UsbDevice : public Device, public std::enable_shared_from_this<UsbDevice> {
public:
    explicit UsbDevice(std::string udid) : udid_(std::move(udid)) {}
    ~UsbDevice() override {
        if (afc_) afc_client_free(afc_);
        if (lockdown_) lockdownd_client_free(lockdown_);
        if (device_) idevice_free(device_);
    }

    bool Present() const override { return present_.load(); }
    std::string Id() const override { return udid_; }
    void Gone() { present_.store(false); }

    int Connect() override {
        std::lock_guard lock(mutex_);
        if (!Present()) return MDERR_NO_DEVICE;
        if (lockdown_) return 0;
        if (!device_ && idevice_new_with_options(&device_, udid_.c_str(), IDEVICE_LOOKUP_USBMUX) != IDEVICE_E_SUCCESS) {
            device_ = nullptr;
            return MDERR_NO_DEVICE;
        }
        if (lockdownd_client_new(device_, &lockdown_, Label) != LOCKDOWN_E_SUCCESS) {
            lockdown_ = nullptr;
            return MDERR_CONNECT_REFUSED;
        }
        char* type = nullptr;
        const bool lockdown = lockdownd_query_type(lockdown_, &type) == LOCKDOWN_E_SUCCESS;
        std::free(type);
        if (!lockdown) {
            lockdownd_client_free(lockdown_);
            lockdown_ = nullptr;
            return MDERR_CONNECT_REFUSED;
        }
        return 0;
    }

    bool IsPaired() override {
        std::lock_guard lock(mutex_);
        if (!Present()) return false;
        hostId_ = PairedHostId(udid_);
        return !hostId_.empty();
    }

    int ValidatePairing() override {
        std::lock_guard lock(mutex_);
        if (!Present()) return MDERR_NO_DEVICE;
        if (!lockdown_) return MDERR_NOT_CONNECTED;
        if (hostId_.empty()) hostId_ = PairedHostId(udid_);
        if (hostId_.empty()) return MDERR_INVALID_PAIRING;
        // From system 7 on devices no longer answer ValidatePair; there the
        // session start is what checks our HostID against the device's.
        if (SystemMajorVersion() >= 7) return 0;
        return lockdownd_validate_pair(lockdown_, nullptr) == LOCKDOWN_E_SUCCESS ? 0 : MDERR_INVALID_PAIRING;
    }

    int StartSession() override {
        std::lock_guard lock(mutex_);
        if (!Present()) return MDERR_NO_DEVICE;
        if (!lockdown_) return MDERR_NOT_CONNECTED;
        if (hostId_.empty()) hostId_ = PairedHostId(udid_);
        if (hostId_.empty()) return MDERR_INVALID_PAIRING;
        int ssl = 0;
        return lockdownd_start_session(lockdown_, hostId_.c_str(), nullptr, &ssl) == LOCKDOWN_E_SUCCESS
                   ? 0
                   : MDERR_SESSION_REFUSED;
    }

    // The file service is the only one we speak, so it is started here.
    bool HasService(std::string_view name) override {
        std::lock_guard lock(mutex_);
        if (!Present() || !lockdown_ || name != FileServiceName) return false;
        if (afc_) return true;
        lockdownd_service_descriptor_t service = nullptr;
        if (lockdownd_start_service(lockdown_, FileServiceName, &service) != LOCKDOWN_E_SUCCESS || !service) {
            if (service) lockdownd_service_descriptor_free(service);
            return false;
        }
        const bool ok = afc_client_new(device_, service, &afc_) == AFC_E_SUCCESS;
        lockdownd_service_descriptor_free(service);
        if (!ok) afc_ = nullptr;
        return ok;
    }

    std::optional<KeyValues> DeviceInfo() override {
        auto afc = Afc();
        char** list = nullptr;
        if (!afc || afc_get_device_info(afc, &list) != AFC_E_SUCCESS) {
            if (list) afc_dictionary_free(list);
            return std::nullopt;
        }
        KeyValues out = PairsOf(list);
        afc_dictionary_free(list);
        return out;
    }

    std::optional<KeyValues> FileInfo(std::string_view path) override {
        auto afc = Afc();
        char** list = nullptr;
        const std::string p(path);
        if (!afc || afc_get_file_info(afc, p.c_str(), &list) != AFC_E_SUCCESS || !list) {
            if (list) afc_dictionary_free(list);
            return std::nullopt;
        }
        KeyValues out = PairsOf(list);
        afc_dictionary_free(list);
        return out;
    }

    std::shared_ptr<File> OpenFile(std::string_view path, int& error) override {
        auto afc = Afc();
        std::uint64_t handle = 0;
        const std::string p(path);
        if (!afc || afc_file_open(afc, p.c_str(), AFC_FOPEN_RDONLY, &handle) != AFC_E_SUCCESS || handle == 0) {
            error = AFCERR_NOT_FOUND;
            return nullptr;
        }
        error = 0;
        return std::make_shared<UsbFile>(shared_from_this(), afc, handle);
    }

    std::optional<std::vector<std::string>> ListDirectory(std::string_view path) override {
        auto afc = Afc();
        char** list = nullptr;
        const std::string p(path);
        if (!afc || afc_read_directory(afc, p.c_str(), &list) != AFC_E_SUCCESS) {
            if (list) afc_dictionary_free(list);
            return std::nullopt;
        }
        std::vector<std::string> names;
        for (char** n = list; n && *n; ++n) names.emplace_back(*n);
        if (list) afc_dictionary_free(list);
        return names;
    }

private:
    // 0 when the device does not say.
    int SystemMajorVersion() {
        plist_t value = nullptr;
        int major = 0;
        if (lockdownd_get_value(lockdown_, nullptr, "ProductVersion", &value) == LOCKDOWN_E_SUCCESS && value &&
            plist_get_node_type(value) == PLIST_STRING) {
            char* s = nullptr;
            plist_get_string_val(value, &s);
            if (s) major = std::atoi(s);
            std::free(s);
        }
        if (value) plist_free(value);
        return major;
    }

    afc_client_t Afc() {
        std::lock_guard lock(mutex_);
        return Present() ? afc_ : nullptr;
    }

    const std::string udid_;
    std::atomic<bool> present_{true};
    std::mutex mutex_;
    idevice_t device_ = nullptr;
    lockdownd_client_t lockdown_ = nullptr;
    afc_client_t afc_ = nullptr;
    std::string hostId_;
};

UsbFile::~UsbFile() {
    if (device_->Present()) afc_file_close(afc_, handle_);
}

int UsbFile::Read(void* buffer, unsigned int& len) {
    const unsigned int asked = len;
    len = 0;
    if (!device_->Present()) return AFCERR_READ_ERROR;
    std::uint32_t got = 0;
    if (afc_file_read(afc_, handle_, static_cast<char*>(buffer), asked, &got) != AFC_E_SUCCESS)
        return AFCERR_READ_ERROR;
    len = got;
    return 0;
}

int UsbFile::Seek(std::int64_t offset, std::uint64_t whence) {
    if (!device_->Present()) return AFCERR_READ_ERROR;
    if (whence > 2) return MDERR_INVALID_ARGUMENT;
    return afc_file_seek(afc_, handle_, offset, static_cast<int>(whence)) == AFC_E_SUCCESS ? 0
                                                                                           : MDERR_INVALID_ARGUMENT;
}

class UsbBackend : public Backend {
public:
    ~UsbBackend() override {
        if (waiter_.joinable()) {
            waiter_.request_stop();
            waiter_.join();
        }
        if (subscribed_) idevice_event_unsubscribe();
    }

    // usbmuxd is often started only when the first device is plugged in, and
    // may leave and come back; libusbmuxd waits for it again only at its
    // default socket. So once a second: subscribe when usbmuxd answers, and
    // subscribe anew when it lists a device we were not told about twice in
    // a row (the events stopped).
    void Start(Notify notify) override {
        notify_ = std::move(notify);
        waiter_ = std::jthread([this](std::stop_token stop) {
            int unannounced = 0;
            while (!stop.stop_requested()) {
                usbmuxd_device_info_t* list = nullptr;
                const int n = usbmuxd_get_device_list(&list);
                if (n >= 0) {
                    bool missing = false;
                    {
                        std::lock_guard lock(mutex_);
                        for (int i = 0; i < n; ++i)
                            if (list[i].conn_type == CONNECTION_TYPE_USB && !current_.count(list[i].udid)) missing = true;
                    }
                    usbmuxd_device_list_free(&list);
                    unannounced = missing ? unannounced + 1 : 0;
                    if (subscribed_ && unannounced >= 2) {
                        idevice_event_unsubscribe();
                        subscribed_ = false;
                    }
                    if (!subscribed_) {
                        subscribed_ = idevice_event_subscribe(&UsbBackend::OnEvent, this) == IDEVICE_E_SUCCESS;
                        unannounced = 0;
                    }
                }
                for (int i = 0; i < 10 && !stop.stop_requested(); ++i)
                    std::this_thread::sleep_for(std::chrono::milliseconds(100));
            }
        });
    }

private:
    static void OnEvent(const idevice_event_t* event, void* self) {
        if (event && event->udid && event->conn_type == CONNECTION_USBMUXD)
            static_cast<UsbBackend*>(self)->Handle(event->event, event->udid);
    }

    void Handle(idevice_event_type type, const std::string& udid) {
        std::shared_ptr<UsbDevice> device;
        unsigned int msg = 0;
        {
            std::lock_guard lock(mutex_);
            auto it = current_.find(udid);
            if (type == IDEVICE_DEVICE_ADD && it == current_.end()) {
                device = std::make_shared<UsbDevice>(udid);
                current_[udid] = device;
                msg = ADNCI_MSG_CONNECTED;
            } else if (type == IDEVICE_DEVICE_REMOVE && it != current_.end()) {
                device = it->second;
                current_.erase(it);
                device->Gone();
                msg = ADNCI_MSG_DISCONNECTED;
            }
        }
        if (device) notify_(device, msg);
    }

    Notify notify_;
    std::mutex mutex_;
    std::map<std::string, std::shared_ptr<UsbDevice>> current_;
    std::atomic<bool> subscribed_{false};
    std::jthread waiter_;  // last: stopped before the rest goes
};

}  // namespace

std::unique_ptr<Backend> MakeUsbBackend() { return std::make_unique<UsbBackend>(); }

}  // namespace md
