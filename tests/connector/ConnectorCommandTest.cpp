// The main program's two commands, carried out by the real connector.
#include <sys/wait.h>

#include <algorithm>
#include <functional>

#include <gtest/gtest.h>

#include "ConnectorHarness.h"
#include "TestSupport.h"

namespace pxtest {
namespace {

using Files = std::map<std::string, std::string>;

std::string Camera(const std::string& deviceBase, const std::string& localBase) {
    return deviceBase + "&^###$$" + localBase;
}

std::string Range(const std::string& deviceFile, std::size_t offset, std::size_t size, const std::string& local) {
    return deviceFile + "&^%()*&%%" + std::to_string(offset) + "@^%**@!**" + std::to_string(size) + "!@#$%^&" + local;
}

std::string Backslashed(std::string path) {
    std::replace(path.begin(), path.end(), '/', '\\');
    return path;
}

const std::string Store = "/Photos/Thumbs/F3004_1.ithmb";
const std::string BadStore = "/Photos/Thumbs/F3008_1.ithmb";

DeviceLayout CommandIPad() {
    DeviceLayout layout = SampleIPad();
    auto& f = layout.files;
    f["/DCIM/100APPLE/IMG_0001.PNG"] = Pattern(4000, 21);
    f["/DCIM/100APPLE/IMG_0002.PNG"] = Pattern(4100, 22);
    f["/DCIM/100APPLE/IMG_0003.JPG"] = "";
    f["/DCIM/100APPLE/IMG_0003.PNG"] = Pattern(4200, 23);
    f["/DCIM/100APPLE/IMG_0004.MOV"] = Pattern(4300, 24);
    f["/DCIM/100APPLE/IMG_0005.JPG"] = Pattern(3 * 1048576, 25);
    f[BadStore] = Pattern(10000, 26);
    layout.faults = "read-error 2000000 /DCIM/100APPLE/IMG_0005.JPG\n"
                  "read-error 0 " + BadStore + "\n";
    return layout;
}

class ConnectorCommand : public ::testing::Test {
protected:
    void SetUp() override {
        connector_ = std::make_unique<ConnectorProcess>(root_.Path());
        ASSERT_TRUE(connector_->Window());
        root_.Plug("ipad", device_);
        ASSERT_TRUE(main_.WaitForReplies(2));
        ASSERT_EQ(main_.Replies(), (std::vector<std::string>{"4", "1"}));
    }
    const std::string& Device(const std::string& path) const { return device_.files.at(path); }

