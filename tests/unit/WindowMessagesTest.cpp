#include <atomic>
#include <chrono>
#include <cstring>
#include <future>
#include <thread>

#include <gtest/gtest.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

#include "TestSupport.h"
#include "WindowMessages.h"

using namespace std::chrono_literals;

namespace {

auto Elapsed(std::chrono::steady_clock::time_point since) { return std::chrono::steady_clock::now() - since; }

// A window on a thread of its own, running the ordinary loop until WM_DESTROY.
class LoopWindow {
public:
    LoopWindow(std::string cls, std::string title, wm::WNDPROC proc = {}) {
        std::promise<wm::HWND> made;
        auto handle = made.get_future();
        thread_ = std::thread([&, cls, title, proc] {
            auto w = wm::Window::Create(cls, title, [proc](const wm::Message& m) -> wm::LRESULT {
                if (m.message == wm::WM_DESTROY) {
                    wm::PostQuitMessage(0);
                    return 0;
                }
                return proc ? proc(m) : 0;
            });
            made.set_value(w ? w->Handle() : wm::HWND());
            if (!w) return;
            wm::MSG msg;
            while (wm::GetMessageA(msg)) wm::DispatchMessageA(msg);
        });
        hwnd_ = handle.get();
    }
    ~LoopWindow() {
        if (hwnd_) wm::SendMessageA(hwnd_, wm::WM_DESTROY, 0, 0);
        thread_.join();
    }
    const wm::HWND& Handle() const { return hwnd_; }

private:
    std::thread thread_;
    wm::HWND hwnd_;
};

// The wire format, written out by hand so that a bad frame can be made.
std::string Frame(std::uint32_t magic, std::uint32_t kind, std::uint32_t message, std::uint32_t cbData,
                  std::string_view payload) {
    std::string f(40, '\0');
    std::uint64_t zero = 0;
    std::memcpy(&f[0], &magic, 4);
    std::memcpy(&f[4], &kind, 4);
    std::memcpy(&f[8], &message, 4);
    std::memcpy(&f[12], &cbData, 4);
    std::memcpy(&f[16], &zero, 8);
    std::memcpy(&f[24], &zero, 8);
    std::memcpy(&f[32], &zero, 8);
    return f + std::string(payload);
}

constexpr std::uint32_t Magic = 0x47534D56;

// Sends raw bytes to a window; true when a reply frame came back.
bool SendRaw(const wm::HWND& w, const std::string& bytes, bool forceBuffer = false) {
    int fd = ::socket(AF_UNIX, SOCK_SEQPACKET, 0);
    sockaddr_un addr{};
    addr.sun_family = AF_UNIX;
    std::string path = wm::EndpointFolder() + w.Name();
    std::memcpy(addr.sun_path, path.c_str(), path.size());
    int size = static_cast<int>(bytes.size() + 4096);
    ::setsockopt(fd, SOL_SOCKET, forceBuffer ? SO_SNDBUFFORCE : SO_SNDBUF, &size, sizeof size);
    bool replied = false;
    if (::connect(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) == 0 &&
        ::send(fd, bytes.data(), bytes.size(), MSG_NOSIGNAL) == static_cast<ssize_t>(bytes.size())) {
        timeval tv{5, 0};
        ::setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &tv, sizeof tv);
        char reply[64];
        replied = ::recv(fd, reply, sizeof reply, 0) == 40;
    }
    ::close(fd);
    return replied;
}

// A window made by a child process that ends without destroying it; gives its handle.
wm::HWND WindowOfADeadProcess(const char* cls, const char* title) {
    int pipeFds[2];
    if (::pipe(pipeFds) != 0) return {};
    pid_t child = ::fork();
    if (child == 0) {
        auto w = wm::Window::Create(cls, title, [](const wm::Message&) -> wm::LRESULT { return 1; });
        std::string name = w ? w->Handle().Name() : std::string();
        [[maybe_unused]] auto n = ::write(pipeFds[1], name.data(), name.size());
        ::_exit(0);
    }
    ::close(pipeFds[1]);
    char buf[256];
    ssize_t n = ::read(pipeFds[0], buf, sizeof buf);
    ::close(pipeFds[0]);
    ::waitpid(child, nullptr, 0);
    return n > 0 ? wm::HWND(std::string(buf, static_cast<std::size_t>(n))) : wm::HWND();
}

}  // namespace

