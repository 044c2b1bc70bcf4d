// Simulated devices: one folder per attached device under a root folder.
//
//   <root>/<device-id>/afc-info   device information, key=value per line
//   <root>/<device-id>/pairing    optional: paired, unpaired, invalid, no-session, no-connect
//   <root>/<device-id>/faults     optional: see README.md
//   <root>/<device-id>/files/     the file service's tree
//
// A folder appearing is an attach, a folder disappearing a detach; names
// beginning with "." are ignored so that a device can be built and renamed
// into place whole.
#include <algorithm>
#include <atomic>
#include <cctype>
#include <cerrno>
#include <chrono>
#include <map>
#include <mutex>
#include <set>
#include <thread>

#include <dirent.h>
#include <fcntl.h>
#include <linux/openat2.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>

#include "Backend.h"
#include "Faults.h"
#include "MobileDevice.h"

namespace md {

namespace {

constexpr auto ScanPeriod = std::chrono::milliseconds(100);
constexpr std::size_t MaxListFile = 64 * 1024;
constexpr std::size_t MaxDirectoryEntries = 1 << 20;
constexpr std::size_t MaxDevices = 4096;

class UniqueFd {
public:
    UniqueFd() = default;
    explicit UniqueFd(int fd) : fd_(fd) {}
    ~UniqueFd() {
        if (fd_ >= 0) ::close(fd_);
    }
    UniqueFd(UniqueFd&& o) noexcept : fd_(std::exchange(o.fd_, -1)) {}
    UniqueFd& operator=(UniqueFd&& o) noexcept {
        if (this != &o) {
            if (fd_ >= 0) ::close(fd_);
            fd_ = std::exchange(o.fd_, -1);
        }
        return *this;
    }
    int Get() const { return fd_; }
    int Release() { return std::exchange(fd_, -1); }
    explicit operator bool() const { return fd_ >= 0; }

private:
    int fd_ = -1;
};

// A small text file of the device folder, or nothing when missing or too big.
std::optional<std::string> ReadSmallFile(const std::string& path) {
    UniqueFd fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW));
    if (!fd) return std::nullopt;
    struct stat st;
    if (::fstat(fd.Get(), &st) != 0 || !S_ISREG(st.st_mode)) return std::nullopt;
    std::string out(MaxListFile + 1, '\0');
    std::size_t got = 0;
    while (got < out.size()) {
        ssize_t n = ::read(fd.Get(), out.data() + got, out.size() - got);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) return std::nullopt;
        if (n == 0) break;
        got += static_cast<std::size_t>(n);
    }
    if (got > MaxListFile) return std::nullopt;
    out.resize(got);
    return out;
}

enum class Pairing { Paired, Unpaired, Invalid, NoSession, NoConnect };

Pairing PairingOf(const std::optional<std::string>& text) {
    if (!text) return Pairing::Paired;
    std::string_view w = *text;
    while (!w.empty() && std::isspace(static_cast<unsigned char>(w.front()))) w.remove_prefix(1);
    while (!w.empty() && std::isspace(static_cast<unsigned char>(w.back()))) w.remove_suffix(1);
    if (w.empty() || w == "paired") return Pairing::Paired;
    if (w == "invalid") return Pairing::Invalid;
    if (w == "no-session") return Pairing::NoSession;
    if (w == "no-connect") return Pairing::NoConnect;
    // "unpaired" and any word we do not know: a pairing we cannot vouch for.
    return Pairing::Unpaired;
}

KeyValues ParseInfoList(std::string_view text) {
    KeyValues out;
    while (!text.empty()) {
        const std::size_t eol = text.find('\n');
        std::string_view line = text.substr(0, eol);
        text = eol == std::string_view::npos ? std::string_view() : text.substr(eol + 1);
        if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
        const std::size_t eq = line.find('=');
        if (eq == std::string_view::npos || eq == 0) continue;
        out.emplace_back(line.substr(0, eq), line.substr(eq + 1));
    }
    return out;
}

