// The album view in the window: sources, albums, the grid and its selections.
#include <cstdlib>
#include <filesystem>
#include <sstream>

#include <QContextMenuEvent>
#include <QProcess>
#include <QSocketNotifier>
#include <QScrollBar>
#include <QTest>
#include <QTimer>
#include <QWheelEvent>
#include <gtest/gtest.h>

#include "CommandText.h"
#include "FrmMain.h"
#include "SampleDevice.h"
#include "SampleLibrary.h"
#include "TestSupport.h"

namespace {

namespace fs = std::filesystem;
using Keys = std::vector<std::string>;

std::string Text(const QString& s) { return s.toStdString(); }

// Every text the status line showed when it was painted.
class PaintedTexts : public QObject {
public:
    explicit PaintedTexts(TsPanel* panel) : panel_(panel) { panel->installEventFilter(this); }
    std::vector<std::string> texts;

protected:
    bool eventFilter(QObject*, QEvent* e) override {
        if (e->type() == QEvent::Paint) {
            const std::string t = Text(panel_->text());
            if (texts.empty() || texts.back() != t) texts.push_back(t);
        }
        return false;
    }

private:
    TsPanel* panel_;
};

struct AlbumSpec {
    std::string name;
    std::vector<std::int32_t> members;
};

// Images 1..count with all three stored pictures, in the given albums.
sampleipad::Library MakeLibrary(int count, std::vector<AlbumSpec> albums) {
    sampleipad::Library library;
    for (int id = 1; id <= count; ++id)
        sampleipad::AddImage(library, id, sampleipad::PatternPicture(120, 90, static_cast<std::uint32_t>(id)), "", "");
    for (auto& a : albums) library.Albums.push_back({a.name, a.members});
    return library;
}

std::vector<std::int32_t> Ids(int from, int to) {
    std::vector<std::int32_t> ids;
    for (int i = from; i <= to; ++i) ids.push_back(i);
    return ids;
}

// A window whose device data has arrived: the reader works on a folder of
// this test's own, so no connector and no device are needed.
struct AlbumWindow {
    std::unique_ptr<TFormMain> form = std::make_unique<TFormMain>();
    std::string data = pxtest::MakeTempFolder("album") + "/";
    std::unique_ptr<PaintedTexts> status;

    explicit AlbumWindow(const sampleipad::Library& library) {
        form->show();
        EXPECT_TRUE(QTest::qWaitForWindowExposed(form.get()));
        pxtest::WriteFile(data + "adbp.ant", sampleipad::PhotoDatabase(library.Images, library.Albums));
        pxtest::WriteFile(data + "adap.ant", library.ThumbStore);
        form->PhotoReader->SetLocalFolder(data);
        form->CameraFolder = pxtest::MakeTempFolder("camera") + "/";
        status = std::make_unique<PaintedTexts>(form->Notifier);
        form->WMCopyData(std::string(px::ReplyDataReady));
        form->TimerLoadDataTimer();
        QCoreApplication::processEvents();  // the last status text is painted
    }
    ~AlbumWindow() { form->close(); }

    TSunImage& Cell(std::size_t i) { return *form->GridCells.at(i); }
    QWidget* Viewport() { return form->ImagesBox->viewport(); }
    // A point inside cell i, in the grid's visible area.
    QPoint Inside(std::size_t i, int dx = 30, int dy = 30) {
        return Cell(i).mapTo(Viewport(), QPoint(dx, dy));
    }
    Keys Selected() { return form->PhotoReader->SelectedPhotos; }
    Keys Framed() {
        Keys keys;
        for (auto& c : form->GridCells)
            if (c->Selected()) keys.push_back(Text(c->objectName()).substr(5));
        return keys;
    }
    void ClickAlbum(int row) {
        form->AlbumsListBox->setCurrentRow(row);
        form->AlbumsListBoxClick();
    }
    void Press(QPoint at, Qt::KeyboardModifiers mods = {}, Qt::MouseButton b = Qt::LeftButton) {
        QTest::mousePress(Viewport(), b, mods, at);
    }
    void Release(QPoint at, Qt::KeyboardModifiers mods = {}, Qt::MouseButton b = Qt::LeftButton) {
        QTest::mouseRelease(Viewport(), b, mods, at);
    }
    void Click(QPoint at) {
        Press(at);
        Release(at);
    }
};

Keys CellKeys(TFormMain& form) {
    Keys keys;
    for (auto& c : form.GridCells) keys.push_back(Text(c->objectName()));
    return keys;
}

std::vector<std::string> Counted(const std::string& prefix, int n, bool down = false) {
    std::vector<std::string> texts;
    for (int k = 1; k <= n; ++k) texts.push_back(prefix + " " + std::to_string(down ? n - k : k) + "/" + std::to_string(n));
    return texts;
}

}  // namespace

