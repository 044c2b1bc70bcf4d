// Copy runs through the window, the real connector and the sample iPad.
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <deque>
#include <filesystem>
#include <set>

#include <QImage>
#include <QTest>
#include <QTimer>
#include <gtest/gtest.h>

#include "CommandText.h"
#include "FrmMain.h"
#include "FrmReport.h"
#include "JpegCodec.h"
#include "LogClass.h"
#include "SampleDevice.h"

namespace {

namespace fs = std::filesystem;
using Keys = std::vector<std::string>;

std::string Text(const QString& s) { return s.toStdString(); }

std::set<std::string> Names(const std::string& folder) {
    std::set<std::string> names;
    for (const auto& e : fs::directory_iterator(folder)) names.insert(e.path().filename().string());
    return names;
}

// A window with the sample iPad plugged in and its first album shown. The
// person's answers (message boxes, the folder picker, the report dialog) are
// the test's.
struct DeviceWindow {
    std::string devices = pxtest::MakeTempFolder("devices");
    std::string backup = pxtest::MakeTempFolder("backup") + "/";
    std::unique_ptr<TFormMain> form;
    std::unique_ptr<TFormReport> report;
    std::unique_ptr<pxtest::SampleManifest> manifest;
    std::vector<std::string> messages, pickerAsked, reports, statuses;
    std::deque<std::optional<std::string>> pickerAnswers;
    std::function<void()> onReport;  // instead of closing the report dialog
    QTimer watcher;

    explicit DeviceWindow(const std::string& faults = {}) {
        ::setenv("PIXFERRY_SIMULATED_DEVICES", devices.c_str(), 1);
        form = std::make_unique<TFormMain>();
        report = std::make_unique<TFormReport>(*form);
        form->BackupPath = backup;
        form->ShowMessage = [this](const std::string& text) { messages.push_back(text); };
        form->BrowseForFolder = [this](const std::string& initial) -> std::optional<std::string> {
            pickerAsked.push_back(initial);
            if (pickerAnswers.empty()) return std::nullopt;
            auto answer = pickerAnswers.front();
            pickerAnswers.pop_front();
            return answer;
        };
        // Notes every status text and closes the report dialog when it shows.
        QObject::connect(&watcher, &QTimer::timeout, [this] {
            const std::string s = Text(form->Notifier->text());
            if (statuses.empty() || statuses.back() != s) statuses.push_back(s);
            if (report->isVisible()) {
                reports.push_back(report->TargetFolder);
                if (onReport)
                    onReport();
                else
                    report->close();
            }
        });
        watcher.start(2);
        form->show();
        const std::string text = pxtest::PlugSampleIpad(devices, "ipad", faults);
        EXPECT_FALSE(text.empty());
        manifest = std::make_unique<pxtest::SampleManifest>(pxtest::ParseSampleManifest(text));
        EXPECT_TRUE(QTest::qWaitFor([&] { return !form->GridCells.empty(); }, 30000));
    }
    ~DeviceWindow() {
        watcher.stop();
        form->close();
        ::unsetenv("PIXFERRY_SIMULATED_DEVICES");
    }