// Opens a path below `base`; ".." and symbolic links may not lead out of it.
UniqueFd OpenBeneath(int base, const std::string& relative, int flags) {
    open_how how{};
    how.flags = static_cast<std::uint64_t>(flags | O_CLOEXEC);
    how.resolve = RESOLVE_BENEATH | RESOLVE_NO_MAGICLINKS;
    for (;;) {
        long fd = ::syscall(SYS_openat2, base, relative.c_str(), &how, sizeof how);
        if (fd >= 0) return UniqueFd(static_cast<int>(fd));
        if (errno == EINTR || errno == EAGAIN) continue;
        if (errno != ENOSYS) return UniqueFd();
        break;
    }
    // Older kernels: the path is already free of "..", so only links can lead out.
    return UniqueFd(::openat(base, relative.c_str(), flags | O_CLOEXEC | O_NOFOLLOW));
}

class SimulatedDevice;

class SimulatedFile : public File {
public:
    SimulatedFile(std::shared_ptr<SimulatedDevice> device, UniqueFd fd, std::string path,
                  const std::vector<Fault>& faults);
    int Read(void* buffer, unsigned int& len) override;
    int Seek(std::int64_t offset, std::uint64_t whence) override;

private:
    std::shared_ptr<SimulatedDevice> device_;
    UniqueFd fd_;
    std::uint64_t pos_ = 0;
    std::optional<std::uint64_t> readErrorAt_;
    std::optional<std::uint64_t> unplugAt_;
    std::uint64_t delayMs_ = 0;
    std::optional<std::uint64_t> maxRead_;
};

class SimulatedDevice : public Device, public std::enable_shared_from_this<SimulatedDevice> {
public:
    SimulatedDevice(std::string root, std::string id)
        : root_(std::move(root)), id_(std::move(id)), folder_(root_ + "/" + id_) {
        pairing_ = PairingOf(ReadSmallFile(folder_ + "/pairing"));
        if (auto text = ReadSmallFile(folder_ + "/faults")) faults_ = ParseFaults(*text);
    }

    bool Present() const override { return present_.load(); }
    std::string Id() const override { return id_; }
    void Gone() { present_.store(false); }

    // The fault "unplug": the device leaves as if its cable were pulled; the
    // folder is moved to a dot-name so that the watcher sees it go.
    void Unplug() {
        if (!present_.exchange(false)) return;
        const std::string parked = root_ + "/." + id_ + ".unplugged";
        ::rename(folder_.c_str(), parked.c_str());
    }

    int Connect() override {
        if (!Present()) return MDERR_NO_DEVICE;
        return pairing_ == Pairing::NoConnect ? MDERR_CONNECT_REFUSED : 0;
    }
    bool IsPaired() override { return Present() && pairing_ != Pairing::Unpaired && pairing_ != Pairing::NoConnect; }
    int ValidatePairing() override {
        if (!Present()) return MDERR_NO_DEVICE;
        return IsPaired() && pairing_ != Pairing::Invalid ? 0 : MDERR_INVALID_PAIRING;
    }
    int StartSession() override {
        if (!Present()) return MDERR_NO_DEVICE;
        return ValidatePairing() == 0 && pairing_ != Pairing::NoSession ? 0 : MDERR_SESSION_REFUSED;
    }
    bool HasService(std::string_view name) override { return Present() && name == "com.apple.afc"; }

    std::optional<KeyValues> DeviceInfo() override {
        if (!Present()) return std::nullopt;
        auto text = ReadSmallFile(folder_ + "/afc-info");
        if (!text) return std::nullopt;
        return ParseInfoList(*text);
    }

    std::optional<KeyValues> FileInfo(std::string_view path) override {
        auto fd = Open(path, O_PATH);
        struct stat st;
        if (!fd || ::fstat(fd.Get(), &st) != 0) return std::nullopt;
        const char* fmt = S_ISREG(st.st_mode) ? "S_IFREG" : S_ISDIR(st.st_mode) ? "S_IFDIR" : "S_IFOTHER";
        return KeyValues{{"st_size", std::to_string(st.st_size)}, {"st_ifmt", fmt}};
    }

