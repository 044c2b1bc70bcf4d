// The windows on a screen of 144 pixels per inch (the program runs with that
// logical density and no device scaling): everything is laid out 1.5 times
// as large, and the dialog still centres over the main window.
#include <cstdlib>
#include <filesystem>

#include <QScreen>
#include <gtest/gtest.h>

#include "CommandText.h"
#include "FrmMain.h"
#include "FrmReport.h"
#include "GuiSupport.h"
#include "TestSupport.h"
#include "controls/TButton2.h"

namespace {

// Before the application starts: a logical density of 144 and no device scaling.
[[maybe_unused]] const bool denseScreen = [] {
    ::setenv("QT_ENABLE_HIGHDPI_SCALING", "0", 1);
    ::setenv("QT_FONT_DPI", "144", 1);
    return true;
}();

TEST(ScaledWindows, LaidOutForTheScreenDensity) {
    ConnectorSweep sweep;
    TFormMain form;
    EXPECT_EQ(form.screen()->logicalDotsPerInch(), 144);
    TFormReport report(form);
    form.show();
    EXPECT_EQ(form.size(), QSize(1059, 713));
    const std::pair<QWidget*, QRect> placed[] = {
        {form.ButtonCopy, {894, 632, 114, 44}},
        {form.Notifier, {356, 6, 384, 30}},
        {form.GroupAlbum, {11, 3, 290, 242}},  // inside Panel2, scaled with it
        {form.Panel2, {738, 84, 312, 534}},
        {report.OpenDir, {72, 176, 144, 44}},
        {form.ButtonInfoOK, {147, 159, 113, 36}},  // made after the window was scaled
    };
    for (auto [w, at] : placed) {
        SCOPED_TRACE(w->objectName().toStdString());
        EXPECT_EQ(w->geometry(), at);
    }
    EXPECT_EQ(form.Notifier->font().pixelSize(), 17);
    EXPECT_EQ(form.Label3->font().pixelSize(), 20);
    EXPECT_EQ(report.OpenDir->font().pixelSize(), 17);
    // The rounded shape follows the scaled size.
    EXPECT_TRUE(form.mask().contains(QPoint(1050, 700)));
    EXPECT_FALSE(form.mask().contains(QPoint(1058, 712)));

    EXPECT_EQ(report.size(), QSize(501, 287));
    form.move(40, 30);
    report.show();
    EXPECT_EQ(report.pos(), QPoint(40 + (1059 - 501) / 2, 30 + (713 - 287) / 2));
    const std::string dir = pxtest::BinDir() + "../tests/gui-output/";
    std::filesystem::create_directories(dir);
    EXPECT_TRUE(form.grab().save(QString::fromStdString(dir + "main-window-144dpi.png")));
    EXPECT_TRUE(report.grab().save(QString::fromStdString(dir + "report-dialog-144dpi.png")));
    report.close();
    form.close();
}

}  // namespace
