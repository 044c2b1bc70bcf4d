// Copy speed of the connector: a 256 MiB whole-file copy through the real
// connector process beside `cp` of the same bytes on the same disk, the same
// copy through the USB backend and pxdevicesim beside the folder backend, and
// the camera walk over 2,000 thumbnails. Run from a build without sanitizers:
//   build-connector-rel/tests/connector_bench [--benchmark_repetitions=3]
// PXBENCH_DIR picks the folder to work in (default: the system temp folder).
#include <sys/wait.h>

#include <atomic>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iostream>

#include <benchmark/benchmark.h>
#include <spawn.h>
#include <unistd.h>

#include "ConnectorHarness.h"
#include "Connector.h"
#include "CoreFoundation.h"
#include "TestSupport.h"

extern char** environ;

namespace fs = std::filesystem;

namespace {

std::string base;
constexpr std::size_t BigSize = 256u * 1048576;
constexpr int Thumbnails = 2000;

std::unique_ptr<pxtest::DeviceRoot> root;
std::unique_ptr<pxtest::FakeMainWindow> mainWindow;
std::unique_ptr<pxtest::ConnectorProcess> connector;
std::unique_ptr<pxtest::ConnectorProcess> usbConnector;
std::string out;
std::string bigOnDevice;
afc_connection* walkAFC = nullptr;
std::atomic<am_device*> walkDevice{nullptr};

void OnNotification(am_device_notification_callback_info* info) {
    if (info->msg == ADNCI_MSG_CONNECTED) walkDevice = info->dev;
}

bool CopyWithCp(const std::string& from, const std::string& to) {
    std::string cp = "cp", src = from, dst = to;
    char* argv[] = {cp.data(), src.data(), dst.data(), nullptr};
    pid_t pid = -1;
    int status = 0;
    return posix_spawnp(&pid, "cp", nullptr, nullptr, argv, environ) == 0 && ::waitpid(pid, &status, 0) == pid &&
           WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

template <class Copy>
double Timed(const std::string& target, Copy copy) {
    fs::remove(target);
    ::sync();  // the previous copy's write-back does not land in this one's time
    const auto start = std::chrono::steady_clock::now();
    const bool ok = copy();
    const std::chrono::duration<double> took = std::chrono::steady_clock::now() - start;
    if (!ok || fs::file_size(target) != BigSize) return -1;
    return took.count();
}

// The two copies alternate, so that both meet the same load on the machine.
// Iteration time is the connector's; the counters give both throughputs.
void BM_WholeFileCopy256MiB(benchmark::State& state) {
    const std::string command = "/DCIM/100APPLE/BIG&^###$$" + out + "/BIG";
    double connectorSeconds = 0, cpSeconds = 0;
    for (auto _ : state) {
        const double c = Timed(out + "/BIG.JPG", [&] { return connector->Send(command, std::chrono::minutes(5)); });
        const double p = Timed(out + "/BIG.cp", [&] { return CopyWithCp(bigOnDevice, out + "/BIG.cp"); });
        if (c < 0 || p < 0) {
            state.SkipWithError("a copy failed");
            break;
        }
        connectorSeconds += c;
        cpSeconds += p;
        state.SetIterationTime(c);
    }
    const double mib = static_cast<double>(state.iterations()) * (BigSize >> 20);
    state.counters["connector_MiB/s"] = mib / connectorSeconds;
    state.counters["cp_MiB/s"] = mib / cpSeconds;
    state.counters["connector/cp"] = cpSeconds / connectorSeconds;
}

// The protocol layers' cost: the same command to both connectors, in turns.
void BM_WholeFileCopy256MiBUsbVsFolder(benchmark::State& state) {
    const std::string command = "/DCIM/100APPLE/BIG&^###$$" + out + "/BIG";
    double usbSeconds = 0, folderSeconds = 0;
    for (auto _ : state) {
        const double u = Timed(out + "/BIG.JPG", [&] { return usbConnector->Send(command, std::chrono::minutes(5)); });
        const double f = Timed(out + "/BIG.JPG", [&] { return connector->Send(command, std::chrono::minutes(5)); });
        if (u < 0 || f < 0) {
            state.SkipWithError("a copy failed");
            break;
        }
        usbSeconds += u;
        folderSeconds += f;
        state.SetIterationTime(u);
    }
    const double mib = static_cast<double>(state.iterations()) * (BigSize >> 20);
    state.counters["usb_MiB/s"] = mib / usbSeconds;
    state.counters["folder_MiB/s"] = mib / folderSeconds;
    state.counters["usb/folder"] = folderSeconds / usbSeconds;
}

void BM_CameraWalk2000Thumbnails(benchmark::State& state) {
    const std::string camera = out + "/camera/";
    for (auto _ : state) {
        state.PauseTiming();
        fs::remove_all(camera);
        fs::create_directories(camera);
        state.ResumeTiming();
        FileWritesInDCIM(walkAFC, camera);
    }
    std::size_t copied = 0;
    for ([[maybe_unused]] const auto& e : fs::directory_iterator(camera)) ++copied;
    if (copied != Thumbnails) state.SkipWithError("walk incomplete");
    state.SetItemsProcessed(state.iterations() * Thumbnails);
}

BENCHMARK(BM_WholeFileCopy256MiB)->Unit(benchmark::kMillisecond)->UseManualTime()->Iterations(10);
BENCHMARK(BM_WholeFileCopy256MiBUsbVsFolder)->Unit(benchmark::kMillisecond)->UseManualTime()->Iterations(3);
BENCHMARK(BM_CameraWalk2000Thumbnails)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(5);

}  // namespace

// The harness makes its folders here instead of under a test home.
const std::string& pxtest::TempRoot() { return base; }

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    const char* dir = std::getenv("PXBENCH_DIR");
    std::string templ = (fs::path(dir && *dir ? dir : fs::temp_directory_path().string()) / "pxbench-XXXXXX").string();
    if (!::mkdtemp(templ.data())) return 2;
    base = templ;
    fs::create_directories(base + "/run");
    fs::permissions(base + "/run", fs::perms::owner_all);
    ::setenv("XDG_RUNTIME_DIR", (base + "/run").c_str(), 1);

