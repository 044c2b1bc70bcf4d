#include <chrono>
#include <condition_variable>
#include <mutex>

#include <gtest/gtest.h>

#include "MessageThread.h"

using namespace std::chrono_literals;

TEST(TMessageThread, SendsTheJoinedCommandFromItsOwnThread) {
    std::mutex m;
    std::condition_variable cv;
    std::vector<std::pair<std::string, std::uint32_t>> got;
    auto connector = wm::Window::Create("pixferryconnecter", "pixferryconnecter", [&](const wm::Message& msg) -> wm::LRESULT {
        if (msg.message == wm::WM_COPYDATA) {
            std::lock_guard lock(m);
            got.emplace_back(std::string(wm::CopyDataText(*msg.copyData)), msg.copyData->cbData);
            cv.notify_all();
        }
        return 0;
    });
    auto sender = wm::Window::Create("TFormMain", "velmorapixferry", [](const wm::Message&) -> wm::LRESULT { return 0; });
    ASSERT_TRUE(connector && sender);

    struct Case {
        std::string kind, command, local, text;
    } cases[] = {
        {"5", "/Photos/Thumbs/F3004_1.ithmb&^%()*&%%307200@^%**@!**153600", "/app/adbb.ant",
         "/Photos/Thumbs/F3004_1.ithmb&^%()*&%%307200@^%**@!**153600!@#$%^&/app/adbb.ant"},
        {"6", "/DCIM/100APPLE/IMG_0001", "/home/u/Photos/100APPLEIMG_0001",
         "/DCIM/100APPLE/IMG_0001&^###$$/home/u/Photos/100APPLEIMG_0001"},
        {"7", "ignored", "kind", ""},
    };
    std::size_t expected = 0;
    for (const auto& c : cases) {
        TMessageThread t;
        t.SetKind(c.kind);
        t.SetCommand(c.command);
        t.SetLocalPath(c.local);
        t.SetTargetWindow(connector->Handle());
        t.SetSenderWindow(sender->Handle());
        t.Resume();
        if (!c.text.empty()) ++expected;
        // The receiving window belongs to this thread: serve it while the worker sends.
        auto deadline = std::chrono::steady_clock::now() + 5s;
        while (std::chrono::steady_clock::now() < deadline) {
            connector->DispatchPending();
            std::lock_guard lock(m);
            if (got.size() >= expected) break;
        }
    }
    std::this_thread::sleep_for(100ms);
    connector->DispatchPending();
    ASSERT_EQ(got.size(), 2u);  // the unknown kind sent nothing
    EXPECT_EQ(got[0].first, cases[0].text);
    EXPECT_EQ(got[0].second, cases[0].text.size() + 1);
    EXPECT_EQ(got[1].first, cases[1].text);
}