    Keys Album() const { return manifest->Members(0); }
    std::string DeviceFile(const std::string& path) const { return pxtest::ReadFile(devices + "/ipad/files" + path); }
    void Select(std::initializer_list<std::size_t> cells) {
        for (std::size_t i : cells) form->SelectCell(i);
    }
    bool Idle() const { return !form->CopyInProgress; }
    bool WaitIdle() { return QTest::qWaitFor([&] { return Idle(); }, 60000); }
    bool WaitStatus(const std::string& text) {
        return QTest::qWaitFor([&] { return Text(form->Notifier->text()) == text; }, 20000);
    }
    void Copy() {
        statuses.clear();
        QTest::mouseClick(form->ButtonCopy, Qt::LeftButton);
    }
    // Whether a status text of the last run ended so ("Copying 2 of 6 files").
    bool Saw(const std::string& ending) const {
        for (const std::string& s : statuses)
            if (s.starts_with("Copying ") && s.ends_with(ending)) return true;
        return false;
    }
    // The controls of the idle state.
    void ExpectIdle() {
        EXPECT_FALSE(form->CopyInProgress);
        EXPECT_EQ(Text(form->ButtonCopy->text()), "Copy");
        EXPECT_TRUE(form->CopyOutPhoto->isEnabled());
        EXPECT_FALSE(form->StopCopyPhoto->isEnabled());
        EXPECT_TRUE(form->MenuItem1->isEnabled());
        EXPECT_FALSE(form->MenuItem2->isEnabled());
    }
};

// The picture a thumbnail output must hold: the stored block through the
// pixel rule, paddings cut off. Blue, green, red per pixel, as a QImage's colours.
QImage ExpectedPicture(const std::string& store, const pxtest::SampleManifest::Source& p, int width, int height,
                       int stride) {
    QImage image(width - 2 * p.horz, height - 2 * p.vert, QImage::Format_RGB888);
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x) {
            const std::size_t at = static_cast<std::size_t>(p.offset) + (y + p.vert) * stride + 2 * (x + p.horz);
            std::uint8_t bgr[3];
            TiPad::ConvertPixel(static_cast<std::uint16_t>(static_cast<std::uint8_t>(store[at]) |
                                                           static_cast<std::uint8_t>(store[at + 1]) << 8),
                                bgr);
            image.setPixelColor(x, y, QColor(bgr[2], bgr[1], bgr[0]));
        }
    return image;
}

// Mean difference of the colour channels of two pictures of one size.
double MeanDifference(const QImage& a, const QImage& b) {
    double sum = 0;
    for (int y = 0; y < a.height(); ++y)
        for (int x = 0; x < a.width(); ++x) {
            const QColor p = a.pixelColor(x, y), q = b.pixelColor(x, y);
            sum += std::abs(p.red() - q.red()) + std::abs(p.green() - q.green()) + std::abs(p.blue() - q.blue());
        }
    return sum / (3.0 * a.width() * a.height());
}

}  // namespace

