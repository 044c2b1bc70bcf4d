// The main window and the report dialog as drawn: every control where the
// layout puts it, the menus, the surfaces that drag, the chrome buttons, the
// dialog over the main window, and pictures of both for people to look at.
#include <filesystem>

#include <QApplication>
#include <QContextMenuEvent>
#include <QDesktopServices>
#include <QLabel>
#include <QMouseEvent>
#include <QTest>
#include <QTimer>
#include <QUrl>
#include <gtest/gtest.h>

#include "CommandText.h"
#include "FrmMain.h"
#include "FrmReport.h"
#include "GuiSupport.h"
#include "LogClass.h"
#include "Settings.h"
#include "TestSupport.h"
#include "controls/TButton2.h"
#include "controls/WindowDrag.h"

namespace {

// Ends whatever connectors a test left, and starts each test from default settings.
struct ConnectorSweep {
    ConnectorSweep() { std::filesystem::remove(UserRegistryPath()); }
    ~ConnectorSweep() {
        while (wm::HWND c = wm::FindWindowA(px::ConnectorClass, px::ConnectorTitle))
            wm::SendMessageA(c, wm::WM_DESTROY, 1, 1);
    }
};

// Counts the system moves the windows ask for.
struct MoveCounter {
    std::vector<QWidget*> moved;
    MoveCounter() {
        skin::SetSystemMoveAction([this](QWidget* w) { moved.push_back(w); });
    }
    ~MoveCounter() { skin::SetSystemMoveAction(nullptr); }
};

std::string OutputFolder() {
    const std::string dir = pxtest::BinDir() + "../tests/gui-output/";
    std::filesystem::create_directories(dir);
    return dir;
}

std::string Caption(QWidget* w) {
    if (auto* l = qobject_cast<QLabel*>(w)) return l->text().toStdString();
    if (auto* b = qobject_cast<QAbstractButton*>(w)) return b->text().toStdString();
    if (auto* p = dynamic_cast<TsPanel*>(w)) return p->text().toStdString();
    if (auto* g = dynamic_cast<TXP_GroupBox*>(w)) return g->title().toStdString();
    if (auto* r = dynamic_cast<TXP_RadioBox*>(w)) return r->text().toStdString();
    return {};
}

struct Placed {
    const char* name;
    const char* parent;
    QRect at;  // width -1: sized to its text
    const char* caption;
};

// Every control of the main window, after the texts are applied with no language file.
const Placed kMainControls[] = {
    {"SunImage1", "FormMain", {0, 0, 9, 31}, ""},
    {"SunImage2", "FormMain", {696, 0, 9, 31}, ""},
    {"SunImage3", "FormMain", {1, 1, 705, 37}, ""},
    {"SunImage6", "FormMain", {225, 1, 281, 37}, ""},
    {"SunImage7", "FormMain", {224, 2, 13, 24}, ""},
    {"SunImage8", "FormMain", {493, 2, 13, 24}, ""},
    {"SunImage4", "FormMain", {193, 1, 32, 32}, ""},
    {"SunImage5", "FormMain", {506, 1, 32, 32}, ""},
    {"SunImage9", "FormMain", {0, 22, 1, 439}, ""},
    {"SunImage10", "FormMain", {704, 29, 1, 428}, ""},
    {"ImageB1", "FormMain", {0, 457, 13, 18}, ""},
    {"ImageB2", "FormMain", {9, 457, 683, 18}, ""},
    {"ImageB3", "FormMain", {692, 457, 13, 18}, ""},
    {"Label2", "FormMain", {10, 16, -1, -1}, "Velmora Pixferry"},
    {"Notifier", "FormMain", {237, 4, 256, 20}, "Waiting For iPad"},
    {"XP_ButtonSmall1", "FormMain", {616, 10, 18, 18}, ""},
    {"XP_ButtonSmall2", "FormMain", {640, 10, 18, 18}, ""},
    {"XP_ButtonSmall3", "FormMain", {664, 10, 18, 18}, ""},
    {"PanelSelect", "FormMain", {9, 37, 65, 22}, "File"},
    {"Image6", "PanelSelect", {0, 0, 3, 3}, ""},
    {"Image7", "PanelSelect", {62, 0, 3, 3}, ""},
    {"Image22", "PanelSelect", {-2, 21, 137, 1}, ""},
    {"ImagesBox", "FormMain", {8, 56, 481, 377}, ""},
    {"Panel2", "FormMain", {492, 56, 208, 356}, ""},
    {"Image10", "Panel2", {0, 0, 3, 3}, ""},
    {"Image11", "Panel2", {205, 0, 3, 3}, ""},
    {"Image12", "Panel2", {0, 352, 5, 4}, ""},
    {"Image13", "Panel2", {203, 352, 5, 4}, ""},
    {"GroupAlbum", "Panel2", {7, 2, 193, 161}, "Select Albums"},
    {"Buttonlibrary", "GroupAlbum", {8, 19, 81, 20}, "Photo Library"},
    {"Buttoncamera", "GroupAlbum", {88, 20, 80, 19}, "Saved Photos"},
    {"AlbumsListBox", "GroupAlbum", {8, 39, 177, 114}, ""},
    {"GroupCopyPath", "Panel2", {7, 170, 193, 55}, "backup path"},
    {"Path", "GroupCopyPath", {8, 23, 113, 19}, ""},
    {"ButtonOpen", "GroupCopyPath", {120, 23, 64, 19}, "Browse..."},
    {"GroupBoxRes", "Panel2", {7, 226, 193, 65}, "backup resolution"},
    {"RadioHigh", "GroupBoxRes", {12, 18, 93, 17}, "Full Resolution"},
    {"RadioMid", "GroupBoxRes", {114, 18, 69, 17}, "120*160"},
    {"RadioLow", "GroupBoxRes", {12, 38, 52, 17}, "76*76"},
    {"RadioLowest", "GroupBoxRes", {114, 38, 69, 17}, "55*55"},
    {"GroupBoxFF", "Panel2", {7, 298, 193, 52}, "backup format"},
    {"RadioJpeg", "GroupBoxFF", {44, 21, 41, 17}, "Jpeg"},
    {"RadioBMP", "GroupBoxFF", {112, 21, 43, 17}, "BMP"},
    {"Label3", "FormMain", {16, 442, -1, -1}, kRefusedSite},
    {"Image19", "FormMain", {583, 421, 13, 29}, ""},
    {"ButtonCopy", "FormMain", {596, 421, 76, 29}, "Copy"},
    {"Image18", "FormMain", {672, 421, 13, 29}, ""},
    {"PanelInfo", "FormMain", {152, 144, 393, 137}, ""},
    {"PanelInfoTitle", "PanelInfo", {24, 19, 345, 62}, ""},
    {"sPanel2", "PanelInfo", {1, 100, 391, 36}, ""},
    {"ButtonInfoOK", "PanelInfo", {98, 106, 75, 24}, "Ok"},
    {"ButtonInfoCancel", "PanelInfo", {190, 106, 118, 24}, "Remind Me Later"},
};

void ExpectPlaced(QWidget* root, const Placed& c) {
    SCOPED_TRACE(c.name);
    auto* w = root->findChild<QWidget*>(QString::fromLatin1(c.name));
    ASSERT_NE(w, nullptr);
    ASSERT_NE(w->parentWidget(), nullptr);
    EXPECT_EQ(w->parentWidget()->objectName().toStdString(), c.parent);
    if (c.at.width() < 0) {
        EXPECT_EQ(w->pos(), c.at.topLeft());
        EXPECT_GE(w->width(), w->sizeHint().width());  // the whole text shows
    } else {
        EXPECT_EQ(w->geometry(), c.at);
    }
    EXPECT_EQ(Caption(w), c.caption);
}

QColor Pixel(QWidget* w, QPoint at) { return w->grab().toImage().pixelColor(at); }

TEST(WindowLayout, EveryControlAtItsPlaceWithItsCaption) {
    ConnectorSweep sweep;
    TFormMain form;
    form.show();
    EXPECT_EQ(form.size(), QSize(706, 475));
    EXPECT_TRUE(form.windowFlags() & Qt::FramelessWindowHint);
    EXPECT_EQ(form.windowTitle().toStdString(), "velmorapixferry");
    for (const Placed& c : kMainControls) ExpectPlaced(&form, c);

    // Start states.
    EXPECT_TRUE(form.RadioHigh->isChecked());
    EXPECT_TRUE(form.RadioJpeg->isChecked());
    EXPECT_FALSE(form.PanelInfo->isVisible());
    EXPECT_TRUE(form.Path->isReadOnly());
    EXPECT_EQ(form.Buttonlibrary->toolTip().toStdString(), "Photos synch with iTunes");
    EXPECT_EQ(form.Buttoncamera->toolTip().toStdString(), "Photos taken with iPhone camera");
    EXPECT_EQ(form.ImagesBox->horizontalScrollBarPolicy(), Qt::ScrollBarAlwaysOff);
    EXPECT_EQ(form.AlbumsListBox->ItemHeight(), 16);

    // Fonts and colours that carry meaning.
    struct Look {
        QWidget* w;
        int pixels;
        bool bold;
    } fonts[] = {
        {&form, 11, false}, {form.Label2, 12, true}, {form.Notifier, 11, true}, {form.PanelSelect, 11, true},
        {form.Label3, 13, false}, {form.ButtonCopy, 11, true}, {form.Buttonlibrary, 11, true},
        {form.Buttoncamera, 11, false}, {form.PanelInfoTitle, 12, true},
    };
    for (const Look& f : fonts) {
        SCOPED_TRACE(f.w->objectName().toStdString());
        EXPECT_EQ(f.w->font().pixelSize(), f.pixels);
        EXPECT_EQ(f.w->font().bold(), f.bold);
    }
    EXPECT_TRUE(form.PanelSelect->font().underline());
    EXPECT_EQ(form.Notifier->CaptionColor, QColor(245, 255, 91));
    EXPECT_EQ(form.ButtonCopy->CaptionColor, QColor(245, 255, 91));
    EXPECT_EQ(form.Label3->palette().color(QPalette::WindowText), QColor(Qt::yellow));
    EXPECT_EQ(form.Label2->palette().color(QPalette::WindowText), QColor(Qt::yellow));
    EXPECT_EQ(Pixel(&form, {300, 445}), QColor(41, 43, 55));       // the window
    EXPECT_EQ(Pixel(form.Panel2, {100, 166}), QColor(219, 219, 229));  // between two groups
    EXPECT_EQ(Pixel(form.ImagesBox, {100, 100}), QColor(219, 219, 229));
    EXPECT_EQ(Pixel(form.PanelSelect, {5, 12}), QColor(219, 219, 229));

    // Tab order of the window's direct children.
    QWidget* order[] = {form.ButtonCopy, form.XP_ButtonSmall1, form.XP_ButtonSmall2, form.XP_ButtonSmall3,
                        form.Notifier,   form.Panel2,          form.ImagesBox,       form.PanelSelect,
                        form.PanelInfo};
    std::vector<QWidget*> chain;  // the focus chain from the Copy button, direct children only
    chain.push_back(form.ButtonCopy);
    for (QWidget* w = form.ButtonCopy->nextInFocusChain(); w != form.ButtonCopy; w = w->nextInFocusChain())
        if (w->parentWidget() == &form && std::find(std::begin(order), std::end(order), w) != std::end(order))
            chain.push_back(w);
    EXPECT_EQ(chain, std::vector<QWidget*>(std::begin(order), std::end(order)));

    // The corner pictures of the settings column keep to their corners.
    form.Panel2->resize(300, 400);
    EXPECT_EQ(form.Image10->pos(), QPoint(0, 0));
    EXPECT_EQ(form.Image11->pos(), QPoint(297, 0));
    EXPECT_EQ(form.Image12->pos(), QPoint(0, 396));
    EXPECT_EQ(form.Image13->pos(), QPoint(295, 396));
    form.close();
}

TEST(WindowLayout, LanguageFileCaptionsReachTheSkinnedControls) {
    ConnectorSweep sweep;
    pxtest::WriteFile(UserRegistryPath(), "Windows Registry Editor Version 5.00\n\n[" + std::string(SettingsKey) +
                                              "]\n\"LA\"=\"yy\"\n");
    const std::string lng = pxtest::BinDir() + "yy.lng";
    std::string lines;
    for (int id = 0; id <= 37; ++id) lines += id == 37 ? "\n" : "T" + std::to_string(id) + "\n";
    pxtest::WriteFile(lng, lines);
    {
        TFormMain form;
        TFormReport report(form);
        std::filesystem::remove(lng);
        const std::pair<QWidget*, const char*> captions[] = {
            {form.PanelSelect, "T0"}, {form.ButtonCopy, "T1"}, {form.Notifier, "T3"}, {form.GroupAlbum, "T8"},
            {form.Buttonlibrary, "T15"}, {form.Buttoncamera, "T16"}, {form.GroupCopyPath, "T18"},
            {form.ButtonOpen, "T9"}, {form.GroupBoxRes, "T17"}, {form.GroupBoxFF, "T19"},
            {report.Label1, "T36"}, {report.OpenDir, "Open Directory"}, {report.CloseButton, "T14"},
            {form.ButtonInfoOK, "T13"}, {form.ButtonInfoCancel, "T20"},
        };
        for (auto [w, text] : captions) {
            SCOPED_TRACE(w->objectName().toStdString());
            EXPECT_EQ(Caption(w), text);
        }
        EXPECT_EQ(form.Help1->text().toStdString(), "T11");
        EXPECT_EQ(form.MenuItem5->text().toStdString(), "T7");
        form.close();
    }
    std::filesystem::remove(UserRegistryPath());
}

TEST(WindowLayout, MenusHoldTheirItemsInOrder) {
    ConnectorSweep sweep;
    TFormMain form;
    struct Item {
        const char* name;
        const char* caption;
        bool enabled;
        int column;
    };
    const Item mainMenu[] = {
        {"CopyOutPhoto", "Copy", true, 0},        {"StopCopyPhoto", "Stop", false, 0},
        {"SelectAll", "Select All", true, 0},     {"InvertSelect", "Invert Select", true, 0},
        {"ClearSelect", "Clear Select", true, 0}, {"CheckUpdate1", "Check Update", true, 0},
        {"Help1", "Help", true, 1},
    };
    const Item contextMenu[] = {
        {"MenuItem1", "Copy", true, 0},          {"MenuItem2", "Stop", false, 0},
        {"MenuItem3", "Select All", true, 0},    {"MenuItem4", "Invert Select", true, 0},
        {"MenuItem5", "Clear Select", true, 0},
    };
    auto check = [](TSunPopupMenu* menu, const auto& expected) {
        SCOPED_TRACE(menu->objectName().toStdString());
        menu->popup(QPoint(0, 0));
        const QList<QAction*> items = menu->Items();
        ASSERT_EQ(static_cast<std::size_t>(items.size()), std::size(expected));
        for (std::size_t i = 0; i < std::size(expected); ++i) {
            SCOPED_TRACE(expected[i].name);
            EXPECT_EQ(items[i]->objectName().toStdString(), expected[i].name);
            EXPECT_EQ(items[i]->text().toStdString(), expected[i].caption);
            EXPECT_EQ(items[i]->isEnabled(), expected[i].enabled);
            EXPECT_EQ(menu->ColumnOf(items[i]), expected[i].column);
        }
        menu->hide();
    };
    check(form.PopupMenu, mainMenu);
    check(form.InnerPopupMenu, contextMenu);

    // The "File" tab opens the main menu right under itself, wherever the window stands.
    form.show();
    for (QPoint at : {QPoint(200, 150), QPoint(13, 401)}) {
        SCOPED_TRACE(at.x());
        form.move(at);
        QTest::mouseClick(form.PanelSelect, Qt::LeftButton, {}, QPoint(20, 10));
        EXPECT_TRUE(form.PopupMenu->isVisible());
        EXPECT_EQ(form.PopupMenu->pos(), at + QPoint(9, 37 + 22));
        form.PopupMenu->hide();
    }

    // A right click on the grid opens the context menu where it was made.
    QWidget* grid = form.ImagesBox->viewport();
    QContextMenuEvent right(QContextMenuEvent::Mouse, QPoint(40, 30), grid->mapToGlobal(QPoint(40, 30)));
    QApplication::sendEvent(grid, &right);
    EXPECT_TRUE(form.InnerPopupMenu->isVisible());
    EXPECT_FALSE(form.PopupMenu->isVisible());
    EXPECT_EQ(form.InnerPopupMenu->pos(), grid->mapToGlobal(QPoint(40, 30)));
    form.close();
}

// A move with the given buttons, sent to the widget as the mouse would.
void MoveOver(QWidget* w, QPoint at, Qt::MouseButtons held) {
    QMouseEvent e(QEvent::MouseMove, at, w->mapToGlobal(at), Qt::NoButton, held, Qt::NoModifier);
    QApplication::sendEvent(w, &e);
}

TEST(WindowLayout, OnlyTheBoundSurfacesDragTheWindow) {
    ConnectorSweep sweep;
    MoveCounter moves;
    TFormMain form;
    form.show();
    struct Surface {
        QWidget* w;
        QPoint at;
        bool drags;
    } surfaces[] = {
        {&form, {300, 445}, true},           {form.SunImage1, {4, 20}, true},
        {form.SunImage2, {4, 20}, true},     {form.SunImage3, {100, 20}, true},
        {form.SunImage4, {10, 10}, true},    {form.SunImage5, {10, 10}, true},
        {form.SunImage6, {100, 30}, true},   {form.SunImage7, {3, 3}, true},
        {form.SunImage8, {10, 3}, true},     {form.SunImage9, {0, 100}, true},
        {form.SunImage10, {0, 100}, true},   {form.ImageB1, {5, 5}, true},
        {form.ImageB2, {300, 5}, true},      {form.ImageB3, {5, 5}, true},
        {form.Label2, {5, 5}, true},         {form.Notifier, {100, 10}, true},
        {form.Panel2, {100, 166}, true},
        {form.ImagesBox->viewport(), {100, 100}, false}, {form.ImagesBox, {100, 100}, false},
        {form.GroupAlbum, {100, 5}, false},  {form.GroupBoxRes, {100, 5}, false},
        {form.Buttonlibrary, {10, 10}, false}, {form.ButtonOpen, {10, 10}, false},
        {form.ButtonCopy, {30, 10}, false},  {form.XP_ButtonSmall1, {9, 9}, false},
        {form.AlbumsListBox->viewport(), {20, 20}, false}, {form.RadioHigh, {5, 8}, false},
        {form.Path, {20, 8}, false},         {form.PanelSelect, {30, 10}, false},
        {form.Label3, {10, 8}, false},       {form.Image10, {1, 1}, false},
    };
    for (const Surface& s : surfaces) {
        SCOPED_TRACE(s.w->objectName().toStdString() + " " + s.w->metaObject()->className());
        moves.moved.clear();
        MoveOver(s.w, s.at, Qt::NoButton);
        MoveOver(s.w, s.at, Qt::RightButton);
        EXPECT_TRUE(moves.moved.empty());
        MoveOver(s.w, s.at, Qt::LeftButton);
        EXPECT_EQ(moves.moved.size(), s.drags ? 1u : 0u);
        if (!moves.moved.empty()) {
            EXPECT_EQ(moves.moved[0], &form);
        }
    }
    form.close();
}

TEST(WindowLayout, TitleButtonsMinimiseHelpAndClose) {
    ConnectorSweep sweep;
    UrlCatcher urls;
    TFormMain form;
    TFormReport report(form);
    form.show();
    report.show();
    QTest::mouseClick(form.XP_ButtonSmall2, Qt::LeftButton);
    EXPECT_EQ(urls.urls, (std::vector<std::string>{
                             std::string(kRefusedSite) + "how-to-transfer-photo-from-ipad-to-computer.html"}));

    QTest::mouseClick(form.XP_ButtonSmall1, Qt::LeftButton);
    EXPECT_TRUE(form.isMinimized());
    EXPECT_TRUE(report.isMinimized());  // the whole program, not one window
    EXPECT_TRUE(report.isVisible());
    form.showNormal();

    form.BackupFormat = 1;
    QTest::mouseClick(form.XP_ButtonSmall3, Qt::LeftButton);
    EXPECT_FALSE(form.isVisible());
    // The ordinary close ran: the settings are saved.
    EXPECT_NE(pxtest::ReadFile(UserRegistryPath()).find("\"FF\"=dword:00000001"), std::string::npos);
}

// ---- the report dialog

const Placed kReportControls[] = {
    {"SunImage3", "FormReport", {0, 1, 334, 25}, ""},
    {"SunImage1", "FormReport", {0, 0, 9, 22}, ""},
    {"SunImage4", "FormReport", {325, 0, 9, 22}, ""},
    {"SunImage2", "FormReport", {8, 0, 413, 1}, ""},
    {"SunImage5", "FormReport", {1, 25, 333, 5}, ""},
    {"SunImage9", "FormReport", {0, 22, 1, 150}, ""},
    {"SunImage10", "FormReport", {333, 22, 1, 150}, ""},
    {"ImageB1", "FormReport", {0, 173, 13, 18}, ""},
    {"ImageB2", "FormReport", {13, 173, 310, 18}, ""},
    {"ImageB3", "FormReport", {321, 173, 13, 18}, ""},
    {"Label1", "FormReport", {88, 72, -1, 13}, "Copy finished, open directory?"},
    {"OpenDir", "FormReport", {48, 117, 96, 29}, "Open Directory"},
    {"CloseButton", "FormReport", {191, 117, 92, 29}, "Close"},
    {"DaxButtonSmall1", "FormReport", {257, 6, 18, 18}, ""},
    {"DaxButtonSmall3", "FormReport", {281, 6, 18, 18}, ""},
    {"DaxButtonSmall2", "FormReport", {305, 6, 18, 18}, ""},
};

TEST(ReportDialog, LayoutTextsAndHints) {
    ConnectorSweep sweep;
    TFormMain form;
    TFormReport report(form);
    EXPECT_EQ(FormReport, &report);
    EXPECT_EQ(report.size(), QSize(334, 191));
    EXPECT_TRUE(report.windowFlags() & Qt::FramelessWindowHint);
    for (const Placed& c : kReportControls) ExpectPlaced(&report, c);
    EXPECT_GE(report.Label1->width(), 142);
    EXPECT_EQ(report.DaxButtonSmall1->toolTip().toStdString(), "Minimize");
    EXPECT_EQ(report.DaxButtonSmall2->toolTip().toStdString(), "Close");
    EXPECT_EQ(report.DaxButtonSmall3->toolTip().toStdString(), form.SiteAddress);
    EXPECT_TRUE(report.OpenDir->font().bold());
    EXPECT_EQ(report.OpenDir->CaptionColor, QColor(245, 255, 91));
    EXPECT_EQ(report.CloseButton->CaptionColor, QColor(245, 255, 91));
    EXPECT_EQ(report.palette().color(QPalette::Window), QColor(219, 219, 229));
    EXPECT_FALSE(report.isVisible());
    form.close();
}

TEST(ReportDialog, CentredOverTheMainWindowWhereverItStands) {
    ConnectorSweep sweep;
    TFormMain form;
    TFormReport report(form);
    form.show();
    for (QPoint at : {QPoint(100, 50), QPoint(13, 7), QPoint(-40, 300)}) {
        SCOPED_TRACE(at.x());
        form.move(at);
        report.show();
        EXPECT_EQ(report.pos(), at + QPoint((706 - 334) / 2, (475 - 191) / 2));
        EXPECT_FALSE(report.mask().isEmpty());
        EXPECT_FALSE(report.mask().contains(QPoint(0, 0)));  // rounded corners
        EXPECT_TRUE(report.mask().contains(QPoint(167, 95)));
        report.close();
        EXPECT_FALSE(report.isVisible());
    }
    form.close();
}

TEST(ReportDialog, ButtonsOpenTheFolderCloseAndMinimise) {
    ConnectorSweep sweep;
    UrlCatcher urls;
    TFormMain form;
    TFormReport report(form);
    form.show();

    report.TargetFolder = pxtest::TempRoot() + "/backup";
    report.show();
    QTest::mouseClick(report.OpenDir, Qt::LeftButton);
    EXPECT_EQ(urls.urls, (std::vector<std::string>{"file://" + pxtest::TempRoot() + "/backup"}));
    EXPECT_FALSE(report.isVisible());

    // A failing open is logged and the dialog stays.
    form.ProgramFolder = pxtest::MakeTempFolder("log") + "/";
    report.OpenFolder = [](const std::string&) { throw std::runtime_error("no file browser"); };
    report.show();
    QTest::mouseClick(report.OpenDir, Qt::LeftButton);
    EXPECT_TRUE(report.isVisible());
    EXPECT_NE(pxtest::ReadFile(form.ProgramFolder + std::string(AccessLogFile)).find("=OpenDirClick:no file browser"),
              std::string::npos);

    for (TDaxButton* closer : {static_cast<TDaxButton*>(report.CloseButton), static_cast<TDaxButton*>(report.DaxButtonSmall2)}) {
        SCOPED_TRACE(closer->objectName().toStdString());
        report.show();
        QTest::mouseClick(closer, Qt::LeftButton);
        EXPECT_FALSE(report.isVisible());
    }

    urls.urls.clear();
    report.show();
    QTest::mouseClick(report.DaxButtonSmall3, Qt::LeftButton);
    EXPECT_EQ(urls.urls, (std::vector<std::string>{
                             std::string(kRefusedSite) + "how-to-transfer-photo-from-ipad-to-computer.html"}));
    QTest::mouseClick(report.DaxButtonSmall1, Qt::LeftButton);
    EXPECT_TRUE(form.isMinimized());
    EXPECT_TRUE(report.isMinimized());
    EXPECT_TRUE(report.isVisible());  // minimising does not close it
    report.close();

    // Shown modally, it returns when closed.
    form.showNormal();
    QTimer::singleShot(50, &report, [&] { QTest::mouseClick(report.CloseButton, Qt::LeftButton); });
    report.ShowModal();
    EXPECT_FALSE(report.isVisible());
    form.close();
}

TEST(ReportDialog, DragsByItsBackgroundAndFrame) {
    ConnectorSweep sweep;
    MoveCounter moves;
    TFormMain form;
    TFormReport report(form);
    report.show();
    struct Surface {
        QWidget* w;
        QPoint at;
        bool drags;
    } surfaces[] = {
        {&report, {20, 100}, true},          {report.SunImage3, {100, 12}, true}, {report.SunImage1, {4, 15}, true},
        {report.SunImage4, {4, 15}, true},   {report.SunImage5, {100, 2}, true},  {report.SunImage10, {0, 80}, true},
        {report.ImageB1, {6, 5}, true},      {report.ImageB2, {100, 9}, true},    {report.ImageB3, {6, 5}, true},
        {report.Label1, {10, 6}, true},      {report.SunImage2, {100, 0}, false}, {report.SunImage9, {0, 80}, false},
        {report.OpenDir, {40, 14}, false},   {report.CloseButton, {40, 14}, false},
        {report.DaxButtonSmall2, {9, 9}, false},
    };
    for (const Surface& s : surfaces) {
        SCOPED_TRACE(s.w->objectName().toStdString());
        moves.moved.clear();
        MoveOver(s.w, s.at, Qt::NoButton);
        EXPECT_TRUE(moves.moved.empty());
        MoveOver(s.w, s.at, Qt::LeftButton);
        EXPECT_EQ(moves.moved.size(), s.drags ? 1u : 0u);
        if (!moves.moved.empty()) {
            EXPECT_EQ(moves.moved[0], &report);
        }
    }
    form.close();
}

// ---- pictures for people

TEST(WindowPictures, MainWindowAndDialogAreRendered) {
    ConnectorSweep sweep;
    TFormMain form;
    TFormReport report(form);
    form.show();
    form.AlbumsListBox->addItems({"Holidays", "Family", "Garden"});
    form.AlbumsListBox->setCurrentRow(0);
    const std::string dir = OutputFolder();
    EXPECT_TRUE(form.grab().save(QString::fromStdString(dir + "main-window.png")));
    form.ShowStatus("iPad connected, reading data...");
    form.PanelInfo->show();
    form.PanelInfoTitle->setText(QStringLiteral("A new version is ready"));
    EXPECT_TRUE(form.grab().save(QString::fromStdString(dir + "main-window-update-panel.png")));
    form.PanelInfo->hide();
    form.PanelSelectClick();
    EXPECT_TRUE(form.PopupMenu->grab().save(QString::fromStdString(dir + "main-menu.png")));
    form.PopupMenu->hide();
    report.show();
    EXPECT_TRUE(report.grab().save(QString::fromStdString(dir + "report-dialog.png")));
    report.close();

    // The buttons and a radio box in each of their looks, one row per kind, on the window's colours.
    QWidget sheet;
    sheet.resize(5 * 90 + 10, 4 * 36 + 10);
    sheet.setAutoFillBackground(true);
    QPalette pal = sheet.palette();
    pal.setColor(QPalette::Window, QColor(41, 43, 55));
    sheet.setPalette(pal);
    auto look = [](TSkinButton* b, int look) {
        if (look == TSkinButton::Pressed) b->setDown(true);
        if (look == TSkinButton::Disabled) b->setEnabled(false);
        if (look == TSkinButton::MouseOver) {
            QEnterEvent enter(QPointF(1, 1), QPointF(1, 1), QPointF(1, 1));
            QApplication::sendEvent(b, &enter);
        }
    };
    for (int l = 0; l < 5; ++l) {
        if (l == TSkinButton::Focused) continue;  // needs an active window
        auto* copy = new TDaxButton(&sheet);
        copy->setGeometry(10 + l * 90, 10, 76, 29);
        copy->setFont(form.ButtonCopy->font());
        copy->CaptionColor = form.ButtonCopy->CaptionColor;
        copy->setText(QStringLiteral("Copy"));
        look(copy, l);
        auto* close = new TDaxButtonSmall(&sheet);
        close->setGeometry(10 + l * 90, 46, 18, 18);
        close->SetGlyph(form.XP_ButtonSmall3->Glyph);
        close->PicTrans = true;
        close->PicTransColor = Qt::red;
        look(close, l);
        auto* browse = new TXP_ButtonSmall(&sheet);
        browse->setGeometry(10 + l * 90, 82, 64, 19);
        browse->setFont(form.ButtonOpen->font());
        browse->setText(QStringLiteral("Browse..."));
        look(browse, l);
        auto* radio = new TXP_RadioBox(&sheet);
        radio->setGeometry(10 + l * 90, 118, 80, 17);
        radio->setText(QStringLiteral("Jpeg"));
        radio->setChecked(l % 2 == 1);
        if (l == TSkinButton::Disabled) radio->setEnabled(false);
    }
    EXPECT_TRUE(sheet.grab().save(QString::fromStdString(dir + "control-looks.png")));
    form.close();
}

}  // namespace