    root = std::make_unique<pxtest::DeviceRoot>();
    ::setenv("PIXFERRY_SIMULATED_DEVICES", root->Path().c_str(), 1);
    pxtest::DeviceLayout layout = pxtest::SampleIPad();
    for (int i = 0; i < Thumbnails; ++i) {
        char name[64];
        std::snprintf(name, sizeof name, "/DCIM/%03dAPPLE/IMG_%04d.THM", 100 + i / 200, i);
        layout.files[name] = pxtest::Pattern(6000, static_cast<unsigned>(i));
    }
    layout.files["/DCIM/100APPLE/BIG.JPG"] = pxtest::Pattern(BigSize, 77);
    out = pxtest::MakeTempFolder("out");

    mainWindow = std::make_unique<pxtest::FakeMainWindow>();
    using Via = pxtest::ConnectorProcess::Via;
    connector = std::make_unique<pxtest::ConnectorProcess>(root->Path(), std::vector<std::string>{}, Via::FolderBackend);
    usbConnector = std::make_unique<pxtest::ConnectorProcess>(root->Path(), std::vector<std::string>{}, Via::UsbBackend);
    if (!connector->Window() || !usbConnector->Window()) {
        std::cerr << "a connector did not start\n";
        return 2;
    }
    root->Plug("ipad", layout);
    layout.files.clear();
    bigOnDevice = root->Path() + "/ipad/files/DCIM/100APPLE/BIG.JPG";
    // "4" and "1" from each connector.
    if (!mainWindow->WaitForReplies(4, std::chrono::minutes(2))) {
        std::cerr << "the connector did not read the device\n";
        return 2;
    }

    // Both copies start from the same state: the source written out and cached.
    ::sync();
    {
        std::ifstream warm(bigOnDevice, std::ios::binary);
        std::vector<char> chunk(1 << 20);
        while (warm.read(chunk.data(), static_cast<std::streamsize>(chunk.size()))) {
        }
    }

    // This process opens the same device for the walk.
    am_device_notification* notification = nullptr;
    AMDeviceNotificationSubscribe(OnNotification, 0, 0, 0, &notification);
    for (int i = 0; i < 100 && !walkDevice; ++i) std::this_thread::sleep_for(std::chrono::milliseconds(50));
    am_device* dev = walkDevice.load();
    if (!dev || AMDeviceConnect(dev) != 0 || AMDeviceStartSession(dev) != 0) return 2;
    AMDeviceStartService(dev, AFCServiceName(), &walkAFC, nullptr);
    AFCConnectionOpen(walkAFC, 0, &walkAFC);

    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();

    usbConnector.reset();
    connector.reset();
    mainWindow.reset();
    std::error_code ec;
    fs::remove_all(base, ec);
    return 0;
}
