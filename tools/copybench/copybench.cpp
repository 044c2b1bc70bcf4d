// Copy runs through the window and the real connector on simulated iPads:
// 1,000 photos at "120*160" as JPEG, and 200 full-size photos of about 2 MB
// beside `cp` of the same bytes, taking turns with it. Offscreen; leaves nothing behind.
//   copybench [thumbnail photos] [full-size photos] [KiB of each full-size photo] [turns]
// Run from a build without sanitizers.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <optional>
#include <random>
#include <string>
#include <vector>

#include <QApplication>
#include <QTimer>
#include <unistd.h>

#include "FrmMain.h"
#include "FrmReport.h"
#include "SampleLibrary.h"

namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

double Seconds(Clock::duration d) { return std::chrono::duration<double>(d).count(); }

// Runs the event loop as the program does, sleeping between events, so the
// window does not take a core from the connector.
bool WaitFor(const std::function<bool()>& done, int seconds) {
    const auto end = Clock::now() + std::chrono::seconds(seconds);
    QTimer tick;
    tick.start(10);
    while (!done()) {
        if (Clock::now() > end) return false;
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    }
    return true;
}

std::string Plug(const std::string& devices, const std::string& name, sampleipad::Library library) {
    sampleipad::DeviceFolder device;
    device.Info = {{"Model", "iPad1,1"}};
    device.Pairing = "paired";
    device.Files.emplace_back("/Photos/Photo Database", sampleipad::PhotoDatabase(library.Images, library.Albums));
    device.Files.emplace_back(sampleipad::DevicePath(sampleipad::ThumbStoreName), std::move(library.ThumbStore));
    for (auto& file : library.Files) device.Files.push_back(std::move(file));
    return sampleipad::WriteDeviceFolder(devices + "/" + name, device, true);
}

// The middle value; sorts its copy.
double Median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    const std::size_t n = values.size();
    return n == 0 ? 0.0 : n % 2 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
}

// Notes when the report of a run opens, which is when its last photo is in
// place, and answers it at once, as a user would.
class ReportWatch : public QObject {
public:
    explicit ReportWatch(TFormReport& report) : report_(report) { report.installEventFilter(this); }
    std::optional<Clock::time_point> ShownAt;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (watched == &report_ && event->type() == QEvent::Show) {
            ShownAt = Clock::now();
            QTimer::singleShot(0, &report_, [this] { report_.close(); });
        }
        return false;
    }

private:
    TFormReport& report_;
};

// Copies everything selected and gives the seconds from the click to the
// report, which the toolkit's drawing of the dialog does not count in.
double Run(TFormMain& form, ReportWatch& watch, const std::string& out) {
    fs::create_directories(out);
    form.BackupPath = out;
    form.SelectAllClick();
    watch.ShownAt.reset();
    const auto start = Clock::now();
    form.CopyOutPhotoClick();
    WaitFor([&] { return !form.CopyInProgress; }, 600);
    return Seconds(watch.ShownAt.value_or(Clock::now()) - start);
}

}  // namespace