TEST(FindWindow, MatchesExactClassAndTitleOnly) {
    LoopWindow main("TFormMain", "velmorapixferry");
    LoopWindow otherTitle("TFormMain", "velmorapixferry2");
    LoopWindow otherClass("TFormMainX", "velmorapixferry");
    LoopWindow dotted("a.b", "c");
    struct Case {
        const char* cls;
        const char* title;
        const wm::HWND* expected;
    } cases[] = {
        {"TFormMain", "velmorapixferry", &main.Handle()},
        {"TFormMain", "velmorapixferry2", &otherTitle.Handle()},
        {"TFormMainX", "velmorapixferry", &otherClass.Handle()},
        {"a.b", "c", &dotted.Handle()},
        {"a", "b.c", nullptr},
        {"tformmain", "velmorapixferry", nullptr},
        {"TFormMain", "velmorapixferr", nullptr},
        {"TFormMai", "velmorapixferry", nullptr},
        {"TFormMain", "", nullptr},
        {"", "", nullptr},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.cls) + " / " + c.title);
        wm::HWND found = wm::FindWindowA(c.cls, c.title);
        if (c.expected)
            EXPECT_EQ(found, *c.expected);
        else
            EXPECT_FALSE(found);
    }
}

TEST(FindWindow, FindsEveryWindowOfTheSameName) {
    LoopWindow a("pixferryconnecter", "pixferryconnecter");
    LoopWindow b("pixferryconnecter", "pixferryconnecter");
    auto all = wm::FindWindows("pixferryconnecter", "pixferryconnecter");
    ASSERT_EQ(all.size(), 2u);
    EXPECT_NE(all[0], all[1]);
}

TEST(SendMessage, ReturnsOnlyAfterTheHandlerWithItsResult) {
    std::atomic<bool> handled{false};
    LoopWindow w("T", "slow", [&](const wm::Message& m) -> wm::LRESULT {
        if (m.message != wm::WM_COPYDATA) return 0;
        std::this_thread::sleep_for(300ms);
        handled = true;
        return 42 + static_cast<wm::LRESULT>(wm::CopyDataText(*m.copyData).size());
    });
    auto start = std::chrono::steady_clock::now();
    auto result = wm::SendCopyDataText(w.Handle(), 0, "abc");
    EXPECT_TRUE(handled);
    EXPECT_GE(Elapsed(start), 300ms);
    EXPECT_EQ(result, 45);
}

TEST(SendMessage, ToAWindowThatIsGoneFailsAtOnce) {
    wm::HWND gone;
    {
        auto w = wm::Window::Create("T", "gone", [](const wm::Message&) -> wm::LRESULT { return 1; });
        ASSERT_TRUE(w);
        gone = w->Handle();
    }
    // A window whose process died without destroying it.
    const wm::HWND dead = WindowOfADeadProcess("T", "dead");
    ASSERT_TRUE(dead);
    for (const wm::HWND* target : {static_cast<const wm::HWND*>(&gone), &dead}) {
        auto start = std::chrono::steady_clock::now();
        EXPECT_FALSE(wm::SendCopyDataText(*target, 0, "x"));
        EXPECT_FALSE(wm::SendMessageA(*target, wm::WM_DESTROY, 1, 1));
        EXPECT_LT(Elapsed(start), 1s);
        EXPECT_FALSE(wm::IsWindow(*target));
    }
    EXPECT_FALSE(wm::SendCopyDataText(wm::HWND(), 0, "x"));
}

TEST(SendMessage, TwoProcessesSendingToEachOtherAtOnceBothComplete) {
    // Each process sends from the thread that owns its window, so neither
    // can take the other's message unless a waiting send dispatches it.
    std::atomic<int> got{0};
    auto mine = wm::Window::Create("Peer", "parent", [&](const wm::Message& m) -> wm::LRESULT {
        if (m.message == wm::WM_COPYDATA) ++got;
        return 7;
    });
    ASSERT_TRUE(mine);
    int go[2];
    ASSERT_EQ(::pipe(go), 0);
    pid_t child = ::fork();
    if (child == 0) {
        int handled = 0;
        auto w = wm::Window::Create("Peer", "child", [&](const wm::Message& m) -> wm::LRESULT {
            if (m.message == wm::WM_COPYDATA) ++handled;
            return 8;
        });
        char c;
        if (!w || ::read(go[0], &c, 1) != 1) ::_exit(3);
        alarm(20);
        auto result = wm::SendCopyDataText(wm::FindWindowA("Peer", "parent"), 0, "from child");
        // The parent's message may still be waiting if ours was answered first.
        for (int i = 0; i < 200 && handled == 0; ++i) w->DispatchPending(), ::usleep(10000);
        ::_exit(result == 7 && handled == 1 ? 0 : 4);
    }
    wm::HWND peer;
    for (int i = 0; i < 500 && !(peer = wm::FindWindowA("Peer", "child")); ++i) std::this_thread::sleep_for(10ms);
    ASSERT_TRUE(peer);
    ASSERT_EQ(::write(go[1], "g", 1), 1);
    auto result = wm::SendCopyDataText(peer, mine->Handle().Value(), "from parent");
    for (int i = 0; i < 200 && got == 0; ++i) mine->DispatchPending(), std::this_thread::sleep_for(10ms);
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    EXPECT_EQ(result, 8);
    EXPECT_EQ(got, 1);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0);
    ::close(go[0]);
    ::close(go[1]);
}