TEST(CopyRun, EveryResolutionAndFormatAndTheSavedPhotos) {
    DeviceWindow w;
    const Keys album = w.Album();
    struct Case {
        TXP_RadioBox* TFormMain::*resolution;
        TXP_RadioBox* TFormMain::*format;
        int code;
        const char* ext;
    } cases[] = {
        {&TFormMain::RadioMid, &TFormMain::RadioJpeg, 3, ".jpg"},  {&TFormMain::RadioMid, &TFormMain::RadioBMP, 3, ".bmp"},
        {&TFormMain::RadioLow, &TFormMain::RadioJpeg, 2, ".jpg"},  {&TFormMain::RadioLow, &TFormMain::RadioBMP, 2, ".bmp"},
        {&TFormMain::RadioLowest, &TFormMain::RadioJpeg, 1, ".jpg"}, {&TFormMain::RadioLowest, &TFormMain::RadioBMP, 1, ".bmp"},
        {&TFormMain::RadioHigh, &TFormMain::RadioJpeg, 987, ".jpg"},
    };
    struct Format {
        int width, height, stride;
    };
    const std::map<int, Format> formats = {{1, {55, 55, 112}}, {2, {76, 76, 160}}, {3, {160, 120, 320}}};
    bool sawHorizontalPadding = false, sawFallback = false;
    for (const Case& c : cases) {
        SCOPED_TRACE(std::to_string(c.code) + c.ext);
        const std::string out = pxtest::MakeTempFolder("out") + "/";
        w.form->BackupPath = out;
        QTest::mouseClick((*w.form).*c.resolution, Qt::LeftButton);
        QTest::mouseClick((*w.form).*c.format, Qt::LeftButton);
        w.form->SelectAllClick();
        w.Copy();
        ASSERT_TRUE(w.WaitIdle());
        EXPECT_EQ(Text(w.form->Notifier->text()), "Copy Finished");
        EXPECT_EQ(w.reports.back(), out);
        EXPECT_TRUE(w.Saw(" of " + std::to_string(album.size()) + " files"));
        w.ExpectIdle();

        std::set<std::string> want;
        for (const std::string& id : album) {
            SCOPED_TRACE(id);
            int code = c.code;
            if (code == 987) {
                if (const auto* full = w.manifest->Find(id, 987)) {
                    // The device's own file, byte for byte, under its own extension.
                    const std::string ext = full->path.substr(full->path.rfind('.'));
                    want.insert(id + ext);
                    EXPECT_EQ(pxtest::ReadFile(out + id + ext), w.DeviceFile(full->path).substr(full->offset, full->size));
                    continue;
                }
                code = 3;  // no full-size picture: the largest thumbnail
                sawFallback = true;
            }
            const auto* stored = w.manifest->Find(id, code);
            ASSERT_TRUE(stored);
            const Format f = formats.at(code);
            const QImage expected = ExpectedPicture(w.DeviceFile(stored->path), *stored, f.width, f.height, f.stride);
            sawHorizontalPadding |= code == 3 && stored->horz == 20;
            want.insert(id + c.ext);
            const std::string file = out + id + c.ext;
            QImage written;
            if (std::string(c.ext) == ".bmp") {
                ASSERT_TRUE(written.load(QString::fromStdString(file), "BMP"));
                EXPECT_EQ(written.convertToFormat(QImage::Format_RGB888), expected);
            } else {
                TBitmap24 decoded;
                ASSERT_TRUE(DecodeJpegCorner(pxtest::ReadFile(file), 1000, 1000, decoded));
                written = QImage(decoded.Pixels.data(), decoded.Width, decoded.Height, decoded.Width * 3,
                                 QImage::Format_BGR888)
                              .copy();
                ASSERT_EQ(written.size(), expected.size());
                // Exactly the encoding of the expected pixels; decoded, close to them.
                TBitmap24 pixels;
                pixels.Resize(expected.width(), expected.height());
                const QImage bgr = expected.convertToFormat(QImage::Format_BGR888);
                for (int y = 0; y < bgr.height(); ++y)
                    std::memcpy(pixels.ScanLine(y), bgr.constScanLine(y), static_cast<std::size_t>(bgr.width()) * 3);
                EXPECT_EQ(pxtest::ReadFile(file), EncodeJpeg(pixels).value_or(""));
                EXPECT_LE(MeanDifference(written, expected), 12.0);
                EXPECT_EQ(pxtest::ReadFile(file).substr(0, 4), "\xFF\xD8\xFF\xE0");
            }
        }
        EXPECT_EQ(Names(out), want);
        w.form->ClearSelectClick();
    }
    EXPECT_TRUE(sawHorizontalPadding);
    EXPECT_TRUE(sawFallback);
    EXPECT_NE(pxtest::ReadFile(pxtest::BinDir() + std::string(AccessLogFile)).find("has no full-size picture"),
              std::string::npos);

    // The Saved Photos: the device's files, straight into the folder without a trailing "/".
    const std::string out = pxtest::MakeTempFolder("camera-out");
    w.form->BackupPath = out;
    QTest::mouseClick(w.form->Buttoncamera, Qt::LeftButton);
    ASSERT_FALSE(w.form->GridCells.empty());
    w.form->SelectAllClick();
    const Keys selected = w.form->PhotoReader->SelectedPhotos;
    w.Copy();
    ASSERT_TRUE(w.WaitIdle());
    EXPECT_EQ(Text(w.form->Notifier->text()), "Copy Finished");
    EXPECT_TRUE(w.Saw(" of " + std::to_string(selected.size()) + " files."));
    std::set<std::string> want;
    for (const std::string& key : selected) {
        SCOPED_TRACE(key);
        const std::size_t img = key.find("IMG");
        ASSERT_NE(img, std::string::npos);
        const std::string base = w.devices + "/ipad/files/DCIM/" + key.substr(0, img) + "/" + key.substr(img);
        for (const char* ext : {".JPG", ".PNG", ".WTH", ".MOV"})
            if (pxtest::FileExists(base + ext)) {
                want.insert(key + ext);
                EXPECT_EQ(pxtest::ReadFile(out + "/" + key + ext), pxtest::ReadFile(base + ext));
                break;
            }
    }
    EXPECT_EQ(Names(out), want);
}