    std::shared_ptr<File> OpenFile(std::string_view path, int& error) override {
        auto normal = NormalizeDevicePath(path);
        auto fd = Open(path, O_RDONLY);
        struct stat st;
        if (!normal || !fd || ::fstat(fd.Get(), &st) != 0 || !S_ISREG(st.st_mode)) {
            error = AFCERR_NOT_FOUND;
            return nullptr;
        }
        error = 0;
        return std::make_shared<SimulatedFile>(shared_from_this(), std::move(fd), *normal, faults_);
    }

    std::optional<std::vector<std::string>> ListDirectory(std::string_view path) override {
        auto normal = NormalizeDevicePath(path);
        auto fd = Open(path, O_RDONLY | O_DIRECTORY);
        if (!normal || !fd) return std::nullopt;
        const int raw = fd.Release();
        DIR* dir = ::fdopendir(raw);
        if (!dir) {
            ::close(raw);
            return std::nullopt;
        }
        std::vector<std::string> names;
        while (dirent* e = ::readdir(dir)) {
            std::string_view n = e->d_name;
            if (n == "." || n == "..") continue;
            if (names.size() >= MaxDirectoryEntries) break;
            names.emplace_back(n);
        }
        ::closedir(dir);
        for (const auto& f : faults_)
            if (f.kind == Fault::Kind::DirEntry && f.path == *normal) names.push_back(f.name);
        std::sort(names.begin(), names.end());
        names.insert(names.begin(), {".", ".."});
        return names;
    }

private:
    UniqueFd Open(std::string_view path, int flags) {
        if (!Present()) return UniqueFd();
        auto normal = NormalizeDevicePath(path);
        if (!normal) return UniqueFd();
        UniqueFd base(::open((folder_ + "/files").c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC));
        if (!base) return UniqueFd();
        const std::string relative = *normal == "/" ? std::string(".") : normal->substr(1);
        return OpenBeneath(base.Get(), relative, flags);
    }

    std::string root_, id_, folder_;
    Pairing pairing_ = Pairing::Paired;
    std::vector<Fault> faults_;
    std::atomic<bool> present_{true};
};

SimulatedFile::SimulatedFile(std::shared_ptr<SimulatedDevice> device, UniqueFd fd, std::string path,
                             const std::vector<Fault>& faults)
    : device_(std::move(device)), fd_(std::move(fd)) {
    for (const auto& f : faults) {
        const bool mine = f.path == path || f.path == "*";
        if (!mine) continue;
        switch (f.kind) {
        case Fault::Kind::ReadError: readErrorAt_ = f.number; break;
        case Fault::Kind::Unplug: unplugAt_ = f.number; break;
        case Fault::Kind::SlowRead: delayMs_ = f.number; break;
        case Fault::Kind::MaxRead: maxRead_ = f.number; break;
        case Fault::Kind::DirEntry: break;
        }
    }
}

int SimulatedFile::Read(void* buffer, unsigned int& len) {
    const std::uint64_t asked = len;
    len = 0;
    if (!device_->Present()) return AFCERR_READ_ERROR;
    if (delayMs_) std::this_thread::sleep_for(std::chrono::milliseconds(delayMs_));
    std::uint64_t want = asked;
    if (maxRead_) want = std::min(want, *maxRead_);
    if (readErrorAt_) {
        if (pos_ >= *readErrorAt_ && want > 0) return AFCERR_READ_ERROR;
        want = std::min(want, *readErrorAt_ - std::min(pos_, *readErrorAt_));
    }
    if (unplugAt_) {
        if (pos_ >= *unplugAt_ && want > 0) {
            device_->Unplug();
            return AFCERR_READ_ERROR;
        }
        want = std::min(want, *unplugAt_ - std::min(pos_, *unplugAt_));
    }
    std::uint64_t got = 0;
    auto* out = static_cast<char*>(buffer);
    while (got < want) {
        const std::size_t chunk = static_cast<std::size_t>(std::min<std::uint64_t>(want - got, 1u << 30));
        ssize_t n = ::pread(fd_.Get(), out + got, chunk, static_cast<off_t>(pos_ + got));
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) {
            len = static_cast<unsigned int>(got);
            pos_ += got;
            return AFCERR_READ_ERROR;
        }
        if (n == 0) break;
        got += static_cast<std::uint64_t>(n);
    }
    pos_ += got;
    len = static_cast<unsigned int>(got);
    return 0;
}

