// Pieces for driving the real connector: a folder of simulated devices, a
// window standing in for the main window, and the connector process itself.
#pragma once

#include <chrono>
#include <condition_variable>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "WindowMessages.h"

namespace pxtest {

using namespace std::chrono_literals;

// Bytes that differ at every position, so a shifted or cut copy shows.
std::string Pattern(std::size_t size, unsigned seed);

// Whether this test program drives the connector through the USB backend
// and the protocol simulator (PIXFERRY_TEST_BACKEND=usb) instead of the
// folder backend. The device folders are the same either way.
bool UsbBackendUnderTest();

// The names in a folder (not recursive); empty when it is missing.
std::set<std::string> FolderNames(const std::string& folder);

struct DeviceLayout {
    std::optional<std::string> afcInfo = std::string("DeviceName=Test iPad\nModel=iPad1,1\n");
    std::optional<std::string> pairing;  // no file: paired
    std::string faults;                  // written as the "faults" file when not empty
    std::map<std::string, std::string> files;  // device path -> content
};

// A device with the three kinds of data the initial transfer pulls.
DeviceLayout SampleIPad(unsigned seed = 1);

class DeviceRoot {
public:
    DeviceRoot();
    const std::string& Path() const { return path_; }
    // Builds the device under a dot-name, then renames it into place.
    void Plug(const std::string& id, const DeviceLayout& layout);
    // Moves the device folder aside (a detach), and back (an attach).
    void Unplug(const std::string& id);
    void Replug(const std::string& id);
    // Where an unplugged device's folder waits.
    std::string Parked(const std::string& id) const { return path_ + "/." + id + ".out"; }

private:
    std::string path_;
    int built_ = 0;
};

// pxdevicesim serving a devices root on a Unix socket; stopped when it goes.
class DeviceSimulator {
public:
    DeviceSimulator() = default;
    ~DeviceSimulator() { Stop(); }
    DeviceSimulator(const DeviceSimulator&) = delete;
    DeviceSimulator& operator=(const DeviceSimulator&) = delete;
    // Starts it and waits until it accepts connections; its diagnostics go to logPath.
    bool Start(const std::string& devicesRoot, const std::string& socketPath, const std::string& logPath);
    void Stop();
    bool Running() const { return pid_ > 0; }

private:
    int pid_ = -1;
};

// A window of class "TFormMain" titled "velmorapixferry", served by a thread
// of its own; it records every text it receives.
class FakeMainWindow {
public:
    FakeMainWindow();
    ~FakeMainWindow();
    std::vector<std::string> Replies() const;
    std::size_t Count() const;
    // Waits until at least n texts arrived.
    bool WaitForReplies(std::size_t n, std::chrono::milliseconds timeout = 20s) const;
    // Every text arrived with cbData 2: one character and its NUL.
    bool RepliesWellFormed() const;

private:
    mutable std::mutex mutex_;
    mutable std::condition_variable changed_;
    std::vector<std::string> replies_;
    bool wellFormed_ = true;
    wm::HWND handle_;
    bool ready_ = false;
    std::thread thread_;
};

// The connector, copied into a program folder of its own and started with
// the given devices root: read directly by the folder backend, or served by
// pxdevicesim on a socket in the program folder for the USB backend.
class ConnectorProcess {
public:
    // UsbBackendOwnSimulator: the caller runs pxdevicesim and passes
    // USBMUXD_SOCKET_ADDRESS in extraEnv.
    enum class Via { TestDefault, FolderBackend, UsbBackend, UsbBackendOwnSimulator };
    explicit ConnectorProcess(const std::string& devicesRoot, const std::vector<std::string>& extraEnv = {},
                              Via via = Via::TestDefault);
    ~ConnectorProcess();
    ConnectorProcess(const ConnectorProcess&) = delete;
    ConnectorProcess& operator=(const ConnectorProcess&) = delete;

    // The connector's working folder (its SelfPath), with camera/ made.
    const std::string& WorkFolder() const { return work_; }
    int Pid() const { return pid_; }
    // Its window, once it is there.
    wm::HWND Window(std::chrono::milliseconds timeout = 10s);
    // Sends a text as the main program's message thread does; false when the
    // send did not come back in time.
    bool Send(const std::string& text, std::chrono::milliseconds timeout = 20s);
    bool SendDestroy(std::chrono::milliseconds timeout = 10s);
    bool Running();
    // The exit status once it has ended, nothing on timeout.
    std::optional<int> WaitForExit(std::chrono::milliseconds timeout = 10s);
    // Asks it to end, kills it when it does not; its exit status.
    std::optional<int> Stop();
    std::string Log() const;
    // What pxdevicesim wrote: one line per lockdown request. Empty over the folder backend.
    std::string SimulatorLog() const;

private:
    bool SendWithTimeout(std::function<bool(const wm::HWND&)> send, std::chrono::milliseconds timeout);

    std::string folder_, work_, log_;
    int pid_ = -1;
    DeviceSimulator simulator_;
    std::optional<int> status_;
    wm::HWND window_;
};

}  // namespace pxtest
