#include <fcntl.h>
#include <unistd.h>

#include <filesystem>

#include <QProcess>
#include <QTest>
#include <gtest/gtest.h>

#include "CommandText.h"
#include "FrmMain.h"
#include "GuiSupport.h"
#include "Settings.h"
#include "TestSupport.h"

namespace {

std::vector<wm::HWND> Connectors() { return wm::FindWindows(px::ConnectorClass, px::ConnectorTitle); }

bool WaitFor(const std::function<bool()>& done, int ms = 5000) { return QTest::qWaitFor(done, ms); }

// Sends a reply to the main window from another process, as the connector does,
// while this thread goes on serving the window.
bool SendFromAnotherProcess(const std::string& text) {
    QProcess p;
    p.start(QString::fromStdString(pxtest::BinDir() + "pxsend"),
            {QString::fromUtf8(px::MainWindowClass.data()), QString::fromUtf8(px::MainWindowTitle.data()),
             QString::fromStdString(text)});
    if (!p.waitForStarted(5000)) return false;
    WaitFor([&] { return p.state() == QProcess::NotRunning; });
    return p.exitStatus() == QProcess::NormalExit && p.exitCode() == 0;
}

void WriteRegistry(const std::string& values) {
    pxtest::WriteFile(UserRegistryPath(), "Windows Registry Editor Version 5.00\n\n[" + std::string(SettingsKey) + "]\n" + values);
}

std::string Text(const QString& s) { return s.toStdString(); }

}  // namespace

TEST(FormMain, EndToEndWithTheRealConnector) {
    ConnectorSweep sweep;
    const std::string stderrFile = pxtest::TempRoot() + "/connector.err";
    // The connector inherits this process's standard error when it is started.
    int saved = ::dup(2);
    int file = ::open(stderrFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    ::dup2(file, 2);
    auto form = std::make_unique<TFormMain>();
    ::dup2(saved, 2);
    ::close(file);
    ::close(saved);
    form->show();

    EXPECT_EQ(form->ProgramFolder, pxtest::BinDir());
    EXPECT_EQ(form->ConnectorFolder, "dllb/");
    EXPECT_EQ(form->CameraFolder, pxtest::BinDir() + "dllb/camera/");
    EXPECT_TRUE(std::filesystem::is_directory(form->CameraFolder));
    ASSERT_TRUE(WaitFor([] { return Connectors().size() == 1; }));
    EXPECT_TRUE(WaitFor([&] {
        return pxtest::ReadFile(stderrFile).find("velmorapx: working folder " + pxtest::BinDir() +
                                                 "dllb/, main window found") != std::string::npos;
    }));
    EXPECT_EQ(Text(form->Notifier->text()), "Waiting For iPad");

    ASSERT_TRUE(SendFromAnotherProcess("4"));
    EXPECT_EQ(Text(form->Notifier->text()), "iPad connected, reading data...");

    form->AlbumsListBox->addItems({"Album 1", "Album 2"});
    form->DeviceReady = true;
    ASSERT_TRUE(SendFromAnotherProcess("3"));
    EXPECT_EQ(Text(form->Notifier->text()), "iPad Connection Lost.");
    EXPECT_EQ(form->AlbumsListBox->count(), 0);
    EXPECT_FALSE(form->DeviceReady);

    form->AlbumsListBox->addItem("Album 3");
    for (const char* other : {"5", "44", "", "3 "}) {
        SCOPED_TRACE(other);
        ASSERT_TRUE(SendFromAnotherProcess(other));
        EXPECT_EQ(Text(form->Notifier->text()), "iPad Connection Lost.");
        EXPECT_EQ(form->AlbumsListBox->count(), 1);
    }

    // A second connector, as a stale one from an earlier start would be.
    qint64 second = 0;
    ASSERT_TRUE(QProcess::startDetached(QString::fromStdString(pxtest::BinDir() + "dllb/velmorapx"), {}, {}, &second));
    ASSERT_TRUE(WaitFor([] { return Connectors().size() == 2; }));
    std::vector<int> pids;
    for (const auto& c : Connectors()) pids.push_back(c.OwnerPid());

    const std::pair<const char*, bool> files[] = {
        {"100APPLEIMG_0001.THM", false}, {"100APPLEIMG_0001.JPG", false}, {"keep.jpg", true}, {"keep.txt", true}};
    for (auto [name, stays] : files) pxtest::WriteFile(form->CameraFolder + name, "x");
    form->BackupResolution = 3;
    form->close();

    for (int pid : pids) {
        SCOPED_TRACE(pid);
        EXPECT_TRUE(WaitFor([pid] { return pxtest::ProcessEnded(pid); }));
    }
    EXPECT_TRUE(Connectors().empty());
    for (auto [name, stays] : files) {
        SCOPED_TRACE(name);
        EXPECT_EQ(pxtest::FileExists(form->CameraFolder + name), stays);
        std::filesystem::remove(form->CameraFolder + name);
    }
    const std::string reg = pxtest::ReadFile(UserRegistryPath());
    EXPECT_NE(reg.find("\"LA\"=\"en\"\n"), std::string::npos) << reg;
    EXPECT_NE(reg.find("\"SP\"=\"" + pxtest::TempRoot() + "/home/Documents/Velmora/Velmora Pixferry/\"\n"),
              std::string::npos) << reg;
    EXPECT_NE(reg.find("\"RS\"=dword:00000003\n"), std::string::npos) << reg;
    EXPECT_NE(reg.find("\"FF\"=dword:00000002\n"), std::string::npos) << reg;

    // Replies that arrive after the close are ignored.
    form->WMCopyData("4");
    form->WMCopyData("1");
    EXPECT_EQ(Text(form->Notifier->text()), "iPad Connection Lost.");
}

TEST(FormMain, SettingsAndTextsReachTheControls) {
    ConnectorSweep sweep;
    struct Case {
        std::string values;
        TXP_RadioBox* TFormMain::*resolution;
        TXP_RadioBox* TFormMain::*format;
    } cases[] = {
        {"\"RS\"=dword:00000003\n\"FF\"=dword:00000001\n", &TFormMain::RadioLow, &TFormMain::RadioBMP},
        {"\"RS\"=dword:00000002\n\"LA\"=\"de\"\n", &TFormMain::RadioMid, &TFormMain::RadioJpeg},
        {"\"RS\"=dword:00000007\n\"FF\"=dword:00000009\n", &TFormMain::RadioHigh, &TFormMain::RadioJpeg},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.values);
        WriteRegistry(c.values);
        TFormMain form;
        form.show();
        EXPECT_TRUE((form.*c.resolution)->isChecked());
        EXPECT_TRUE((form.*c.format)->isChecked());
        EXPECT_EQ(Text(form.Label3->text()), kRefusedSite);  // the test site replaces every language's
        EXPECT_EQ(Text(form.Label2->text()), "Velmora Pixferry");
        EXPECT_EQ(Text(form.Path->text()), form.BackupPath);
        EXPECT_EQ(form.Image19->x(), form.ButtonCopy->x() - 13);
        EXPECT_EQ(Text(form.GroupAlbum->title()), "Select Albums");
        EXPECT_EQ(Text(form.GroupCopyPath->title()), "backup path");
        EXPECT_EQ(Text(form.GroupBoxRes->title()), "backup resolution");
        EXPECT_EQ(Text(form.GroupBoxFF->title()), "backup format");
        form.close();
    }
}

