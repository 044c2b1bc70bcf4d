// Devices that misbehave during the initial transfer, and a shutdown
// request that arrives in the middle of one.
#include <sys/wait.h>

#include <filesystem>

#include <gtest/gtest.h>

#include "ConnectorHarness.h"
#include "TestSupport.h"

namespace pxtest {
namespace {

using Replies = std::vector<std::string>;
const std::set<std::string> AllWorkingFiles{"velmorapx", "adbp.ant", "adap.ant", "camera"};

bool ExitedCleanly(const std::optional<int>& status) {
    return status && WIFEXITED(*status) && WEXITSTATUS(*status) == 0;
}

TEST(ConnectorFaults, InitialTransferTable) {
    struct Row {
        const char* name;
        std::string faults;
        bool database;  // adbp.ant is there, complete
        std::set<std::string> camera;
    };
    const std::set<std::string> bothThumbs{"100APPLEIMG_0001.THM", "100APPLEIMG_0002.THM"};
    const std::vector<Row> rows{
        {"read error in the middle of the photo database: no partial file",
         "read-error 1500000 /Photos/Photo Database\n", false, bothThumbs},
        {"read error in a camera thumbnail", "read-error 100 /DCIM/100APPLE/IMG_0001.THM\n", true,
         {"100APPLEIMG_0002.THM"}},
        {"reads that deliver less than a chunk do not end a copy", "max-read 300000 *\n", true, bothThumbs},
    };
    DeviceRoot root;
    FakeMainWindow main;
    ConnectorProcess c(root.Path());
    ASSERT_TRUE(c.Window());
    const std::string& w = c.WorkFolder();
    unsigned n = 0;
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        for (const auto& name : FolderNames(w + "camera")) std::filesystem::remove(w + "camera/" + name);
        std::filesystem::remove(w + "adbp.ant");
        std::filesystem::remove(w + "adap.ant");

        DeviceLayout layout = SampleIPad(++n);
        layout.faults = row.faults;
        const std::string id = "ipad-" + std::to_string(n);
        const std::size_t before = main.Count();
        root.Plug(id, layout);
        ASSERT_TRUE(main.WaitForReplies(before + 2));
        const Replies all = main.Replies();
        EXPECT_EQ(Replies(all.begin() + static_cast<long>(before), all.end()), (Replies{"4", "1"}));

        EXPECT_EQ(FileExists(w + "adbp.ant"), row.database);
        if (row.database) {
            EXPECT_EQ(ReadFile(w + "adbp.ant"), layout.files.at("/Photos/Photo Database"));
        }
        EXPECT_EQ(ReadFile(w + "adap.ant"), layout.files.at("/Photos/Thumbs/F3004_1.ithmb"));
        EXPECT_EQ(FolderNames(w + "camera"), row.camera);
        std::set<std::string> expected = AllWorkingFiles;
        if (!row.database) expected.erase("adbp.ant");
        EXPECT_EQ(FolderNames(w), expected);  // no temporary file left behind

        root.Unplug(id);
        ASSERT_TRUE(main.WaitForReplies(before + 3));
    }
    EXPECT_TRUE(ExitedCleanly(c.Stop()));
}

TEST(ConnectorFaults, UnpluggedDuringTheInitialTransfer) {
    DeviceRoot root;
    FakeMainWindow main;
    ConnectorProcess c(root.Path());
    ASSERT_TRUE(c.Window());
    DeviceLayout leaving = SampleIPad(1);
    leaving.faults = "unplug 1500000 /Photos/Photo Database\n";
    root.Plug("leaving", leaving);
    ASSERT_TRUE(main.WaitForReplies(3));
    EXPECT_EQ(main.Replies(), (Replies{"4", "1", "3"}));
    EXPECT_FALSE(FileExists(c.WorkFolder() + "adbp.ant"));
    EXPECT_EQ(FolderNames(c.WorkFolder() + "camera"), std::set<std::string>{});

    // It keeps serving: the next iPad is read and its commands carried out.
    const DeviceLayout next = SampleIPad(2);
    root.Plug("next", next);
    ASSERT_TRUE(main.WaitForReplies(5));
    EXPECT_EQ(ReadFile(c.WorkFolder() + "adbp.ant"), next.files.at("/Photos/Photo Database"));
    const std::string out = MakeTempFolder("out");
    ASSERT_TRUE(c.Send("/Photos/Thumbs/F3004_1.ithmb&^%()*&%%10@^%**@!**100!@#$%^&" + out + "/adbb.ant"));
    EXPECT_EQ(main.Replies(), (Replies{"4", "1", "3", "4", "1", "2"}));
    EXPECT_EQ(ReadFile(out + "/adbb.ant"), next.files.at("/Photos/Thumbs/F3004_1.ithmb").substr(10, 100));
    EXPECT_TRUE(ExitedCleanly(c.Stop()));
}

// A camera photo copy cut off by the device leaving: "2" for the command,
// "3" for the detach, no file in the backup folder, and the connector goes on.
TEST(ConnectorFaults, UnpluggedDuringACameraPhotoCopy) {
    DeviceRoot root;
    FakeMainWindow main;
    ConnectorProcess c(root.Path());
    ASSERT_TRUE(c.Window());
    DeviceLayout leaving = SampleIPad(3);
    leaving.files["/DCIM/100APPLE/IMG_0009.JPG"] = Pattern(3 * 1048576, 31);
    leaving.files["/DCIM/100APPLE/IMG_0009.PNG"] = Pattern(4000, 32);
    leaving.faults = "unplug 1500000 /DCIM/100APPLE/IMG_0009.JPG\n";
    root.Plug("leaving", leaving);
    ASSERT_TRUE(main.WaitForReplies(2));

    const std::string out = MakeTempFolder("out");
    ASSERT_TRUE(c.Send("/DCIM/100APPLE/IMG_0009&^###$$" + out + "/100APPLEIMG_0009"));
    ASSERT_TRUE(main.WaitForReplies(4));
    // The loss is told before the command's end, so it is never taken for a copy made.
    EXPECT_EQ(main.Replies(), (Replies{"4", "1", "3", "2"}));
    EXPECT_EQ(FolderNames(out), std::set<std::string>{});
    EXPECT_TRUE(c.Running());

    const DeviceLayout next = SampleIPad(4);
    root.Plug("next", next);
    ASSERT_TRUE(main.WaitForReplies(6));
    ASSERT_TRUE(c.Send("/DCIM/100APPLE/IMG_0001&^###$$" + out + "/100APPLEIMG_0001"));
    EXPECT_EQ(main.Replies(), (Replies{"4", "1", "3", "2", "4", "1", "2"}));
    EXPECT_EQ(ReadFile(out + "/100APPLEIMG_0001.JPG"), next.files.at("/DCIM/100APPLE/IMG_0001.JPG"));
    EXPECT_EQ(FolderNames(out), std::set<std::string>{"100APPLEIMG_0001.JPG"});
    EXPECT_TRUE(ExitedCleanly(c.Stop()));
}

// The shutdown request is answered between chunks, and the process ends
// only once the transfer has run to its end.
TEST(ConnectorFaults, ShutdownDuringALongInitialTransfer) {
    DeviceRoot root;
    FakeMainWindow main;
    ConnectorProcess c(root.Path());
    ASSERT_TRUE(c.Window());
    DeviceLayout slow = SampleIPad();
    slow.files["/Photos/Photo Database"] = Pattern(6 * 1048576, 9);
    slow.faults = "slow-read 200 /Photos/Photo Database\n";
    root.Plug("slow", slow);
    ASSERT_TRUE(main.WaitForReplies(1));

    ASSERT_TRUE(c.SendDestroy(5s));
    EXPECT_EQ(main.Count(), 1u) << "the transfer should still be running";
    EXPECT_TRUE(c.Running());

    const auto status = c.WaitForExit(20s);
    EXPECT_TRUE(ExitedCleanly(status));
    EXPECT_EQ(main.Replies(), (Replies{"4", "1"}));
    EXPECT_EQ(ReadFile(c.WorkFolder() + "adbp.ant"), slow.files.at("/Photos/Photo Database"));
    EXPECT_EQ(FolderNames(c.WorkFolder() + "camera").size(), 2u);
}

}  // namespace
}  // namespace pxtest
