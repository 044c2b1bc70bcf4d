#include <chrono>
#include <filesystem>
#include <thread>

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include "CommandText.h"
#include "Connector.h"
#include "TestSupport.h"

using namespace std::chrono_literals;

extern char** environ;

namespace {

// The real connector, copied into a program folder of its own.
struct ConnectorProcess {
    explicit ConnectorProcess(const std::string& folder) : errFile(folder + "/stderr") {
        program = folder + "/dlla/velmorapx";
        std::filesystem::create_directories(folder + "/dlla");
        std::filesystem::copy_file(pxtest::BinDir() + "dllb/velmorapx", program,
                                   std::filesystem::copy_options::overwrite_existing);
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_addopen(&actions, 2, errFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        char* argv[] = {program.data(), nullptr};
        posix_spawn(&pid, program.c_str(), &actions, nullptr, argv, environ);
        posix_spawn_file_actions_destroy(&actions);
    }
    ~ConnectorProcess() {
        if (pid > 0) {
            ::kill(pid, SIGKILL);
            ::waitpid(pid, nullptr, 0);
        }
    }
    // The exit status once the process has ended, or -1 after the timeout.
    int Wait(std::chrono::milliseconds timeout = 5s) {
        const auto end = std::chrono::steady_clock::now() + timeout;
        while (std::chrono::steady_clock::now() < end) {
            int status = 0;
            if (::waitpid(pid, &status, WNOHANG) == pid) {
                pid = -1;
                return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
            }
            std::this_thread::sleep_for(10ms);
        }
        return -1;
    }
    std::string program, errFile;
    pid_t pid = -1;
};

wm::HWND WaitForConnector() {
    for (int i = 0; i < 500; ++i) {
        if (auto w = wm::FindWindowA(px::ConnectorClass, px::ConnectorTitle)) return w;
        std::this_thread::sleep_for(10ms);
    }
    return {};
}

}  // namespace

TEST(SelfPath, TextBeforeTheProgramNameInTheFileName) {
    const std::pair<const char*, const char*> cases[] = {
        {"/opt/app/dlla/velmorapx", "/opt/app/dlla/"},
        {"C:\\App\\dllb\\velmorapx", "C:/App/dllb/"},
        {"/home/velmorapx-dev/bin/dllb/velmorapx", "/home/velmorapx-dev/bin/dllb/"},
        {"/opt/app/old-velmorapx", "/opt/app/old-"},
        {"/opt/app/connector", "/opt/app/connector"},  // not named so: the whole path
    };
    for (auto [path, self] : cases) {
        SCOPED_TRACE(path);
        EXPECT_EQ(SelfPathFrom(path), self);
    }
}

TEST(ConnectorProcess, RegistersItsWindowAndEndsOnDestroy) {
    const std::string folder = pxtest::MakeTempFolder("prog");
    ConnectorProcess connector(folder);
    const wm::HWND window = WaitForConnector();
    ASSERT_TRUE(window);
    EXPECT_EQ(window.OwnerPid(), connector.pid);
    EXPECT_TRUE(wm::IsWindow(window));
    // Commands and other messages are taken without harm; the window stays.
    EXPECT_TRUE(wm::SendCopyDataText(window, 0, "garbage"));
    EXPECT_TRUE(wm::SendCopyDataText(window, 0, "/f&^%()*&%%x@^%**@!**1!@#$%^&/o"));
    EXPECT_TRUE(wm::SendMessageA(window, wm::WM_USER, 0, 0));
    EXPECT_TRUE(wm::IsWindow(window));

    EXPECT_EQ(wm::SendMessageA(window, wm::WM_DESTROY, 1, 1), 0);
    EXPECT_EQ(connector.Wait(), 0);
    EXPECT_FALSE(wm::FindWindowA(px::ConnectorClass, px::ConnectorTitle));
    const std::string err = pxtest::ReadFile(connector.errFile);
    EXPECT_NE(err.find("working folder " + folder + "/dlla/, main window not found"), std::string::npos) << err;
}

TEST(ConnectorProcess, FindsTheMainWindowOnceAtStart) {
    auto main = wm::Window::Create(px::MainWindowClass, px::MainWindowTitle, [](const wm::Message&) -> wm::LRESULT { return 0; });
    ASSERT_TRUE(main);
    ConnectorProcess connector(pxtest::MakeTempFolder("prog"));
    const wm::HWND window = WaitForConnector();
    ASSERT_TRUE(window);
    bool found = false;
    for (int i = 0; i < 500 && !found; ++i, std::this_thread::sleep_for(10ms))
        found = pxtest::ReadFile(connector.errFile).find("main window found") != std::string::npos;
    EXPECT_TRUE(found);
    wm::SendMessageA(window, wm::WM_DESTROY, 1, 1);
    EXPECT_EQ(connector.Wait(), 0);
}

TEST(ConnectorProcess, AKilledConnectorIsNeverFound) {
    ConnectorProcess connector(pxtest::MakeTempFolder("prog"));
    const wm::HWND window = WaitForConnector();
    ASSERT_TRUE(window);
    ::kill(connector.pid, SIGKILL);
    EXPECT_EQ(connector.Wait(), 128 + SIGKILL);
    ASSERT_TRUE(pxtest::FileExists(wm::EndpointFolder() + window.Name()));
    EXPECT_FALSE(wm::FindWindowA(px::ConnectorClass, px::ConnectorTitle));
    EXPECT_FALSE(pxtest::FileExists(wm::EndpointFolder() + window.Name()));
    EXPECT_FALSE(wm::SendMessageA(window, wm::WM_DESTROY, 1, 1));
}
