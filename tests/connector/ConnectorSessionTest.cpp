// The real connector process with simulated devices: what it reports to the
// main window, and the working files it leaves.
#include <sys/wait.h>

#include <filesystem>

#include <gtest/gtest.h>

#include "ConnectorHarness.h"
#include "TestSupport.h"

namespace pxtest {
namespace {

using Replies = std::vector<std::string>;

bool ExitedCleanly(const std::optional<int>& status) {
    return status && WIFEXITED(*status) && WEXITSTATUS(*status) == 0;
}

void ExpectWorkingFilesOf(const ConnectorProcess& c, const DeviceLayout& layout) {
    const std::string& w = c.WorkFolder();
    EXPECT_EQ(ReadFile(w + "adbp.ant"), layout.files.at("/Photos/Photo Database"));
    EXPECT_EQ(ReadFile(w + "adap.ant"), layout.files.at("/Photos/Thumbs/F3004_1.ithmb"));
    EXPECT_EQ(ReadFile(w + "camera/100APPLEIMG_0001.THM"), layout.files.at("/DCIM/100APPLE/IMG_0001.THM"));
    EXPECT_EQ(ReadFile(w + "camera/100APPLEIMG_0002.THM"), layout.files.at("/DCIM/100APPLE/.MISC/IMG_0002.THM"));
}

TEST(ConnectorSession, IPadGivesFourWorkingFilesThenOne) {
    DeviceRoot root;
    FakeMainWindow main;
    ConnectorProcess c(root.Path());
    ASSERT_TRUE(c.Window());
    const DeviceLayout ipad = SampleIPad();
    root.Plug("ipad", ipad);

    ASSERT_TRUE(main.WaitForReplies(2));
    EXPECT_EQ(main.Replies(), (Replies{"4", "1"}));
    EXPECT_TRUE(main.RepliesWellFormed());
    ExpectWorkingFilesOf(c, ipad);
    // Nothing else: no temporary files left behind, no camera photos pulled.
    EXPECT_EQ(FolderNames(c.WorkFolder()), (std::set<std::string>{"velmorapx", "adbp.ant", "adap.ant", "camera"}));
    EXPECT_EQ(FolderNames(c.WorkFolder() + "camera"),
              (std::set<std::string>{"100APPLEIMG_0001.THM", "100APPLEIMG_0002.THM"}));

    EXPECT_TRUE(ExitedCleanly(c.Stop()));
}

TEST(ConnectorSession, IPadAlreadyThereAtStartIsRead) {
    DeviceRoot root;
    FakeMainWindow main;
    const DeviceLayout ipad = SampleIPad(5);
    root.Plug("ipad", ipad);
    ConnectorProcess c(root.Path());
    ASSERT_TRUE(main.WaitForReplies(2));
    EXPECT_EQ(main.Replies(), (Replies{"4", "1"}));
    ExpectWorkingFilesOf(c, ipad);
    EXPECT_TRUE(ExitedCleanly(c.Stop()));
}

// With no main window its replies reach nobody, but nothing waits for them.
TEST(ConnectorSession, WithoutMainWindowCommandsAreStillCarriedOut) {
    DeviceRoot root;
    ConnectorProcess c(root.Path());
    ASSERT_TRUE(c.Window());
    const DeviceLayout ipad = SampleIPad(6);
    root.Plug("ipad", ipad);
    const auto end = std::chrono::steady_clock::now() + 20s;
    while (FolderNames(c.WorkFolder() + "camera").size() < 2 && std::chrono::steady_clock::now() < end)
        std::this_thread::sleep_for(20ms);
    const std::string out = MakeTempFolder("out");
    ASSERT_TRUE(c.Send("/Photos/Thumbs/F3004_1.ithmb&^%()*&%%0@^%**@!**64!@#$%^&" + out + "/adbb.ant", 5s));
    EXPECT_EQ(ReadFile(out + "/adbb.ant"), ipad.files.at("/Photos/Thumbs/F3004_1.ithmb").substr(0, 64));
    ExpectWorkingFilesOf(c, ipad);
    EXPECT_TRUE(ExitedCleanly(c.Stop()));
}

// Which devices are taken: each row is plugged in, given time to be
// handled, and pulled out again; every detach reports "3".
TEST(ConnectorSession, DeviceAcceptanceTable) {
    struct Row {
        const char* name;
        std::optional<std::string> afcInfo;
        std::optional<std::string> pairing;
        Replies expected;
    };
    const Replies accepted{"4", "1", "3"}, silent{"3"};
    const std::vector<Row> rows{
        {"iPad, pairing file says paired", "Model=iPad1,1\n", "paired\n", accepted},
        {"iPad, no pairing file", "DeviceName=x\nModel=iPad1,1\n", std::nullopt, accepted},
        {"iPad under a longer key", "ModelNumber=iPad2,1\n", std::nullopt, accepted},
        {"iPhone", "DeviceName=Phone\nModel=iPhone3,1\n", std::nullopt, silent},
        {"lower-case ipad", "Model=ipad\n", std::nullopt, silent},
        {"iPad only in another key", "DeviceName=iPad\nModel=iPhone3,1\n", std::nullopt, silent},
        {"no device information", std::nullopt, std::nullopt, silent},
        {"never paired", "Model=iPad1,1\n", "unpaired", silent},
        {"pairing does not validate", "Model=iPad1,1\n", "invalid", silent},
        {"session refused", "Model=iPad1,1\n", "no-session", silent},
        {"connection refused", "Model=iPad1,1\n", "no-connect", silent},
        // Newer systems: over USB, pairing is checked at the session start.
        {"iPad on system 9", "Model=iPad2,1\nProductVersion=9.3.5\n", std::nullopt, accepted},
        {"iPad on system 9, pairing does not validate", "Model=iPad2,1\nProductVersion=9.3.5\n", "invalid", silent},
    };
    DeviceRoot root;
    FakeMainWindow main;
    ConnectorProcess c(root.Path());
    ASSERT_TRUE(c.Window());
    int n = 0;
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        DeviceLayout layout = SampleIPad(static_cast<unsigned>(n));
        layout.afcInfo = row.afcInfo;
        layout.pairing = row.pairing;
        const std::string id = "device-" + std::to_string(++n);
        const std::size_t before = main.Count();
        root.Plug(id, layout);
        if (row.expected.size() > 1)
            ASSERT_TRUE(main.WaitForReplies(before + 2));
        else
            std::this_thread::sleep_for(600ms);  // several looks at the folder
        root.Unplug(id);
        ASSERT_TRUE(main.WaitForReplies(before + row.expected.size()));
        const Replies all = main.Replies();
        EXPECT_EQ(Replies(all.begin() + static_cast<long>(before), all.end()), row.expected);
    }
    EXPECT_TRUE(main.RepliesWellFormed());
    // A refused connection is described on the diagnostic output.
    EXPECT_NE(c.Log().find("<AMRestoreModeDevice connection"), std::string::npos);
    if (UsbBackendUnderTest()) {
        // Sessions were asked for, but no device was ever asked to pair.
        const std::string requests = c.SimulatorLog();
        EXPECT_NE(requests.find("lockdown device-1 StartSession\n"), std::string::npos) << requests;
        EXPECT_EQ(requests.find(" Pair\n"), std::string::npos) << requests;
        EXPECT_EQ(requests.find("lockdown device-8 StartSession\n"), std::string::npos) << "never paired";
    }
    EXPECT_TRUE(ExitedCleanly(c.Stop()));
}

// usbmuxd often starts only when the first device is plugged in.
TEST(ConnectorSession, UsbmuxdStartingAfterTheConnector) {
    if (!UsbBackendUnderTest()) GTEST_SKIP() << "a USB matter";
    DeviceRoot root;
    FakeMainWindow main;
    const std::string folder = MakeTempFolder("usbmux");
    const std::string socketPath = folder + "/usbmuxd.sock";
    ConnectorProcess c(root.Path(), {"USBMUXD_SOCKET_ADDRESS=UNIX:" + socketPath},
                       ConnectorProcess::Via::UsbBackendOwnSimulator);
    ASSERT_TRUE(c.Window());
    const DeviceLayout ipad = SampleIPad(8);
    root.Plug("ipad", ipad);
    std::this_thread::sleep_for(1500ms);
    EXPECT_EQ(main.Count(), 0u);

    DeviceSimulator simulator;
    ASSERT_TRUE(simulator.Start(root.Path(), socketPath, folder + "/simulator.log"));
    ASSERT_TRUE(main.WaitForReplies(2));
    EXPECT_EQ(main.Replies(), (Replies{"4", "1"}));
    ExpectWorkingFilesOf(c, ipad);
    EXPECT_TRUE(ExitedCleanly(c.Stop()));
}

// usbmuxd going away takes its devices with it; once back, they return.
TEST(ConnectorSession, UsbmuxdRestarting) {
    if (!UsbBackendUnderTest()) GTEST_SKIP() << "a USB matter";
    DeviceRoot root;
    FakeMainWindow main;
    const std::string folder = MakeTempFolder("usbmux");
    const std::string socketPath = folder + "/usbmuxd.sock";
    DeviceSimulator simulator;
    ASSERT_TRUE(simulator.Start(root.Path(), socketPath, folder + "/simulator.log"));
    ConnectorProcess c(root.Path(), {"USBMUXD_SOCKET_ADDRESS=UNIX:" + socketPath},
                       ConnectorProcess::Via::UsbBackendOwnSimulator);
    ASSERT_TRUE(c.Window());
    root.Plug("ipad", SampleIPad(9));
    ASSERT_TRUE(main.WaitForReplies(2));

    simulator.Stop();
    ASSERT_TRUE(main.WaitForReplies(3));
    ASSERT_TRUE(simulator.Start(root.Path(), socketPath, folder + "/simulator2.log"));
    ASSERT_TRUE(main.WaitForReplies(5));
    EXPECT_EQ(main.Replies(), (Replies{"4", "1", "3", "4", "1"}));
    EXPECT_TRUE(ExitedCleanly(c.Stop()));
}

TEST(ConnectorSession, SameIPadAgainRewritesTheWorkingFiles) {
    DeviceRoot root;
    FakeMainWindow main;
    ConnectorProcess c(root.Path());
    ASSERT_TRUE(c.Window());
    const DeviceLayout first = SampleIPad(1);
    root.Plug("ipad", first);
    ASSERT_TRUE(main.WaitForReplies(2));
    ExpectWorkingFilesOf(c, first);

    root.Unplug("ipad");
    ASSERT_TRUE(main.WaitForReplies(3));
    // Its content changes while it is away.
    const DeviceLayout second = SampleIPad(7);
    for (const auto& [path, content] : second.files) WriteFile(root.Parked("ipad") + "/files" + path, content);
    root.Replug("ipad");
    ASSERT_TRUE(main.WaitForReplies(5));
    EXPECT_EQ(main.Replies(), (Replies{"4", "1", "3", "4", "1"}));
    ExpectWorkingFilesOf(c, second);
    EXPECT_TRUE(ExitedCleanly(c.Stop()));
}

TEST(ConnectorSession, IPadAfterIPhoneServesCommandsFromTheIPad) {
    DeviceRoot root;
    FakeMainWindow main;
    ConnectorProcess c(root.Path());
    ASSERT_TRUE(c.Window());
    DeviceLayout phone = SampleIPad(3);
    phone.afcInfo = "Model=iPhone3,1\n";
    root.Plug("phone", phone);
    std::this_thread::sleep_for(600ms);
    const DeviceLayout ipad = SampleIPad(4);
    root.Plug("ipad", ipad);
    ASSERT_TRUE(main.WaitForReplies(2));
    EXPECT_EQ(main.Replies(), (Replies{"4", "1"}));

    const std::string out = MakeTempFolder("out");
    ASSERT_TRUE(c.Send("/Photos/Thumbs/F3004_1.ithmb&^%()*&%%1000@^%**@!**5000!@#$%^&" + out + "/adbb.ant"));
    ASSERT_TRUE(c.Send("/DCIM/100APPLE/IMG_0001&^###$$" + out + "/100APPLEIMG_0001"));
    EXPECT_EQ(main.Replies(), (Replies{"4", "1", "2", "2"}));
    EXPECT_EQ(ReadFile(out + "/adbb.ant"), ipad.files.at("/Photos/Thumbs/F3004_1.ithmb").substr(1000, 5000));
    EXPECT_EQ(ReadFile(out + "/100APPLEIMG_0001.JPG"), ipad.files.at("/DCIM/100APPLE/IMG_0001.JPG"));
    EXPECT_TRUE(ExitedCleanly(c.Stop()));
}

// The walk of /DCIM/: which device files become which camera files.
TEST(ConnectorSession, CameraWalkTable) {
    struct Row {
        const char* devicePath;
        const char* localName;  // nullptr: not copied
    };
    const std::vector<Row> rows{
        {"/DCIM/100APPLE/IMG_0001.THM", "100APPLEIMG_0001.THM"},
        {"/DCIM/100APPLE/IMG_0001.JPG", nullptr},
        {"/DCIM/100APPLE/.MISC/IMG_0002.THM", "100APPLEIMG_0002.THM"},
        {"/DCIM/100APPLE/.MISC/Info.plist", nullptr},
        {"/DCIM/101APPLE/XMISC/IMG_0020.THM", "101APPLEIMG_0020.THM"},
        {"/DCIM/100APPLE/THM0001.THM", nullptr},       // "THM" at the very start
        {"/DCIM/.MISC/IMG_0030.THM", nullptr},          // folder with "MISC" inside
        {"/DCIM/102TEST.X/IMG_0040.THM", nullptr},      // folder with an extension
        {"/DCIM/IMG_0050.THM", nullptr},                // right under /DCIM/: "." would walk it
        {"/IMG_0080.THM", nullptr},                     // at the top: ".." would walk it
        {"/Up/IMG_0060.THM", nullptr},                  // beside /DCIM/: "../Up" would walk it
        {"/DCIM/100APPLE/IMG_0070.THM.JPG", "100APPLEIMG_0070.THM.JPG"},  // "THM" anywhere after the start
    };
    DeviceLayout layout = SampleIPad();
    layout.files.erase("/DCIM/100APPLE/.MISC/IMG_0002.THM");
    for (const auto& row : rows) layout.files[row.devicePath] = std::string("bytes of ") + row.devicePath;
    // A device that lists names no file system would hold.
    layout.faults = "dir-entry ../Up /DCIM\n"
                  "dir-entry ../../Up/IMG_0060.THM /DCIM/100APPLE\n";

    DeviceRoot root;
    FakeMainWindow main;
    ConnectorProcess c(root.Path());
    ASSERT_TRUE(c.Window());
    root.Plug("ipad", layout);
    ASSERT_TRUE(main.WaitForReplies(2));

    std::set<std::string> expected;
    for (const auto& row : rows) {
        if (!row.localName) continue;
        expected.insert(row.localName);
        EXPECT_EQ(ReadFile(c.WorkFolder() + "camera/" + row.localName), std::string("bytes of ") + row.devicePath)
            << row.devicePath;
    }
    EXPECT_EQ(FolderNames(c.WorkFolder() + "camera"), expected);
    // Nothing landed beside camera/ either.
    EXPECT_EQ(FolderNames(c.WorkFolder()), (std::set<std::string>{"velmorapx", "adbp.ant", "adap.ant", "camera"}));
    EXPECT_TRUE(ExitedCleanly(c.Stop()));
}

}  // namespace
}  // namespace pxtest