TEST(CopyRun, ChecksBeforeARun) {
    DeviceWindow w("slow-read 250 /Photos/Full Resolution/2026/P0001.JPG\n");
    w.Copy();  // nothing selected
    EXPECT_EQ(w.messages, Keys{"You Had Not Select Any Photo to Copy, Please Click Photos to Select."});
    w.ExpectIdle();

    w.Select({0});
    w.form->DeviceReady = false;
    w.Copy();
    EXPECT_EQ(w.messages.back(), "iPad connection lost");
    w.form->DeviceReady = true;
    w.ExpectIdle();

    // The backup folder is gone: the picker opens at it; a cancel starts nothing.
    const std::string gone = w.backup + "gone/";
    w.form->BackupPath = gone;
    w.Copy();
    EXPECT_EQ(w.pickerAsked, Keys{gone});
    w.ExpectIdle();
    EXPECT_EQ(w.form->BackupPath, gone);

    // A folder chosen: the path changes and the run goes.
    const std::string chosen = pxtest::MakeTempFolder("chosen");
    w.pickerAnswers.push_back(chosen);
    w.messages.clear();
    w.Copy();
    EXPECT_EQ(w.form->BackupPath, chosen);
    EXPECT_EQ(Text(w.form->Path->text()), chosen);
    ASSERT_TRUE(w.WaitIdle());
    EXPECT_TRUE(w.messages.empty());
    EXPECT_EQ(w.reports, Keys{chosen});
    EXPECT_EQ(w.statuses.front(), "Copying 1 of 1 files");
    EXPECT_EQ(Names(chosen), std::set<std::string>{w.Album()[0] + ".JPG"});

    // Browse... alone: cancel keeps the folder, a choice replaces it.
    w.form->ButtonOpen->click();
    EXPECT_EQ(w.form->BackupPath, chosen);
    w.pickerAnswers.push_back(w.backup);
    w.form->ButtonOpen->click();
    EXPECT_EQ(w.form->BackupPath, w.backup);
}