int main(int argc, char** argv) {
    const int thumbs = argc > 1 ? std::atoi(argv[1]) : 1000;
    const int fulls = argc > 2 ? std::atoi(argv[2]) : 200;
    const std::size_t fullKiB = argc > 3 ? static_cast<std::size_t>(std::atol(argv[3])) : 2048;
    // Beside the program folder, so the device, the working file, the backup
    // folder and cp's copy all share one file system (PXBENCH_DIR picks another).
    const char* dir = std::getenv("PXBENCH_DIR");
    std::string pattern = (dir ? std::string(dir) : fs::canonical("/proc/self/exe").parent_path().parent_path().string()) +
                          "/copybench.XXXXXX";
    const char* made = ::mkdtemp(pattern.data());
    if (!made) return 1;
    const std::string root = made;
    ::setenv("XDG_CONFIG_HOME", (root + "/config").c_str(), 1);
    ::setenv("XDG_RUNTIME_DIR", (root + "/run").c_str(), 1);
    ::setenv("PIXFERRY_SIMULATED_DEVICES", (root + "/devices").c_str(), 1);
    fs::create_directories(root + "/run");
    fs::permissions(root + "/run", fs::perms::owner_all);
    fs::create_directories(root + "/devices");
    if (!std::getenv("QT_QPA_PLATFORM")) ::setenv("QT_QPA_PLATFORM", "offscreen", 1);
    QApplication app(argc, argv);

    TFormMain form;
    TFormReport report(form);
    ReportWatch watch(report);
    form.show();

    // 1. Thumbnails at 120*160, as JPEG.
    form.BackupResolution = 2;
    form.BackupFormat = 2;
    Plug(root + "/devices", "thumbs", sampleipad::SyntheticLibrary(thumbs, 1));
    if (!WaitFor([&] { return static_cast<int>(form.GridCells.size()) == thumbs; }, 300)) return 1;
    const double thumbSeconds = Run(form, watch, root + "/out-thumbs");
    const auto written = std::distance(fs::directory_iterator(root + "/out-thumbs"), fs::directory_iterator());
    std::printf("thumbnails: %ld of %d photos at 120*160 JPEG in %.2f s: %.0f photos/s\n", static_cast<long>(written),
                thumbs, thumbSeconds, thumbs / thumbSeconds);
    fs::rename(root + "/devices/thumbs", root + "/devices/.thumbs-gone");
    WaitFor([&] { return !form.DeviceReady; }, 30);

    // 2. Full-size files of about 2 MB, each its own bytes.
    sampleipad::Library library;
    std::mt19937 random(7);
    std::string bytes(fullKiB << 10, '\0');
    for (int k = 0; k < fulls; ++k) {
        for (char& c : bytes) c = static_cast<char>(random());
        char name[64];
        std::snprintf(name, sizeof name, ":Full Resolution:Bench:F%03d.JPG", k);
        sampleipad::AddImage(library, 1000 + k, sampleipad::PatternPicture(64, 48, static_cast<std::uint32_t>(k)), name,
                             bytes);
    }
    library.Albums.push_back({"Photo Library", {}});
    for (const auto& image : library.Images) library.Albums[0].Members.push_back(image.Id);
    Plug(root + "/devices", "full", std::move(library));
    if (!WaitFor([&] { return static_cast<int>(form.GridCells.size()) == fulls; }, 300)) return 1;
    form.BackupResolution = 1;
    // This machine is a virtual one: memory its host has taken back costs
    // far more to write into than the copy itself (6 ms against 0.5 ms for
    // 2 MiB), and the host takes back what lies free for a few seconds. So
    // cp and the run take turns, each right after the files of its own last
    // turn were deleted, after one turn of each that is not counted, and the
    // medians are given.
    const std::string source = root + "/devices/full/files/Photos/Full Resolution/Bench/";
    auto cp = [&](const std::string& target) {
        fs::create_directories(target);
        const auto start = Clock::now();
        const std::string command = "cp \"" + source + "\"*.JPG \"" + target + "\"";
        const int status = std::system(command.c_str());
        return status == 0 ? Seconds(Clock::now() - start) : -1.0;
    };
    const int rounds = argc > 4 ? std::max(1, std::atoi(argv[4])) : 7;
    std::vector<double> runRates, cpRates, ratios;
    for (int round = 0; round <= rounds; ++round) {
        double runSeconds = 0, cpSeconds = 0;
        for (int turn = 0; turn < 2; ++turn) {
            // Alternating which goes first, so that neither always meets
            // what the other left behind.
            if ((turn == 0) == (round % 2 == 0)) {
                fs::remove_all(root + "/out-full");
                runSeconds = Run(form, watch, root + "/out-full");
            } else {
                fs::remove_all(root + "/out-cp");
                cpSeconds = cp(root + "/out-cp");
            }
        }
        std::uintmax_t total = 0;
        for (const auto& e : fs::directory_iterator(root + "/out-full")) total += e.file_size();
        const double mb = static_cast<double>(total) / (1 << 20);
        if (cpSeconds <= 0) return 1;
        if (round == 0) continue;
        runRates.push_back(mb / runSeconds);
        cpRates.push_back(mb / cpSeconds);
        ratios.push_back(runRates.back() / cpRates.back());
        std::printf("full size, turn %d: %d photos, %.0f MiB: the run %.2f s, %.0f MiB/s; cp %.2f s, %.0f MiB/s; "
                    "ratio %.2f\n",
                    round, fulls, mb, runSeconds, runRates.back(), cpSeconds, cpRates.back(), ratios.back());
    }
    std::printf("full size, median of %d turns: the run %.0f MiB/s, cp %.0f MiB/s, ratio %.2f\n", rounds,
                Median(runRates), Median(cpRates), Median(ratios));
    form.close();
    fs::remove_all(root);
    return 0;
}
