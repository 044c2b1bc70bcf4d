// The device library over simulated devices, called in this process: the
// folder backend, or (PIXFERRY_TEST_BACKEND=usb) the USB backend over pxdevicesim.
#include <chrono>
#include <condition_variable>
#include <cstdlib>
#include <filesystem>
#include <mutex>
#include <thread>

#include <gtest/gtest.h>

#include "ConnectorHarness.h"
#include "CoreFoundation.h"
#include "MobileDevice.h"
#include "TestSupport.h"

namespace pxtest {
namespace {

namespace fs = std::filesystem;

struct Event {
    am_device* dev;
    unsigned int msg;
    std::thread::id thread;
};

std::mutex eventsMutex;
std::condition_variable eventsChanged;
std::vector<Event> events;

void OnNotification(am_device_notification_callback_info* info) {
    std::lock_guard lock(eventsMutex);
    events.push_back({info->dev, info->msg, std::this_thread::get_id()});
    eventsChanged.notify_all();
}

std::size_t EventCount() {
    std::lock_guard lock(eventsMutex);
    return events.size();
}

// The n-th event (from 0), once it has come.
std::optional<Event> WaitForEvent(std::size_t n, std::chrono::milliseconds timeout = 10s) {
    std::unique_lock lock(eventsMutex);
    if (!eventsChanged.wait_for(lock, timeout, [&] { return events.size() > n; })) return std::nullopt;
    return events[n];
}

// One devices root and one subscription for the whole process: the library
// picks its backend once. Over USB the same root is served by pxdevicesim.
DeviceRoot& Root() {
    static DeviceRoot* root = [] {
        static DeviceRoot r;
        if (UsbBackendUnderTest()) {
            static DeviceSimulator simulator;
            const std::string folder = MakeTempFolder("usbmux");
            EXPECT_TRUE(simulator.Start(r.Path(), folder + "/usbmuxd.sock", folder + "/simulator.log"));
            ::unsetenv("PIXFERRY_SIMULATED_DEVICES");
            ::setenv("USBMUXD_SOCKET_ADDRESS", ("UNIX:" + folder + "/usbmuxd.sock").c_str(), 1);
        } else {
            ::setenv("PIXFERRY_SIMULATED_DEVICES", r.Path().c_str(), 1);
        }
        am_device_notification* notification = nullptr;
        EXPECT_EQ(AMDeviceNotificationSubscribe(OnNotification, 0, 0, 0, &notification), 0);
        return &r;
    }();
    return *root;
}

am_device* Plug(const std::string& id, const DeviceLayout& layout) {
    const std::size_t n = EventCount();
    Root().Plug(id, layout);
    auto e = WaitForEvent(n);
    if (!e || e->msg != ADNCI_MSG_CONNECTED) return nullptr;
    return e->dev;
}

afc_connection* OpenFileService(am_device* dev) {
    afc_connection* afc = nullptr;
    if (AMDeviceConnect(dev) != 0 || AMDeviceStartSession(dev) != 0) return nullptr;
    if (AMDeviceStartService(dev, AFCServiceName(), &afc, nullptr) != 0) return nullptr;
    if (AFCConnectionOpen(afc, 0, &afc) != 0) return nullptr;
    return afc;
}

std::vector<std::string> List(afc_connection* afc, const char* path) {
    std::vector<std::string> names;
    afc_directory* dir = nullptr;
    if (AFCDirectoryOpen(afc, path, &dir) != 0) return {"(cannot open)"};
    const char* name = nullptr;
    while (AFCDirectoryRead(afc, dir, &name) == 0 && name) names.emplace_back(name);
    AFCDirectoryClose(afc, dir);
    return names;
}

using Pairs = std::vector<std::pair<std::string, std::string>>;

Pairs ReadList(afc_dictionary* dict) {
    Pairs out;
    const char* key = nullptr;
    const char* value = nullptr;
    while (AFCKeyValueRead(dict, &key, &value) == 0 && key && value) out.emplace_back(key, value);
    AFCKeyValueClose(dict);
    return out;
}

struct ReadResult {
    std::string bytes;
    bool failed = false;
    unsigned int largestRead = 0;
};

// Reads a device file to its end or to its first error.
ReadResult ReadAll(afc_connection* afc, const char* path, unsigned int step) {
    ReadResult r;
    afc_file_ref ref = 0;
    if (AFCFileRefOpen(afc, path, AFC_FILE_READ, &ref) != 0) {
        r.failed = true;
        return r;
    }
    std::string buffer(step, '\0');
    for (;;) {
        unsigned int len = step;
        if (AFCFileRefRead(afc, ref, buffer.data(), &len) != 0) {
            r.failed = true;
            break;
        }
        if (len == 0) break;
        r.largestRead = std::max(r.largestRead, len);
        r.bytes.append(buffer, 0, len);
    }
    AFCFileRefClose(afc, ref);
    return r;
}

TEST(MobileDevice, NotificationsFollowTheDeviceFolders) {
    DeviceRoot& root = Root();
    const std::size_t start = EventCount();
    root.Plug("watched", SampleIPad());
    auto attach = WaitForEvent(start);
    ASSERT_TRUE(attach);
    EXPECT_EQ(attach->msg, ADNCI_MSG_CONNECTED);
    EXPECT_NE(attach->thread, std::this_thread::get_id());

    // A folder under a dot-name is a device still being built.
    fs::create_directories(root.Path() + "/.being-built/files");
    WriteFile(root.Path() + "/.being-built/afc-info", "Model=iPad1,1\n");
    std::this_thread::sleep_for(500ms);
    EXPECT_EQ(EventCount(), start + 1);

    root.Unplug("watched");
    auto detach = WaitForEvent(start + 1);
    ASSERT_TRUE(detach);
    EXPECT_EQ(detach->msg, ADNCI_MSG_DISCONNECTED);
    EXPECT_EQ(detach->dev, attach->dev);
    EXPECT_NE(AMDeviceConnect(attach->dev), 0) << "a detached device cannot be connected";

    root.Replug("watched");
    auto again = WaitForEvent(start + 2);
    ASSERT_TRUE(again);
    EXPECT_EQ(again->msg, ADNCI_MSG_CONNECTED);
    EXPECT_NE(again->dev, attach->dev) << "each attachment is a device of its own";

    // Swapped for another folder of the same name between two looks.
    fs::rename(root.Path() + "/watched", root.Path() + "/.old");
    fs::rename(root.Path() + "/.being-built", root.Path() + "/watched");
    auto gone = WaitForEvent(start + 3);
    auto next = WaitForEvent(start + 4);
    ASSERT_TRUE(gone && next);
    EXPECT_EQ(gone->msg, ADNCI_MSG_DISCONNECTED);
    EXPECT_EQ(gone->dev, again->dev);
    EXPECT_EQ(next->msg, ADNCI_MSG_CONNECTED);
    root.Unplug("watched");
    ASSERT_TRUE(WaitForEvent(start + 5));
}

TEST(MobileDevice, PairingWordsTable) {
    struct Row {
        std::optional<std::string> word;
        bool connects, paired, validates, session;
    };
    const std::vector<Row> rows{
        {std::nullopt, true, true, true, true},
        {"paired\n", true, true, true, true},
        {"unpaired", true, false, false, false},
        {"invalid", true, true, false, false},
        {"no-session", true, true, true, false},
        {"no-connect", false, false, false, false},
        {"perhaps", true, false, false, false},  // a word we do not know vouches for nothing
    };
    int n = 0;
    for (const auto& row : rows) {
        SCOPED_TRACE(row.word.value_or("(no file)"));
        DeviceLayout layout = SampleIPad();
        layout.pairing = row.word;
        const std::string id = "pairing-" + std::to_string(++n);
        am_device* dev = Plug(id, layout);
        ASSERT_TRUE(dev);
        EXPECT_EQ(AMDeviceConnect(dev) == 0, row.connects);
        EXPECT_EQ(AMDeviceIsPaired(dev) != 0, row.paired);
        EXPECT_EQ(AMDeviceValidatePairing(dev) == 0, row.validates);
        EXPECT_EQ(AMDeviceStartSession(dev) == 0, row.session);
        afc_connection* afc = reinterpret_cast<afc_connection*>(&n);
        EXPECT_EQ(AMDeviceStartService(dev, AFCServiceName(), &afc, nullptr) == 0, row.session);
        EXPECT_EQ(afc != nullptr, row.session);
        if (row.session) {
            afc_connection* other = nullptr;
            EXPECT_NE(AMDeviceStartService(dev, CFStringMakeConstant("com.example.other"), &other, nullptr), 0);
            EXPECT_EQ(other, nullptr);
        }
        const std::size_t before = EventCount();
        Root().Unplug(id);
        ASSERT_TRUE(WaitForEvent(before));
    }
}

TEST(MobileDevice, FileServiceTable) {
    DeviceLayout layout;
    layout.afcInfo = "DeviceName=Test\nModel=iPad1,1\nbroken line\nProductVersion=3.2\n";
    const std::string data = Pattern(70000, 5);
    layout.files = {{"/Photos/Photo Database", data},
                  {"/DCIM/100APPLE/b.THM", "b"},
                  {"/DCIM/100APPLE/A.JPG", "A"},
                  {"/DCIM/100APPLE/a.jpg", "a"},
                  {"/DCIM/100APPLE/\xc3\xa9.THM", "e"},
                  {"/DCIM/100APPLE/Z/x", "x"}};
    am_device* dev = Plug("files", layout);
    ASSERT_TRUE(dev);
    const std::string files = Root().Path() + "/files/files";
    fs::create_symlink("..", files + "/outlink");
    fs::create_symlink("/etc/hostname", files + "/abslink");
    fs::create_symlink("DCIM/100APPLE", files + "/inlink");
    afc_connection* afc = OpenFileService(dev);
    ASSERT_TRUE(afc);

    afc_dictionary* dict = nullptr;
    ASSERT_EQ(AFCDeviceInfoOpen(afc, &dict), 0);
    EXPECT_EQ(ReadList(dict), (Pairs{{"DeviceName", "Test"}, {"Model", "iPad1,1"}, {"ProductVersion", "3.2"}}));

    EXPECT_EQ(List(afc, "/DCIM/100APPLE"),
              (std::vector<std::string>{".", "..", "A.JPG", "Z", "a.jpg", "b.THM", "\xc3\xa9.THM"}));
    EXPECT_EQ(List(afc, "/inlink/"), List(afc, "/DCIM/100APPLE/"));
    EXPECT_EQ(List(afc, "/"), (std::vector<std::string>{".", "..", "DCIM", "Photos", "abslink", "inlink", "outlink"}));

    ASSERT_EQ(AFCFileInfoOpen(afc, "/Photos/Photo Database", &dict), 0);
    EXPECT_EQ(ReadList(dict), (Pairs{{"st_size", "70000"}, {"st_ifmt", "S_IFREG"}}));
    ASSERT_EQ(AFCFileInfoOpen(afc, "/DCIM", &dict), 0);
    EXPECT_EQ(ReadList(dict).at(1), (std::pair<std::string, std::string>{"st_ifmt", "S_IFDIR"}));

    // Whole reads, a seek, and the end of the file.
    EXPECT_EQ(ReadAll(afc, "/Photos/Photo Database", 65536).bytes, data);
    afc_file_ref ref = 0;
    ASSERT_EQ(AFCFileRefOpen(afc, "/Photos/Photo Database", AFC_FILE_READ, &ref), 0);
    EXPECT_EQ(AFCFileRefSeek(afc, ref, 69990, 0), 0);
    std::string buffer(100, '\0');
    unsigned int len = 100;
    EXPECT_EQ(AFCFileRefRead(afc, ref, buffer.data(), &len), 0);
    EXPECT_EQ(buffer.substr(0, len), data.substr(69990));
    len = 100;
    EXPECT_EQ(AFCFileRefRead(afc, ref, buffer.data(), &len), 0);
    EXPECT_EQ(len, 0u);
    EXPECT_EQ(AFCFileRefClose(afc, ref), 0);
    EXPECT_NE(AFCFileRefClose(afc, ref), 0) << "closed twice";
    len = 100;
    EXPECT_NE(AFCFileRefRead(afc, ref, buffer.data(), &len), 0) << "read after close";
    EXPECT_EQ(len, 0u);

    // Paths that do not name a readable file inside files/.
    for (const char* path : {"/../afc-info", "/DCIM/../../pairing", "/outlink/afc-info", "/abslink", "/missing",
                             "/DCIM", "../files/Photos/Photo Database/.."}) {
        SCOPED_TRACE(path);
        EXPECT_NE(AFCFileRefOpen(afc, path, AFC_FILE_READ, &ref), 0);
    }
    EXPECT_EQ(List(afc, "/outlink"), std::vector<std::string>{"(cannot open)"});
    EXPECT_EQ(List(afc, "/.."), std::vector<std::string>{"(cannot open)"});
    // Paths that look odd but stay inside.
    EXPECT_EQ(ReadAll(afc, "Photos//./Photo Database", 65536).bytes, data);
    EXPECT_EQ(ReadAll(afc, "/DCIM/../inlink/b.THM", 10).bytes, "b");
    // The device is read-only to us.
    EXPECT_EQ(AFCFileRefOpen(afc, "/DCIM/100APPLE/b.THM", 3, &ref), AFCERR_NOT_SUPPORTED);

    // Handles the library never gave out.
    int bogus = 0;
    EXPECT_NE(AMDeviceConnect(reinterpret_cast<am_device*>(&bogus)), 0);
    EXPECT_NE(AFCDirectoryOpen(reinterpret_cast<afc_connection*>(&bogus), "/", nullptr), 0);
    const char* key = "x";
    const char* value = "y";
    EXPECT_NE(AFCKeyValueRead(reinterpret_cast<afc_dictionary*>(&bogus), &key, &value), 0);
    EXPECT_EQ(key, nullptr);
    EXPECT_EQ(value, nullptr);

    const std::size_t before = EventCount();
    Root().Unplug("files");
    ASSERT_TRUE(WaitForEvent(before));
    EXPECT_NE(AFCFileRefOpen(afc, "/Photos/Photo Database", AFC_FILE_READ, &ref), 0) << "the device is gone";
}

TEST(MobileDevice, FaultsTable) {
    struct Row {
        const char* faults;
        unsigned int step;         // bytes asked per read
        std::size_t delivered;     // bytes read before the end or the error
        bool failed;
        unsigned int largestRead;  // 0: not checked
    };
    const std::size_t size = 5000;
    const std::vector<Row> rows{
        {"read-error 1000 /f", 300, 1000, true, 0},
        {"read-error 0 /f", 300, 0, true, 0},
        {"read-error 1000 /other", 300, size, false, 0},
        {"max-read 100 /f", 300, size, false, 100},
        {"max-read 100 *", 300, size, false, 100},
        {"# a comment\nread-error x /f\nbogus 1 /f\nread-error 5\n", 300, size, false, 300},
        {"unplug 2000 /f", 1024, 2000, true, 0},
    };
    int n = 0;
    for (const auto& row : rows) {
        SCOPED_TRACE(row.faults);
        DeviceLayout layout;
        layout.files = {{"/f", Pattern(size, 3)}};
        layout.faults = row.faults;
        const std::string id = "faults-" + std::to_string(++n);
        am_device* dev = Plug(id, layout);
        ASSERT_TRUE(dev);
        afc_connection* afc = OpenFileService(dev);
        ASSERT_TRUE(afc);
        const std::size_t before = EventCount();
        const ReadResult r = ReadAll(afc, "/f", row.step);
        EXPECT_EQ(r.bytes, layout.files["/f"].substr(0, row.delivered));
        EXPECT_EQ(r.failed, row.failed);
        if (row.largestRead) {
            EXPECT_EQ(r.largestRead, row.largestRead);
        }
        if (std::string_view(row.faults).starts_with("unplug")) {
            // Pulled out: the folder moves aside and the detach follows.
            auto e = WaitForEvent(before);
            ASSERT_TRUE(e);
            EXPECT_EQ(e->msg, ADNCI_MSG_DISCONNECTED);
            EXPECT_EQ(e->dev, dev);
            EXPECT_TRUE(FileExists(Root().Path() + "/." + id + ".unplugged/files/f"));
            EXPECT_TRUE(ReadAll(afc, "/f", 100).failed);
        } else {
            Root().Unplug(id);
            ASSERT_TRUE(WaitForEvent(before));
        }
    }
}

TEST(MobileDevice, SlowReadsAndExtraDirectoryEntries) {
    DeviceLayout layout;
    layout.files = {{"/DCIM/100APPLE/IMG_0001.THM", Pattern(300, 1)}};
    layout.faults = "slow-read 100 /DCIM/100APPLE/IMG_0001.THM\n"
                  "dir-entry ../../Up /DCIM/100APPLE/\n"
                  "dir-entry a/b /DCIM/100APPLE\n";
    am_device* dev = Plug("slow", layout);
    ASSERT_TRUE(dev);
    afc_connection* afc = OpenFileService(dev);
    ASSERT_TRUE(afc);
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(ReadAll(afc, "/DCIM/100APPLE/IMG_0001.THM", 100).bytes, layout.files.begin()->second);
    EXPECT_GE(std::chrono::steady_clock::now() - start, 400ms);  // three reads and the end
    EXPECT_EQ(List(afc, "/DCIM/100APPLE"),
              (std::vector<std::string>{".", "..", "../../Up", "IMG_0001.THM", "a/b"}));
    const std::size_t before = EventCount();
    Root().Unplug("slow");
    ASSERT_TRUE(WaitForEvent(before));
}

TEST(MobileDevice, RestoreModeObjectDescribesTheConnection) {
    CFTypeRef object = AMRestoreModeDeviceCreate(0, 42, 0);
    EXPECT_EQ(CFCopyDescriptionText(object), "<AMRestoreModeDevice connection 42: not in restore mode>");
    EXPECT_EQ(AMRestoreModeDeviceCreate(0, 42, 0), object);
    EXPECT_EQ(CFCopyDescriptionText(nullptr), "(null)");
    EXPECT_EQ(CFStringMakeConstant("com.apple.afc"), AFCServiceName());
}

}  // namespace
}  // namespace pxtest