TEST(CopyRun, StopsSwitchesAndUnplugging) {
    // Every fetch from the thumbnail store takes a while, so a run can be caught in the middle.
    const std::string slow = "slow-read 250 /Photos/Thumbs/F3004_1.ithmb\n";
    struct Case {
        const char* what;
        int stopAt;        // photo in flight when Stop is pressed (0: none)
        int stops;
        int bmpFrom;       // photo in flight when BMP is chosen (0: never)
        const char* status;
        int made;          // photos written
        int reports;
    } cases[] = {
        {"stop during photo 2 of 5", 2, 1, 0, "Copy Terminated", 2, 1},
        {"two stops", 2, 2, 0, "Copy Terminated", 2, 1},
        {"stop during the last photo", 5, 1, 0, "Copy Finished", 5, 1},
        {"JPEG to BMP during photo 2", 0, 0, 2, "Copy Finished", 5, 1},
        {"unplugged during photo 2", 0, 0, 0, "iPad Connection Lost.", -1, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const bool unplugged = std::string(c.status) != "Copy Finished" && !c.stopAt;
        DeviceWindow w(slow);
        QTest::mouseClick(w.form->RadioLowest, Qt::LeftButton);
        QTest::mouseClick(w.form->RadioJpeg, Qt::LeftButton);
        w.Select({0, 1, 2, 3, 4});
        const Keys selected = w.form->PhotoReader->SelectedPhotos;
        w.Copy();
        for (int photo = 1; photo <= 5; ++photo) {
            if (!w.WaitStatus("Copying " + std::to_string(photo) + " of 5 files")) break;
            if (photo == c.stopAt)
                for (int i = 0; i < c.stops; ++i) w.form->StopCopyPhoto->trigger();
            if (photo == c.bmpFrom) QTest::mouseClick(w.form->RadioBMP, Qt::LeftButton);
            if (unplugged && photo == 2) {
                fs::rename(w.devices + "/ipad", w.devices + "/.gone");
                break;
            }
            if (c.stopAt && photo == c.stopAt) break;
        }
        ASSERT_TRUE(w.WaitIdle());
        QTest::qWait(50);
        EXPECT_EQ(Text(w.form->Notifier->text()), c.status);
        EXPECT_EQ(static_cast<int>(w.reports.size()), c.reports);
        w.ExpectIdle();
        const std::set<std::string> names = Names(w.backup);
        if (c.made >= 0) {
            std::set<std::string> want;
            for (int i = 0; i < c.made; ++i)
                want.insert(selected[i] + (c.bmpFrom && i + 1 >= c.bmpFrom ? ".bmp" : ".jpg"));
            EXPECT_EQ(names, want);
        }
        for (const std::string& n : names) EXPECT_EQ(n.find(".part"), std::string::npos) << n;
        for (const std::string& n : names) EXPECT_EQ(n.find(".jpg."), std::string::npos) << n;
    }
}

TEST(CopyRun, ASecondCopyReplacesAndANameWithoutIMGIsPassedOver) {
    DeviceWindow w;
    QTest::mouseClick(w.form->RadioMid, Qt::LeftButton);
    QTest::mouseClick(w.form->RadioBMP, Qt::LeftButton);
    w.Select({0, 1});
    w.Copy();
    ASSERT_TRUE(w.WaitIdle());
    const std::set<std::string> first = Names(w.backup);
    const std::string bytes = pxtest::ReadFile(w.backup + *first.begin());
    w.Copy();
    ASSERT_TRUE(w.WaitIdle());
    EXPECT_EQ(Names(w.backup), first);
    EXPECT_EQ(pxtest::ReadFile(w.backup + *first.begin()), bytes);
    EXPECT_EQ(w.reports.size(), 2u);

    // A camera thumbnail whose name has no "IMG": its command names no device file.
    pxtest::WriteFile(w.form->CameraFolder + "100APPLEPIC_0009.JPG",
                      pxtest::ReadFile(w.form->CameraFolder + "100APPLEIMG_0001.JPG"));
    QTest::mouseClick(w.form->Buttoncamera, Qt::LeftButton);
    const std::string out = pxtest::MakeTempFolder("camera-out") + "/";
    w.form->BackupPath = out;
    w.form->SelectAllClick();
    const std::size_t count = w.form->PhotoReader->SelectedPhotos.size();
    w.Copy();
    ASSERT_TRUE(w.WaitIdle());
    EXPECT_EQ(Text(w.form->Notifier->text()), "Copy Finished");
    const std::set<std::string> names = Names(out);
    EXPECT_EQ(names.size(), count - 1);
    for (const std::string& n : names) EXPECT_EQ(n.find("PIC"), std::string::npos);
}

TEST(CopyRun, ClosingTheWindowWhileTheReportIsShownEndsEverything) {
    // The connector waits for the answer to its reply until the report is
    // closed; a close of the whole program then must not wait on it for ever.
    DeviceWindow w;
    const auto connectors = wm::FindWindows(px::ConnectorClass, px::ConnectorTitle);
    ASSERT_EQ(connectors.size(), 1u);
    const int pid = connectors[0].OwnerPid();
    std::chrono::steady_clock::duration closing{};
    w.onReport = [&] {
        w.onReport = nullptr;
        const auto start = std::chrono::steady_clock::now();
        w.form->close();
        closing = std::chrono::steady_clock::now() - start;
        w.report->close();
    };
    w.Select({0});
    w.Copy();
    ASSERT_TRUE(QTest::qWaitFor([&] { return !w.reports.empty(); }, 20000));
    EXPECT_LT(closing, std::chrono::seconds(2));
    // Once the answer is given, the connector has its close request and ends.
    EXPECT_TRUE(QTest::qWaitFor([&] { return pxtest::ProcessEnded(pid); }, 10000));
}
