#include "ConnectorHarness.h"

#include <csignal>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <future>

#include <fcntl.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include "CommandText.h"
#include "TestSupport.h"

extern char** environ;

namespace pxtest {

namespace fs = std::filesystem;

namespace {
constexpr wm::UINT WM_STOP_PUMP = wm::WM_USER + 50;
}

bool UsbBackendUnderTest() {
    const char* b = std::getenv("PIXFERRY_TEST_BACKEND");
    return b && std::string_view(b) == "usb";
}

std::string Pattern(std::size_t size, unsigned seed) {
    std::string out(size, '\0');
    std::uint32_t x = 2463534242u ^ (seed * 2654435761u);
    for (auto& c : out) {
        x ^= x << 13;
        x ^= x >> 17;
        x ^= x << 5;
        c = static_cast<char>(x & 0xff);
    }
    return out;
}

std::set<std::string> FolderNames(const std::string& folder) {
    std::set<std::string> names;
    std::error_code ec;
    for (const auto& e : fs::directory_iterator(folder, ec)) names.insert(e.path().filename().string());
    return names;
}

DeviceLayout SampleIPad(unsigned seed) {
    DeviceLayout layout;
    layout.files["/Photos/Photo Database"] = Pattern(2 * 1048576 + 12345, seed);
    layout.files["/Photos/Thumbs/F3004_1.ithmb"] = Pattern(300000, seed + 1);
    layout.files["/DCIM/100APPLE/IMG_0001.JPG"] = Pattern(5000, seed + 2);
    layout.files["/DCIM/100APPLE/IMG_0001.THM"] = Pattern(800, seed + 3);
    layout.files["/DCIM/100APPLE/.MISC/IMG_0002.THM"] = Pattern(700, seed + 4);
    return layout;
}

DeviceRoot::DeviceRoot() : path_(MakeTempFolder("devices")) {}

void DeviceRoot::Plug(const std::string& id, const DeviceLayout& layout) {
    const std::string building = path_ + "/.building-" + std::to_string(++built_);
    fs::create_directories(building + "/files");
    if (layout.afcInfo) WriteFile(building + "/afc-info", *layout.afcInfo);
    if (layout.pairing) WriteFile(building + "/pairing", *layout.pairing);
    if (!layout.faults.empty()) WriteFile(building + "/faults", layout.faults);
    for (const auto& [path, content] : layout.files) WriteFile(building + "/files" + path, content);
    fs::rename(building, path_ + "/" + id);
}

void DeviceRoot::Unplug(const std::string& id) { fs::rename(path_ + "/" + id, Parked(id)); }
void DeviceRoot::Replug(const std::string& id) { fs::rename(Parked(id), path_ + "/" + id); }

FakeMainWindow::FakeMainWindow() {
    thread_ = std::thread([this] {
        auto window = wm::Window::Create(px::MainWindowClass, px::MainWindowTitle, [this](const wm::Message& m) {
            if (m.message == WM_STOP_PUMP) wm::PostQuitMessage(0);
            if (m.message == wm::WM_COPYDATA && m.copyData) {
                std::lock_guard lock(mutex_);
                replies_.emplace_back(wm::CopyDataText(*m.copyData));
                if (m.copyData->cbData != 2) wellFormed_ = false;
                changed_.notify_all();
            }
            return wm::LRESULT{0};
        });
        {
            std::lock_guard lock(mutex_);
            if (window) handle_ = window->Handle();
            ready_ = true;
            changed_.notify_all();
        }
        if (!window) return;
        wm::MSG msg;
        while (wm::GetMessageA(msg)) wm::DispatchMessageA(msg);
    });
    std::unique_lock lock(mutex_);
    changed_.wait(lock, [this] { return ready_; });
    if (!handle_) ADD_FAILURE() << "the stand-in main window could not be made";
}

FakeMainWindow::~FakeMainWindow() {
    wm::PostMessageA(handle_, WM_STOP_PUMP, 0, 0);
    thread_.join();
}

std::vector<std::string> FakeMainWindow::Replies() const {
    std::lock_guard lock(mutex_);
    return replies_;
}

std::size_t FakeMainWindow::Count() const {
    std::lock_guard lock(mutex_);
    return replies_.size();
}

bool FakeMainWindow::WaitForReplies(std::size_t n, std::chrono::milliseconds timeout) const {
    std::unique_lock lock(mutex_);
    return changed_.wait_for(lock, timeout, [&] { return replies_.size() >= n; });
}

bool FakeMainWindow::RepliesWellFormed() const {
    std::lock_guard lock(mutex_);
    return wellFormed_;
}

ConnectorProcess::ConnectorProcess(const std::string& devicesRoot, const std::vector<std::string>& extraEnv, Via via) {
    const bool usb = via == Via::UsbBackend || (via == Via::TestDefault && UsbBackendUnderTest());
    folder_ = MakeTempFolder("program");
    work_ = folder_ + "/dllb/";
    fs::create_directories(work_ + "camera");
    const std::string program = work_ + "velmorapx";
    fs::copy_file(BinDir() + "dllb/velmorapx", program, fs::copy_options::overwrite_existing);
    log_ = folder_ + "/connector.log";

    std::vector<std::string> env;
    for (char** e = environ; *e; ++e) {
        const std::string_view v(*e);
        if (!v.starts_with("PIXFERRY_SIMULATED_DEVICES=") && !v.starts_with("USBMUXD_SOCKET_ADDRESS="))
            env.emplace_back(*e);
    }
    if (via == Via::UsbBackendOwnSimulator) {
        // USBMUXD_SOCKET_ADDRESS comes with extraEnv.
    } else if (usb) {
        const std::string socketPath = folder_ + "/usbmuxd.sock";
        if (!simulator_.Start(devicesRoot, socketPath, folder_ + "/simulator.log")) return;
        env.push_back("USBMUXD_SOCKET_ADDRESS=UNIX:" + socketPath);
    } else {
        env.push_back("PIXFERRY_SIMULATED_DEVICES=" + devicesRoot);
    }
    for (const auto& e : extraEnv) env.push_back(e);
    std::vector<char*> envp;
    for (auto& e : env) envp.push_back(e.data());
    envp.push_back(nullptr);
    std::string arg0 = "velmorapx";
    char* argv[] = {arg0.data(), nullptr};

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 2, log_.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    posix_spawn_file_actions_adddup2(&actions, 2, 1);
    pid_t pid = -1;
    const int rc = posix_spawn(&pid, program.c_str(), &actions, nullptr, argv, envp.data());
    posix_spawn_file_actions_destroy(&actions);
    if (rc != 0) {
        ADD_FAILURE() << "cannot start the connector: " << std::strerror(rc);
        return;
    }
    pid_ = pid;
}

bool DeviceSimulator::Start(const std::string& devicesRoot, const std::string& socketPath,
                            const std::string& simLog) {
    const std::string program = BinDir() + "pxdevicesim";
    std::string arg0 = "pxdevicesim", root = devicesRoot, sock = socketPath;
    char* argv[] = {arg0.data(), root.data(), sock.data(), nullptr};
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 2, simLog.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    pid_t pid = -1;
    const int rc = posix_spawn(&pid, program.c_str(), &actions, nullptr, argv, environ);
    posix_spawn_file_actions_destroy(&actions);
    if (rc != 0) {
        ADD_FAILURE() << "cannot start the device simulator: " << std::strerror(rc);
        return false;
    }
    pid_ = pid;
    // Ready once it accepts a connection.
    sockaddr_un addr{};
    addr.sun_family = AF_UNIX;
    if (socketPath.size() >= sizeof addr.sun_path) {
        ADD_FAILURE() << "socket path too long: " << socketPath;
        return false;
    }
    std::memcpy(addr.sun_path, socketPath.c_str(), socketPath.size() + 1);
    const auto end = std::chrono::steady_clock::now() + 10s;
    while (std::chrono::steady_clock::now() < end) {
        const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
        const bool up = fd >= 0 && ::connect(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) == 0;
        if (fd >= 0) ::close(fd);
        if (up) return true;
        std::this_thread::sleep_for(10ms);
    }
    ADD_FAILURE() << "the device simulator did not come up";
    return false;
}

void DeviceSimulator::Stop() {
    if (pid_ <= 0) return;
    ::kill(pid_, SIGTERM);
    const auto end = std::chrono::steady_clock::now() + 5s;
    int status = 0;
    while (::waitpid(pid_, &status, WNOHANG) == 0) {
        if (std::chrono::steady_clock::now() > end) {
            ::kill(pid_, SIGKILL);
            ::waitpid(pid_, &status, 0);
            break;
        }
        std::this_thread::sleep_for(10ms);
    }
    pid_ = -1;
}

ConnectorProcess::~ConnectorProcess() {
    Stop();
    const bool simulated = simulator_.Running();
    simulator_.Stop();
    if (::testing::Test::HasFailure()) {
        std::fprintf(stderr, "--- connector log ---\n%s---\n", Log().c_str());
        if (simulated)
            std::fprintf(stderr, "--- simulator log ---\n%s---\n", ReadFile(folder_ + "/simulator.log").c_str());
    }
}

wm::HWND ConnectorProcess::Window(std::chrono::milliseconds timeout) {
    const auto end = std::chrono::steady_clock::now() + timeout;
    while (!window_ && pid_ > 0 && std::chrono::steady_clock::now() < end) {
        for (const auto& w : wm::FindWindows(px::ConnectorClass, px::ConnectorTitle))
            if (w.OwnerPid() == pid_) window_ = w;
        if (!window_) std::this_thread::sleep_for(10ms);
    }
    return window_;
}

bool ConnectorProcess::SendWithTimeout(std::function<bool(const wm::HWND&)> send, std::chrono::milliseconds timeout) {
    const wm::HWND target = Window();
    if (!target) return false;
    auto done = std::async(std::launch::async, send, target);
    if (done.wait_for(timeout) == std::future_status::ready) return done.get();
    // A send that hangs is a failure; ending the receiver lets it return.
    ADD_FAILURE() << "a send to the connector did not come back in time";
    if (Running()) ::kill(pid_, SIGKILL);
    done.wait();
    return false;
}

bool ConnectorProcess::Send(const std::string& text, std::chrono::milliseconds timeout) {
    return SendWithTimeout([text](const wm::HWND& w) { return wm::SendCopyDataText(w, 0, text).has_value(); },
                           timeout);
}

bool ConnectorProcess::SendDestroy(std::chrono::milliseconds timeout) {
    return SendWithTimeout([](const wm::HWND& w) { return wm::SendMessageA(w, wm::WM_DESTROY, 1, 1).has_value(); },
                           timeout);
}

bool ConnectorProcess::Running() {
    if (pid_ <= 0 || status_) return false;
    int status = 0;
    if (::waitpid(pid_, &status, WNOHANG) == pid_) {
        status_ = status;
        return false;
    }
    return true;
}

std::optional<int> ConnectorProcess::WaitForExit(std::chrono::milliseconds timeout) {
    const auto end = std::chrono::steady_clock::now() + timeout;
    while (Running() && std::chrono::steady_clock::now() < end) std::this_thread::sleep_for(10ms);
    return status_;
}

std::optional<int> ConnectorProcess::Stop() {
    if (pid_ <= 0) return std::nullopt;
    if (Running() && Window(1s)) SendDestroy(10s);
    if (!WaitForExit(10s)) {
        ::kill(pid_, SIGKILL);
        int status = 0;
        ::waitpid(pid_, &status, 0);
        status_ = status;
        return std::nullopt;
    }
    return status_;
}

std::string ConnectorProcess::Log() const { return ReadFile(log_); }

std::string ConnectorProcess::SimulatorLog() const { return ReadFile(folder_ + "/simulator.log"); }

}  // namespace pxtest