    DeviceRoot root_;
    FakeMainWindow main_;
    const DeviceLayout device_ = CommandIPad();
    std::unique_ptr<ConnectorProcess> connector_;
};

TEST_F(ConnectorCommand, EdgeCaseTable) {
    struct Row {
        const char* name;
        std::function<std::string(const std::string& dir)> text;
        Files before;  // local files made first
        Files after;   // exactly the files the folder then holds
        bool answered = true;
    };
    const std::string& store = Device(Store);
    const std::vector<Row> rows{
        {".PNG only: .JPG fails, .PNG is copied, nothing after it is tried",
         [](auto& d) { return Camera("/DCIM/100APPLE/IMG_0002", d + "/P"); }, {},
         {{"P.PNG", Device("/DCIM/100APPLE/IMG_0002.PNG")}}},
        {"zero-size .JPG beside a .PNG: the .JPG counts as missing",
         [](auto& d) { return Camera("/DCIM/100APPLE/IMG_0003", d + "/P"); }, {{"P.JPG", "old"}},
         {{"P.JPG", "old"}, {"P.PNG", Device("/DCIM/100APPLE/IMG_0003.PNG")}}},
        {".JPG found: the chain ends there",
         [](auto& d) { return Camera("/DCIM/100APPLE/IMG_0001", d + "/P"); }, {},
         {{"P.JPG", Device("/DCIM/100APPLE/IMG_0001.JPG")}}},
        {"only .MOV", [](auto& d) { return Camera("/DCIM/100APPLE/IMG_0004", d + "/P"); }, {},
         {{"P.MOV", Device("/DCIM/100APPLE/IMG_0004.MOV")}}},
        {".JPG whose local folder is missing: nothing written",
         [](auto& d) { return Camera("/DCIM/100APPLE/IMG_0001", d + "/missing/P"); }, {}, {}},
        {"local path written with backslashes",
         [](auto& d) { return Camera("/DCIM/100APPLE/IMG_0002", Backslashed(d) + "\\P"); }, {},
         {{"P.PNG", Device("/DCIM/100APPLE/IMG_0002.PNG")}}},
        {"photo not on the device", [](auto& d) { return Camera("/DCIM/100APPLE/IMG_0099", d + "/P"); }, {}, {}},
        {"read error in the middle of a camera photo: no partial file",
         [](auto& d) { return Camera("/DCIM/100APPLE/IMG_0005", d + "/P"); }, {}, {}},
        {"byte range", [](auto& d) { return Range(Store, 1000, 5000, d + "/adbb.ant"); }, {},
         {{"adbb.ant", store.substr(1000, 5000)}}},
        {"byte range running past the end: what the read delivers",
         [&](auto& d) { return Range(Store, store.size() - 50, 100, d + "/adbb.ant"); }, {},
         {{"adbb.ant", store.substr(store.size() - 50)}}},
        {"byte range beyond the end: an empty file",
         [&](auto& d) { return Range(Store, store.size() + 10, 100, d + "/adbb.ant"); }, {{"adbb.ant", "old"}},
         {{"adbb.ant", ""}}},
        {"byte range of a missing device file: the old file stays",
         [](auto& d) { return Range("/Photos/Thumbs/F9999_1.ithmb", 0, 100, d + "/adbb.ant"); },
         {{"adbb.ant", "old"}}, {{"adbb.ant", "old"}}},
        {"byte range into a missing folder",
         [](auto& d) { return Range(Store, 0, 100, d + "/missing/adbb.ant"); }, {}, {}},
        {"read error in a byte range: an empty file",
         [](auto& d) { return Range(BadStore, 0, 100, d + "/adbb.ant"); }, {{"adbb.ant", "old"}},
         {{"adbb.ant", ""}}},
        {"malformed number: nothing copied, still answered",
         [](auto& d) { return Store + "&^%()*&%%1000@^%**@!**12x!@#$%^&" + d + "/adbb.ant"; },
         {{"adbb.ant", "old"}}, {{"adbb.ant", "old"}}},
        {"neither marker: no answer", [](auto& d) { return d + "/adbb.ant"; }, {}, {}, false},
        {"camera marker at the start and no local marker: no answer",
         [](auto& d) { return "&^###$$" + d + "/P"; }, {}, {}, false},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        const std::string dir = MakeTempFolder("row");
        for (const auto& [name, content] : row.before) WriteFile(dir + "/" + name, content);
        const std::size_t before = main_.Count();
        ASSERT_TRUE(connector_->Send(row.text(dir)));
        // "2" is sent before the command's handling returns, so it is here by now.
        const auto replies = main_.Replies();
        if (row.answered) {
            ASSERT_EQ(replies.size(), before + 1);
            EXPECT_EQ(replies.back(), "2");
        } else {
            EXPECT_EQ(replies.size(), before);
        }
        std::set<std::string> names;
        for (const auto& [name, content] : row.after) {
            names.insert(name);
            EXPECT_EQ(ReadFile(dir + "/" + name), content) << name;
        }
        EXPECT_EQ(FolderNames(dir), names);
    }
    EXPECT_TRUE(main_.RepliesWellFormed());
    const auto status = connector_->Stop();
    EXPECT_TRUE(status && WIFEXITED(*status) && WEXITSTATUS(*status) == 0);
}

// Commands that arrive while one is being carried out wait their turn and
// are answered in order.
TEST_F(ConnectorCommand, CommandsFromManySendersAreAnsweredOneByOne) {
    const std::string dir = MakeTempFolder("many");
    std::vector<std::thread> senders;
    for (int i = 0; i < 6; ++i)
        senders.emplace_back([&, i] {
            EXPECT_TRUE(connector_->Send(Range(Store, 1000u * i, 20000, dir + "/part" + std::to_string(i))));
        });
    for (auto& t : senders) t.join();
    EXPECT_EQ(main_.Replies(), (std::vector<std::string>{"4", "1", "2", "2", "2", "2", "2", "2"}));
    for (int i = 0; i < 6; ++i)
        EXPECT_EQ(ReadFile(dir + "/part" + std::to_string(i)), Device(Store).substr(1000u * i, 20000));
}

}  // namespace

// A byte range too big to allocate copies nothing and leaves an empty file.
// The allocation is made to fail through the address sanitizer's limit.
TEST(ConnectorCommandAllocation, UnallocatableSizeLeavesAnEmptyFile) {
#if !defined(__SANITIZE_ADDRESS__)
    GTEST_SKIP() << "needs the sanitized build, whose allocator can be given a limit";
#else
    DeviceRoot root;
    FakeMainWindow main;
    const char* asan = std::getenv("ASAN_OPTIONS");
    ConnectorProcess c(root.Path(), {std::string("ASAN_OPTIONS=") + (asan ? std::string(asan) + ":" : "") +
                                     "allocator_may_return_null=1:max_allocation_size_mb=64"});
    ASSERT_TRUE(c.Window());
    const DeviceLayout ipad = SampleIPad();
    root.Plug("ipad", ipad);
    ASSERT_TRUE(main.WaitForReplies(2));

    const std::string dir = MakeTempFolder("alloc");
    WriteFile(dir + "/adbb.ant", "old");
    ASSERT_TRUE(c.Send(Range(Store, 0, 200000000, dir + "/adbb.ant")));
    EXPECT_EQ(main.Replies().back(), "2");
    EXPECT_TRUE(FileExists(dir + "/adbb.ant"));
    EXPECT_EQ(ReadFile(dir + "/adbb.ant"), "");
    // And it goes on serving.
    ASSERT_TRUE(c.Send(Range(Store, 0, 100, dir + "/adbb.ant")));
    EXPECT_EQ(ReadFile(dir + "/adbb.ant"), ipad.files.at(Store).substr(0, 100));
    const auto status = c.Stop();
    EXPECT_TRUE(status && WIFEXITED(*status) && WEXITSTATUS(*status) == 0);
#endif
}

}  // namespace pxtest
