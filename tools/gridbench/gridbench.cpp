// Builds the grid of large albums in an offscreen window and reports the time,
// the memory per cell and the cost of scrolling through the grid afterwards.
//   gridbench [photos ...]   (default: 1000 5000)
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include <QApplication>
#include <QScrollBar>
#include <unistd.h>

#include "CommandText.h"
#include "FileUtil.h"
#include "FrmMain.h"
#include "SampleLibrary.h"

namespace {

long ResidentBytes() {
    long pages = 0, resident = 0;
    if (FILE* f = std::fopen("/proc/self/statm", "r")) {
        if (std::fscanf(f, "%ld %ld", &pages, &resident) != 2) resident = 0;
        std::fclose(f);
    }
    return resident * ::sysconf(_SC_PAGESIZE);
}

double Ms(std::chrono::steady_clock::duration d) { return std::chrono::duration<double, std::milli>(d).count(); }

}  // namespace

int main(int argc, char** argv) {
    namespace fs = std::filesystem;
    // Its own settings and window folders: the benchmark leaves nothing behind.
    char pattern[] = "/tmp/gridbench.XXXXXX";
    const char* made = ::mkdtemp(pattern);
    if (!made) return 1;
    const std::string root = made;
    ::setenv("XDG_CONFIG_HOME", (root + "/config").c_str(), 1);
    ::setenv("XDG_RUNTIME_DIR", (root + "/run").c_str(), 1);
    fs::create_directories(root + "/run");
    fs::permissions(root + "/run", fs::perms::owner_all);
    if (!std::getenv("QT_QPA_PLATFORM")) ::setenv("QT_QPA_PLATFORM", "offscreen", 1);
    QApplication app(argc, argv);

    std::vector<int> sizes;
    for (int i = 1; i < argc; ++i) sizes.push_back(std::atoi(argv[i]));
    if (sizes.empty()) sizes = {1000, 5000};

    std::printf("%8s %10s %12s %14s %14s\n", "photos", "build ms", "KB per cell", "scroll avg ms", "scroll max ms");
    for (int photos : sizes) {
        const std::string data = root + "/album" + std::to_string(photos) + "/";
        const sampleipad::Library library = sampleipad::SyntheticLibrary(photos, 1);
        px::WriteFileAtomically(data + "adbp.ant", sampleipad::PhotoDatabase(library.Images, library.Albums));
        px::WriteFileAtomically(data + "adap.ant", library.ThumbStore);

        TFormMain form;
        form.show();
        QCoreApplication::processEvents();
        form.PhotoReader->SetLocalFolder(data);
        form.CameraFolder = root + "/camera/";
        form.WMCopyData(std::string(px::ReplyDataReady));  // loads the database
        const long before = ResidentBytes();
        const auto start = std::chrono::steady_clock::now();
        form.TimerLoadDataTimer();
        QCoreApplication::processEvents();
        const auto built = std::chrono::steady_clock::now() - start;
        const long after = ResidentBytes();
        const std::size_t cells = form.GridCells.size();

        // Through the whole grid a row at a time, each step painted at once.
        QScrollBar* bar = form.ImagesBox->verticalScrollBar();
        double total = 0, worst = 0;
        int steps = 0;
        for (int v = 0; v <= bar->maximum(); v += 71, ++steps) {
            const auto t = std::chrono::steady_clock::now();
            bar->setValue(v);
            form.ImagesBox->viewport()->repaint();
            const double ms = Ms(std::chrono::steady_clock::now() - t);
            total += ms;
            worst = std::max(worst, ms);
        }
        std::printf("%8zu %10.0f %12.1f %14.2f %14.2f\n", cells, Ms(built),
                    cells ? (after - before) / 1024.0 / static_cast<double>(cells) : 0.0, steps ? total / steps : 0.0,
                    worst);
        form.close();
    }
    fs::remove_all(root);
    return 0;
}