TEST(FormMain, LanguageFileReplacesTheTexts) {
    ConnectorSweep sweep;
    WriteRegistry("\"LA\"=\"zz\"\n");
    const std::string lng = pxtest::BinDir() + "zz.lng";
    pxtest::WriteFile(lng, "Datei\r\nKopieren\r\n\r\nWarten\r\n");
    {
        TFormMain form;
        std::filesystem::remove(lng);
        EXPECT_EQ(Text(form.PanelSelect->text()), "Datei");
        EXPECT_EQ(Text(form.ButtonCopy->text()), "Kopieren");
        EXPECT_EQ(Text(form.Notifier->text()), "Warten");
        EXPECT_EQ(Text(form.GroupAlbum->title()), "Select Albums");
        form.ShowStatus(std::string(47, 's'));
        EXPECT_EQ(Text(form.Notifier->text()), std::string(46, 's') + "...");
        form.close();
    }
}

TEST(FormMain, ConnectorWindowReplacesAConnectorThatEnded) {
    ConnectorSweep sweep;
    TFormMain form;
    ASSERT_TRUE(WaitFor([] { return Connectors().size() == 1; }));
    const wm::HWND first = form.ConnectorWindow();
    ASSERT_TRUE(first);
    EXPECT_EQ(form.ConnectorWindow(), first);  // kept while it lives
    wm::SendMessageA(first, wm::WM_DESTROY, 1, 1);
    ASSERT_TRUE(WaitFor([&] { return pxtest::ProcessEnded(first.OwnerPid()); }));

    // None running: the window starts one and waits for it.
    const wm::HWND second = form.ConnectorWindow();
    ASSERT_TRUE(second);
    EXPECT_NE(second, first);
    EXPECT_TRUE(wm::IsWindow(second));
    form.close();
    EXPECT_TRUE(WaitFor([&] { return pxtest::ProcessEnded(second.OwnerPid()); }));
}

