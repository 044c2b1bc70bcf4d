// What the call layer needs of a backend: a source of attach and detach
// events, and for each attachment its session checks and its file service.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace md {

using KeyValues = std::vector<std::pair<std::string, std::string>>;

class File {
public:
    virtual ~File() = default;
    // 0 and the count in len (0 at end of file), or an error code.
    virtual int Read(void* buffer, unsigned int& len) = 0;
    virtual int Seek(std::int64_t offset, std::uint64_t whence) = 0;
};

// One attachment of a device. Calls may come from any thread.
class Device {
public:
    virtual ~Device() = default;
    virtual bool Present() const = 0;
    // The device's name on its bus: the folder name, or the USB serial number.
    virtual std::string Id() const = 0;
    virtual int Connect() = 0;
    virtual bool IsPaired() = 0;
    virtual int ValidatePairing() = 0;
    virtual int StartSession() = 0;
    virtual bool HasService(std::string_view name) = 0;
    virtual std::optional<KeyValues> DeviceInfo() = 0;
    virtual std::optional<KeyValues> FileInfo(std::string_view path) = 0;
    virtual std::shared_ptr<File> OpenFile(std::string_view path, int& error) = 0;
    virtual std::optional<std::vector<std::string>> ListDirectory(std::string_view path) = 0;
};

using Notify = std::function<void(const std::shared_ptr<Device>&, unsigned int msg)>;

class Backend {
public:
    virtual ~Backend() = default;
    // Starts watching; notify runs on the backend's own thread. The
    // destructor stops the thread before it returns.
    virtual void Start(Notify notify) = 0;
};

std::unique_ptr<Backend> MakeSimulatedBackend(std::string root);
std::unique_ptr<Backend> MakeUsbBackend();

}  // namespace md