TEST(Endpoints, StaleFileOfADeadProcessIsRemovedAndNeverFound) {
    const wm::HWND stale = WindowOfADeadProcess("Stale", "one");
    ASSERT_TRUE(stale);
    const std::string file = wm::EndpointFolder() + stale.Name();
    ASSERT_TRUE(pxtest::FileExists(file));
    EXPECT_FALSE(wm::FindWindowA("Stale", "one"));
    EXPECT_FALSE(pxtest::FileExists(file));
    EXPECT_TRUE(wm::FindWindows("Stale", "one").empty());
}

TEST(Endpoints, FolderAndSocketsAreTheOwnersOnly) {
    auto w = wm::Window::Create("Perm", "x", [](const wm::Message&) -> wm::LRESULT { return 0; });
    ASSERT_TRUE(w);
    const std::string folder = wm::EndpointFolder();
    EXPECT_EQ(folder, pxtest::TempRoot() + "/run/velmora/");
    struct stat st;
    ASSERT_EQ(::stat(folder.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0700u);
    EXPECT_EQ(st.st_uid, ::getuid());
    ASSERT_EQ(::stat((folder + w->Handle().Name()).c_str(), &st), 0);
    EXPECT_TRUE(S_ISSOCK(st.st_mode));
    EXPECT_EQ(st.st_mode & 0077, 0u);

    // A folder that others opened up is closed again.
    ::chmod(folder.c_str(), 0777);
    wm::EndpointFolder();
    ASSERT_EQ(::stat(folder.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0700u);
}

TEST(Frames, BadFramesAreDroppedAndTheWindowGoesOn) {
    std::vector<std::string> texts;
    LoopWindow w("Frames", "x", [&](const wm::Message& m) -> wm::LRESULT {
        if (m.message == wm::WM_COPYDATA) texts.emplace_back(wm::CopyDataText(*m.copyData));
        return 1;
    });
    struct Case {
        const char* name;
        std::string bytes;
        bool handled;
        std::string text;
        bool forceBuffer = false;
    } cases[] = {
        {"text without NUL ends at cbData", Frame(Magic, 1, wm::WM_COPYDATA, 3, "abc"), true, "abc"},
        {"text ends at the first NUL", Frame(Magic, 1, wm::WM_COPYDATA, 6, std::string("ab\0cd\0", 6)), true, "ab"},
        {"empty record", Frame(Magic, 1, wm::WM_COPYDATA, 0, ""), true, ""},
        {"cbData larger than the bytes sent", Frame(Magic, 1, wm::WM_COPYDATA, 100, "short"), false, ""},
        {"cbData smaller than the bytes sent", Frame(Magic, 1, wm::WM_COPYDATA, 2, "longer"), false, ""},
        {"shorter than a header", std::string(20, 'x'), false, ""},
        {"wrong magic", Frame(0x12345678, 1, wm::WM_COPYDATA, 1, "a"), false, ""},
        {"a reply sent as a request", Frame(Magic, 2, wm::WM_COPYDATA, 1, "a"), false, ""},
        {"cbData above 1 MiB", Frame(Magic, 1, wm::WM_COPYDATA, (1u << 20) + 1, std::string((1u << 20) + 1, 'z')),
         false, "", true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        if (c.forceBuffer && ::geteuid() != 0) continue;  // such a frame cannot even be sent otherwise
        texts.clear();
        EXPECT_EQ(SendRaw(w.Handle(), c.bytes, c.forceBuffer), c.handled);
        if (c.handled) {
            ASSERT_EQ(texts.size(), 1u);
            EXPECT_EQ(texts[0], c.text);
        } else {
            EXPECT_TRUE(texts.empty());
        }
        EXPECT_EQ(wm::SendCopyDataText(w.Handle(), 0, "still there"), 1);
    }
}

TEST(MessageLoop, PostedMessagesQuitAndPeek) {
    std::vector<wm::UINT> seen;
    auto w = wm::Window::Create("Loop", "x", [&](const wm::Message& m) -> wm::LRESULT {
        seen.push_back(m.message);
        if (m.message == wm::WM_USER + 2) wm::PostQuitMessage(5);
        return 0;
    });
    ASSERT_TRUE(w);
    std::thread poster([h = w->Handle()] {
        wm::PostMessageA(h, wm::WM_USER + 1, 10, 20);
        wm::PostMessageA(h, wm::WM_USER + 2, 0, 0);
    });
    poster.join();

    wm::MSG peeked;
    for (int i = 0; i < 100 && !wm::PeekMessageA(peeked, wm::PM_NOREMOVE); ++i) std::this_thread::sleep_for(10ms);
    EXPECT_EQ(peeked.message, wm::WM_USER + 1);
    EXPECT_EQ(peeked.wParam, 10u);
    wm::MSG again;
    ASSERT_TRUE(wm::PeekMessageA(again, wm::PM_NOREMOVE));
    EXPECT_EQ(again.message, wm::WM_USER + 1);  // still at the head
    wm::MSG filtered;
    EXPECT_FALSE(wm::PeekMessageA(filtered, wm::PM_REMOVE, wm::WM_USER + 5, wm::WM_USER + 9));
    ASSERT_TRUE(wm::PeekMessageA(filtered, wm::PM_NOREMOVE, wm::WM_USER + 2, wm::WM_USER + 2));
    EXPECT_EQ(filtered.message, wm::WM_USER + 2);  // found behind the head, which stays
    ASSERT_TRUE(wm::PeekMessageA(again, wm::PM_NOREMOVE));
    EXPECT_EQ(again.message, wm::WM_USER + 1);

    wm::MSG msg;
    while (wm::GetMessageA(msg)) wm::DispatchMessageA(msg);
    EXPECT_EQ(msg.message, wm::WM_QUIT);
    EXPECT_EQ(msg.wParam, 5u);
    EXPECT_EQ(seen, (std::vector<wm::UINT>{wm::WM_USER + 1, wm::WM_USER + 2}));
    EXPECT_FALSE(wm::PostMessageA(wm::HWND("nobody.x.1.1"), wm::WM_USER, 0, 0));
}

TEST(MessageLoop, ABlockingSendLeavesIncomingMessagesToTheLoopButACloseGetsThrough) {
    // The receiver answers our message only after it has sent us a text and
    // a close request, and after the close request has been handled.
    std::vector<std::string> order;
    auto mine = wm::Window::Create("Block", "me", [&](const wm::Message& m) -> wm::LRESULT {
        if (m.message == wm::WM_COPYDATA) order.emplace_back(wm::CopyDataText(*m.copyData));
        if (m.message == wm::WM_DESTROY) order.emplace_back("destroy");
        return 0;
    });
    ASSERT_TRUE(mine);
    const wm::HWND me = mine->Handle();
    LoopWindow other("Block", "other", [me](const wm::Message& m) -> wm::LRESULT {
        if (m.message != wm::WM_COPYDATA) return 0;
        std::thread([me] { wm::SendCopyDataText(me, 0, "incoming"); }).detach();
        std::this_thread::sleep_for(100ms);
        auto closed = std::async(std::launch::async, [me] { return wm::SendMessageA(me, wm::WM_DESTROY, 0, 0); });
        // Without the close getting through, the two would wait on each other.
        return closed.wait_for(5s) == std::future_status::ready ? 3 : 4;
    });
    EXPECT_EQ(wm::SendCopyDataText(other.Handle(), 0, "go", wm::SendFlags::Block), 3);
    EXPECT_EQ(order, std::vector<std::string>{"destroy"});
    wm::MSG msg;
    for (int i = 0; i < 100 && !wm::PeekMessageA(msg, wm::PM_REMOVE); ++i) std::this_thread::sleep_for(10ms);
    wm::DispatchMessageA(msg);
    EXPECT_EQ(order, (std::vector<std::string>{"destroy", "incoming"}));
}

TEST(MessageLoop, DispatchOneHandsOnOneWaitingMessageAtATime) {
    std::vector<std::string> seen;
    auto w = wm::Window::Create("One", "x", [&](const wm::Message& m) -> wm::LRESULT {
        if (m.message == wm::WM_COPYDATA) seen.emplace_back(wm::CopyDataText(*m.copyData));
        return 0;
    });
    ASSERT_TRUE(w);
    EXPECT_FALSE(w->DispatchOne());  // nothing waiting
    std::vector<std::thread> senders;
    for (const char* text : {"a", "b", "c"}) {
        senders.emplace_back([h = w->Handle(), text] { wm::SendCopyDataText(h, 0, text); });
        // One after another, so that they queue in this order.
        std::this_thread::sleep_for(50ms);
    }
    for (std::size_t want = 1; want <= 3; ++want) {
        for (int i = 0; i < 200 && !w->DispatchOne(); ++i) std::this_thread::sleep_for(5ms);
        EXPECT_EQ(seen.size(), want);
    }
    for (auto& t : senders) t.join();
    EXPECT_EQ(seen, (std::vector<std::string>{"a", "b", "c"}));
    EXPECT_FALSE(w->DispatchOne());
}