int SimulatedFile::Seek(std::int64_t offset, std::uint64_t whence) {
    if (!device_->Present()) return AFCERR_READ_ERROR;
    std::int64_t from = 0;
    if (whence == 1) {
        from = static_cast<std::int64_t>(pos_);
    } else if (whence == 2) {
        struct stat st;
        if (::fstat(fd_.Get(), &st) != 0) return AFCERR_READ_ERROR;
        from = st.st_size;
    } else if (whence != 0) {
        return MDERR_INVALID_ARGUMENT;
    }
    if ((offset < 0 && from < -offset) || (offset > 0 && from > INT64_MAX - offset)) return MDERR_INVALID_ARGUMENT;
    pos_ = static_cast<std::uint64_t>(from + offset);
    return 0;
}

class SimulatedBackend : public Backend {
public:
    explicit SimulatedBackend(std::string root) : root_(std::move(root)) {}
    ~SimulatedBackend() override {
        if (thread_.joinable()) {
            thread_.request_stop();
            thread_.join();
        }
    }

    void Start(Notify notify) override {
        notify_ = std::move(notify);
        thread_ = std::jthread([this](std::stop_token stop) { Watch(stop); });
    }

private:
    struct Attached {
        ino_t inode;
        std::shared_ptr<SimulatedDevice> device;
    };

    // The device folders there now: name and inode.
    std::map<std::string, ino_t> Scan() const {
        std::map<std::string, ino_t> found;
        DIR* dir = ::opendir(root_.c_str());
        if (!dir) return found;
        while (dirent* e = ::readdir(dir)) {
            if (e->d_name[0] == '.' || found.size() >= MaxDevices) continue;
            struct stat st;
            if (::fstatat(::dirfd(dir), e->d_name, &st, 0) == 0 && S_ISDIR(st.st_mode)) found[e->d_name] = st.st_ino;
        }
        ::closedir(dir);
        return found;
    }

    void Watch(const std::stop_token& stop) {
        while (!stop.stop_requested()) {
            const auto now = Scan();
            // Leaving first: a folder replaced by another is a detach and an attach.
            for (auto it = attached_.begin(); it != attached_.end();) {
                auto there = now.find(it->first);
                const bool same = there != now.end() && there->second == it->second.inode;
                if (same && it->second.device->Present()) {
                    ++it;
                    continue;
                }
                if (same) unplugged_[it->first] = it->second.inode;  // still there but pulled out
                it->second.device->Gone();
                auto device = it->second.device;
                it = attached_.erase(it);
                notify_(device, ADNCI_MSG_DISCONNECTED);
            }
            for (auto it = unplugged_.begin(); it != unplugged_.end();) {
                auto there = now.find(it->first);
                it = (there == now.end() || there->second != it->second) ? unplugged_.erase(it) : std::next(it);
            }
            for (const auto& [name, inode] : now) {
                if (attached_.count(name) || unplugged_.count(name)) continue;
                auto device = std::make_shared<SimulatedDevice>(root_, name);
                attached_[name] = Attached{inode, device};
                notify_(device, ADNCI_MSG_CONNECTED);
            }
            for (int i = 0; i < 10 && !stop.stop_requested(); ++i) std::this_thread::sleep_for(ScanPeriod / 10);
        }
    }

    std::string root_;
    Notify notify_;
    std::map<std::string, Attached> attached_;
    std::map<std::string, ino_t> unplugged_;
    std::jthread thread_;  // last: stopped before the rest goes
};

}  // namespace

std::unique_ptr<Backend> MakeSimulatedBackend(std::string root) {
    return std::make_unique<SimulatedBackend>(std::move(root));
}

}  // namespace md