TEST(AlbumView, ProgressCountsWhileAnAlbumIsRead) {
    AlbumWindow w(MakeLibrary(12, {{"Holidays", Ids(1, 10)}, {"Empty", {}}, {"Twice", {3, 4, 3}}}));
    // Shown one timer interval after the data: the first album.
    auto want = Counted("Reading iPad photos", 10);
    want.push_back("10 photos in album Holidays");
    EXPECT_EQ(w.status->texts, want);
    EXPECT_EQ(w.form->GridCells.size(), 10u);
    EXPECT_EQ(CellKeys(*w.form).front(), "Image1");
    EXPECT_EQ(w.form->focusWidget(), w.form->ButtonCopy);

    struct Case {
        int row;
        std::vector<std::string> painted;
        Keys cells;
    } cases[] = {
        {1, [] {
             auto t = Counted("Waiting for", 10, true);
             t.push_back("0 photos in album Empty");
             return t;
         }(),
         {}},
        // One image listed twice gets one cell.
        {2, {"Reading iPad photos 1/3", "Reading iPad photos 2/3", "Reading iPad photos 3/3", "2 photos in album Twice"},
         {"Image3", "Image4"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.row);
        w.status->texts.clear();
        w.ClickAlbum(c.row);
        QCoreApplication::processEvents();
        EXPECT_EQ(w.status->texts, c.painted);
        EXPECT_EQ(CellKeys(*w.form), c.cells);
    }
}

TEST(AlbumView, NoAlbumLeadsToTheOtherSource) {
    AlbumWindow w(MakeLibrary(2, {}));
    EXPECT_TRUE(w.form->GridCells.empty());
    EXPECT_EQ(Text(w.form->Notifier->text()), "No image in your iPad Photo Library");
    ASSERT_EQ(w.form->AlbumsListBox->count(), 1);
    EXPECT_EQ(Text(w.form->AlbumsListBox->item(0)->text()), "Click 'Saved Photos' to get photo");
    w.status->texts.clear();
    w.ClickAlbum(0);  // the hint line: nothing happens
    QCoreApplication::processEvents();
    EXPECT_TRUE(w.status->texts.empty());
    EXPECT_EQ(w.form->AlbumsListBox->count(), 1);
}

TEST(AlbumView, CellsShowTheirThumbnailsAtTheirPlaces) {
    AlbumWindow w(MakeLibrary(8, {{"All", Ids(1, 8)}}));
    ASSERT_EQ(w.form->GridCells.size(), 8u);
    std::vector<QRect> places;
    for (auto& c : w.form->GridCells) places.push_back(c->geometry());
    EXPECT_EQ(places[0], QRect(10, 10, 61, 61));
    EXPECT_EQ(places[5], QRect(365, 10, 61, 61));
    EXPECT_EQ(places[6], QRect(10, 81, 61, 61));

    // The picture at its own size from the corner; beyond it the grid's colour.
    TiPad reader;
    reader.SetLocalFolder(w.data);
    reader.LoadPhotoDatabase();
    TBitmap24 thumb;
    reader.ReadThumbnail(2, TiPad::Code55, thumb);
    ASSERT_EQ(thumb.Width, 55);
    const QImage shot = w.Cell(1).grab().toImage();
    ASSERT_EQ(shot.size(), QSize(61, 61));
    for (int y = 0; y < 55; ++y)
        for (int x = 0; x < 55; ++x) {
            const std::uint8_t* bgr = thumb.ScanLine(y) + x * 3;
            ASSERT_EQ(shot.pixelColor(x, y), QColor(bgr[2], bgr[1], bgr[0])) << x << "," << y;
        }
    EXPECT_EQ(shot.pixelColor(58, 58), w.form->ImagesBox->palette().color(QPalette::Window));

    // Selected: the red frame over the picture.
    w.Click(w.Inside(1));
    const QImage framed = w.Cell(1).grab().toImage();
    for (QPoint red : {QPoint(0, 0), QPoint(1, 30), QPoint(60, 60), QPoint(30, 59)})
        EXPECT_EQ(framed.pixelColor(red), QColor(Qt::red)) << red.x() << "," << red.y();
    EXPECT_EQ(framed.pixelColor(30, 30), shot.pixelColor(30, 30));
}

TEST(AlbumView, MouseSelections) {
    struct Step {
        enum Kind { Click, Drag, ShiftClick, MoveOnePixel, BackgroundClick } kind;
        std::size_t from = 0, to = 0;
    };
    struct Case {
        const char* what;
        std::vector<Step> steps;
        Keys selected;
    } cases[] = {
        {"a click selects", {{Step::Click, 0}}, {"1"}},
        {"a click on a selected cell unselects it", {{Step::Click, 0}, {Step::Click, 0}}, {}},
        {"a one-pixel move selects", {{Step::MoveOnePixel, 2}}, {"3"}},
        {"and leaves a selected cell selected", {{Step::Click, 2}, {Step::MoveOnePixel, 2}}, {"3"}},
        {"a click between cells clears", {{Step::Click, 0}, {Step::Click, 8}, {Step::BackgroundClick}}, {}},
        {"a drag from a row's first cell to the next row's third", {{Step::Drag, 0, 8}},
         {"1", "2", "3", "7", "8", "9"}},
        {"a Shift-click spans from the last plain press", {{Step::Click, 1}, {Step::ShiftClick, 6}},
         {"2", "1", "7", "8"}},
        {"a Shift-click before any press spans from the corner", {{Step::ShiftClick, 6}}, {"1", "7"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        AlbumWindow w(MakeLibrary(12, {{"All", Ids(1, 12)}}));
        for (const Step& s : c.steps) {
            switch (s.kind) {
                case Step::Click: w.Click(w.Inside(s.from)); break;
                case Step::Drag:
                    w.Press(w.Inside(s.from));
                    w.Release(w.Inside(s.to));
                    break;
                case Step::ShiftClick: w.Press(w.Inside(s.from), Qt::ShiftModifier); break;
                case Step::MoveOnePixel:
                    w.Press(w.Inside(s.from));
                    w.Release(w.Inside(s.from, 31, 30));
                    break;
                case Step::BackgroundClick: w.Click(w.Inside(0, 66, 30)); break;
            }
        }
        EXPECT_EQ(w.Selected(), c.selected);
        Keys framed = c.selected;
        std::sort(framed.begin(), framed.end(), [](auto& a, auto& b) { return std::stoi(a) < std::stoi(b); });
        EXPECT_EQ(w.Framed(), framed);
    }
}

TEST(AlbumView, ADragAcrossAScrollSelectsWhatWasSweptOver) {
    AlbumWindow w(MakeLibrary(60, {{"All", Ids(1, 60)}}));
    QScrollBar* bar = w.form->ImagesBox->verticalScrollBar();
    ASSERT_GT(bar->maximum(), 300);
    const QPoint start = w.Inside(0);
    w.Press(start);
    bar->setValue(3 * 71);  // three rows down
    QCoreApplication::processEvents();
    w.Release(w.Inside(19));  // row 4, second cell
    EXPECT_EQ(w.Selected(), (Keys{"1", "2", "7", "8", "13", "14", "19", "20"}));

    // The wheel scrolls one line wherever the pointer is: over the album list too.
    bar->setValue(100);
    for (QWidget* target : {static_cast<QWidget*>(w.Viewport()), w.form->AlbumsListBox->viewport(),
                            static_cast<QWidget*>(w.form->Label3)}) {
        SCOPED_TRACE(Text(target->objectName()));
        const QPoint at(5, 5);
        for (int delta : {-120, -360, 120}) {
            const int before = bar->value();
            // To the deepest widget under the pointer, as the system delivers it.
            QWidget* deepest = target;
            QPoint local = at;
            while (QWidget* child = deepest->childAt(local)) {
                local = child->mapFrom(deepest, local);
                deepest = child;
            }
            QWheelEvent wheel(local, deepest->mapToGlobal(local), {}, {0, delta}, Qt::NoButton, {}, Qt::NoScrollPhase,
                              false);
            QApplication::sendEvent(deepest, &wheel);
            EXPECT_EQ(bar->value(), before + (delta > 0 ? -bar->singleStep() : bar->singleStep())) << delta;
        }
    }
    // A scroll with nothing to repaint, and one in an empty grid, is harmless.
    w.form->ImagesBoxVScroll(bar->maximum());
    w.form->ShowLibraryAlbum();
    w.form->DeviceReady = false;
    w.form->ShowLibraryAlbum();
    EXPECT_TRUE(w.form->GridCells.empty());
    w.form->ImagesBoxVScroll(0);
}

TEST(AlbumView, MenuSelectionsAndTheirRefusals) {
    AlbumWindow w(MakeLibrary(4, {{"All", Ids(1, 4)}}));
    w.form->SelectAll->trigger();
    EXPECT_EQ(w.Selected(), (Keys{"1", "2", "3", "4"}));
    w.form->MenuItem4->trigger();  // Invert Select of the grid's menu
    EXPECT_TRUE(w.Selected().empty());
    EXPECT_TRUE(w.Framed().empty());
    w.form->InvertSelect->trigger();
    EXPECT_EQ(w.Selected(), (Keys{"1", "2", "3", "4"}));
    w.form->MenuItem5->trigger();
    EXPECT_TRUE(w.Selected().empty());
    w.Click(w.Inside(2));
    w.form->MenuItem3->trigger();
    EXPECT_EQ(w.Selected(), (Keys{"3", "1", "2", "4"}));
    w.form->ClearSelect->trigger();

    // During a copy nothing changes the selection the run reads.
    w.Click(w.Inside(1));
    w.form->CopyInProgress = true;
    for (QAction* item : {w.form->SelectAll, w.form->InvertSelect, w.form->ClearSelect, w.form->MenuItem3})
        item->trigger();
    w.Click(w.Inside(0));
    w.Click(w.Inside(0, 66, 30));
    EXPECT_EQ(w.Selected(), (Keys{"2"}));
    w.form->CopyInProgress = false;

    // Without a device the menus do nothing.
    w.form->DeviceReady = false;
    w.form->SelectAll->trigger();
    EXPECT_EQ(w.Selected(), (Keys{"2"}));
}

TEST(AlbumView, SavedPhotosAndTheSourceButtons) {
    AlbumWindow w(MakeLibrary(3, {{"All", Ids(1, 3)}}));
    const std::string camera = w.form->CameraFolder;
    const std::string jpeg = sampleipad::JpegBytes(sampleipad::PatternPicture(160, 120, 7), 90);
    for (const char* name : {"100APPLEIMG_0002.THM", "100APPLEIMG_0001.THM", "100APPLEIMG_0003.thm", "100APPLEIMG_0004.jpg"})
        pxtest::WriteFile(camera + name, jpeg);
    w.Click(w.Inside(0));

    auto looks = [&](TXP_ButtonSmall* b) {
        std::ostringstream s;
        s << b->y() << " " << b->height() << " " << (b->font().bold() ? "bold " : "normal ") << Text(b->CaptionColor.name());
        return s.str();
    };
    TXP_RadioBox* radios[] = {w.form->RadioBMP, w.form->RadioJpeg, w.form->RadioHigh, w.form->RadioMid, w.form->RadioLow, w.form->RadioLowest};
    auto enabledRadios = [&] {
        int n = 0;
        for (auto* r : radios) n += r->isEnabled();
        return n;
    };
    EXPECT_EQ(looks(w.form->Buttonlibrary), "19 20 bold #000000");
    EXPECT_EQ(looks(w.form->Buttoncamera), "20 19 normal #696969");

    QTest::mouseClick(w.form->Buttoncamera, Qt::LeftButton);
    EXPECT_FALSE(w.form->LibraryMode);
    EXPECT_EQ(looks(w.form->Buttoncamera), "19 20 bold #000000");
    EXPECT_EQ(looks(w.form->Buttonlibrary), "20 19 normal #696969");
    EXPECT_EQ(enabledRadios(), 0);
    EXPECT_EQ(CellKeys(*w.form), (Keys{"Image100APPLEIMG_0001", "Image100APPLEIMG_0002"}));
    EXPECT_TRUE(w.Selected().empty());
    EXPECT_EQ(Text(w.form->Notifier->text()), "Photos in iPad Saved Photos.");
    EXPECT_EQ(w.form->AlbumsListBox->count(), 0);
    EXPECT_TRUE(pxtest::FileExists(camera + "100APPLEIMG_0001.JPG"));
    EXPECT_FALSE(pxtest::FileExists(camera + "100APPLEIMG_0001.THM"));
    EXPECT_FALSE(w.Cell(0).Picture().isNull());
    EXPECT_EQ(w.Cell(0).Picture().size(), QSize(61, 61));

    // A second showing finds them renamed; the active source does nothing when clicked again.
    QTest::mouseClick(w.form->Buttoncamera, Qt::LeftButton);
    EXPECT_EQ(w.form->GridCells.size(), 2u);
    w.form->ShowSavedPhotos();
    EXPECT_EQ(w.form->GridCells.size(), 2u);

    // Back: the radio buttons again, the album list and its first album.
    QTest::mouseClick(w.form->Buttonlibrary, Qt::LeftButton);
    EXPECT_TRUE(w.form->LibraryMode);
    EXPECT_EQ(enabledRadios(), 6);
    EXPECT_EQ(looks(w.form->Buttonlibrary), "19 20 bold #000000");
    EXPECT_EQ(w.form->AlbumsListBox->count(), 1);
    EXPECT_EQ(CellKeys(*w.form), (Keys{"Image1", "Image2", "Image3"}));

    // No switch during a copy.
    w.form->CopyInProgress = true;
    QTest::mouseClick(w.form->Buttoncamera, Qt::LeftButton);
    EXPECT_TRUE(w.form->LibraryMode);
    w.form->CopyInProgress = false;

    // An empty camera folder, and one that is gone.
    for (const auto& e : fs::directory_iterator(camera)) fs::remove(e.path());
    QTest::mouseClick(w.form->Buttoncamera, Qt::LeftButton);
    EXPECT_TRUE(w.form->GridCells.empty());
    EXPECT_EQ(Text(w.form->Notifier->text()), "Photos in iPad Saved Photos.");
    fs::remove(camera);
    w.form->ShowSavedPhotos();
    EXPECT_EQ(Text(w.form->Notifier->text()), "No Image In Your iPad Saved Photos.");
    ASSERT_EQ(w.form->AlbumsListBox->count(), 1);
    EXPECT_EQ(Text(w.form->AlbumsListBox->item(0)->text()), "No Image In Your iPad Saved Photos.");
    w.form->AlbumsListBoxClick();  // the hint is no album
    EXPECT_TRUE(w.form->GridCells.empty());
}

TEST(AlbumView, ContextMenusPerSource) {
    AlbumWindow w(MakeLibrary(2, {{"All", Ids(1, 2)}}));
    pxtest::WriteFile(w.form->CameraFolder + "100APPLEIMG_0001.JPG",
                      sampleipad::JpegBytes(sampleipad::PatternPicture(16, 16, 1), 90));
    auto menuAt = [&](QWidget* target, QPoint at) -> std::string {
        QContextMenuEvent e(QContextMenuEvent::Mouse, at, target->mapToGlobal(at));
        QApplication::sendEvent(target, &e);
        std::string shown;
        for (TSunPopupMenu* m : {w.form->PopupMenu, w.form->InnerPopupMenu})
            if (m->isVisible()) {
                shown = Text(m->objectName());
                m->hide();
            }
        return shown;
    };
    EXPECT_EQ(menuAt(&w.Cell(0), {30, 30}), "InnerPopupMenu");
    EXPECT_EQ(menuAt(w.Viewport(), {300, 300}), "InnerPopupMenu");
    // A right press takes no anchor and selects nothing.
    w.Press(w.Inside(0), {}, Qt::RightButton);
    w.Release(w.Inside(0), {}, Qt::RightButton);
    EXPECT_TRUE(w.Selected().empty());

    QTest::mouseClick(w.form->Buttoncamera, Qt::LeftButton);
    ASSERT_EQ(w.form->GridCells.size(), 1u);
    EXPECT_EQ(menuAt(&w.Cell(0), {30, 30}), "PopupMenu");
    EXPECT_EQ(menuAt(w.Viewport(), {300, 300}), "InnerPopupMenu");
}

TEST(AlbumView, ABuildOvertakenByAHandedOnMessageStops) {
    // Replies sent while an album is read are handed on one per cell; one
    // that empties the grid ends the build there.
    struct Case {
        const char* reply;
        bool emptied;
    } cases[] = {{"3", true}, {"1", false}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.reply);
        AlbumWindow w(MakeLibrary(300, {{"All", Ids(1, 300)}}));
        // The reply waits until the build hands it on.
        auto* notifier = w.form->findChild<QSocketNotifier*>();
        ASSERT_TRUE(notifier);
        notifier->setEnabled(false);
        QProcess sender;
        sender.start(QString::fromStdString(pxtest::BinDir() + "pxsend"),
                     {QString::fromUtf8(px::MainWindowClass.data()), QString::fromUtf8(px::MainWindowTitle.data()),
                      QString::fromLatin1(c.reply)});
        ASSERT_TRUE(sender.waitForStarted(5000));
        // Let the sender connect and wait for its answer, then rebuild.
        QTest::qWait(300);
        w.status->texts.clear();
        w.form->AlbumsListBoxClick();
        EXPECT_TRUE(QTest::qWaitFor([&] { return sender.state() == QProcess::NotRunning; }, 5000));
        EXPECT_EQ(sender.exitCode(), 0);
        EXPECT_LT(w.form->GridCells.size(), 300u);
        notifier->setEnabled(true);
        if (c.emptied) {
            EXPECT_TRUE(w.form->GridCells.empty());
            EXPECT_EQ(Text(w.form->Notifier->text()), "iPad Connection Lost.");
            EXPECT_EQ(w.form->AlbumsListBox->count(), 0);
        } else {
            // New data: the timer builds the grid anew.
            EXPECT_TRUE(QTest::qWaitFor([&] { return w.form->GridCells.size() == 300u; }, 5000));
            EXPECT_EQ(Text(w.form->Notifier->text()), "300 photos in album All");
        }
        EXPECT_TRUE(w.Selected().empty());
    }
}

// The whole way: the real connector pulls the sample iPad's files, and one
// timer interval later the grid shows the first album's thumbnails.
TEST(AlbumView, SampleIpadThroughTheRealConnector) {
    const std::string devices = pxtest::MakeTempFolder("devices");
    ::setenv("PIXFERRY_SIMULATED_DEVICES", devices.c_str(), 1);
    {
        auto form = std::make_unique<TFormMain>();
        form->show();
        const std::string text = pxtest::PlugSampleIpad(devices, "ipad");
        ASSERT_FALSE(text.empty());
        const pxtest::SampleManifest manifest = pxtest::ParseSampleManifest(text);
        ASSERT_TRUE(QTest::qWaitFor([&] { return !form->GridCells.empty(); }, 30000));

        const Keys members = manifest.Members(0);
        ASSERT_FALSE(members.empty());
        EXPECT_EQ(Text(form->Notifier->text()),
                  std::to_string(members.size()) + " photos in album " + manifest.albums.at(0));
        ASSERT_EQ(form->GridCells.size(), members.size());
        for (std::size_t i = 0; i < members.size(); ++i) {
            SCOPED_TRACE(members[i]);
            EXPECT_EQ(Text(form->GridCells[i]->objectName()), "Image" + members[i]);
            const auto* stored = manifest.Find(members[i], TiPad::Code55);
            ASSERT_TRUE(stored);
            const std::string store = pxtest::ReadFile(devices + "/ipad/files" + stored->path);
            const QImage shown = form->GridCells[i]->Picture().toImage();
            ASSERT_EQ(shown.size(), QSize(55, 55));
            // Rows of 112 bytes, 55 words shown of each.
            int wrong = 0;
            for (int y = 0; y < 55; ++y)
                for (int x = 0; x < 55; ++x) {
                    const std::size_t at = static_cast<std::size_t>(stored->offset) + y * 112 + x * 2;
                    const auto word = static_cast<std::uint16_t>(static_cast<std::uint8_t>(store[at]) |
                                                                 static_cast<std::uint8_t>(store[at + 1]) << 8);
                    std::uint8_t bgr[3];
                    TiPad::ConvertPixel(word, bgr);
                    wrong += shown.pixelColor(x, y) != QColor(bgr[2], bgr[1], bgr[0]);
                }
            EXPECT_EQ(wrong, 0);
        }
        // Unplugged: the grid and the selection go.
        form->SelectAll->trigger();
        EXPECT_FALSE(form->PhotoReader->SelectedPhotos.empty());
        fs::rename(devices + "/ipad", devices + "/.gone");
        ASSERT_TRUE(QTest::qWaitFor([&] { return !form->DeviceReady; }, 10000));
        EXPECT_TRUE(form->GridCells.empty());
        EXPECT_TRUE(form->PhotoReader->SelectedPhotos.empty());
        EXPECT_EQ(Text(form->Notifier->text()), "iPad Connection Lost.");
        form->close();
    }
    ::unsetenv("PIXFERRY_SIMULATED_DEVICES");
}
