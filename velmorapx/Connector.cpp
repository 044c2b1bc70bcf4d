#include "Connector.h"

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <system_error>

#include "CommandText.h"

const char* const szClassName = "pixferryconnecter";
wm::HWND selfhwnd;
wm::HWND MainFormHandle;
std::string SelfPath;

std::string SelfPathFrom(std::string_view programPath) {
    std::string path(programPath);
    std::replace(path.begin(), path.end(), '\\', '/');
    // Only the file name is searched: a folder called "velmorapx..." higher up
    // must not move the working files out of the program's own folder.
    const std::size_t slash = path.rfind('/');
    const std::size_t nameStart = slash == std::string::npos ? 0 : slash + 1;
    const std::size_t at = path.find("velmorapx", nameStart);
    return at == std::string::npos ? path : path.substr(0, at);
}

void dealwith_mainform_msg(std::string_view msg) {
    const px::ConnectorCommand cmd = px::CutCommand(msg);
    switch (cmd.kind) {
    case px::ConnectorCommand::Kind::Ignored:
        return;
    case px::ConnectorCommand::Kind::Malformed:
        std::fprintf(stderr, "velmorapx: malformed command ignored\n");
        return;
    case px::ConnectorCommand::Kind::CameraPhoto:
    case px::ConnectorCommand::Kind::ByteRange:
        return;
    }
}

wm::LRESULT WindowProcedure(const wm::Message& message) {
    switch (message.message) {
    case wm::WM_COPYDATA:
        if (message.copyData) dealwith_mainform_msg(wm::CopyDataText(*message.copyData));
        return 0;
    case wm::WM_DESTROY:
        wm::PostQuitMessage(0);
        return 0;
    default:
        return 0;
    }
}

int WinMain() {
    auto window = wm::Window::Create(szClassName, "pixferryconnecter", WindowProcedure);
    if (!window) return 0;
    selfhwnd = window->Handle();
    MainFormHandle = wm::FindWindowA(px::MainWindowClass, px::MainWindowTitle);

    std::error_code ec;
    SelfPath = SelfPathFrom(std::filesystem::read_symlink("/proc/self/exe", ec).string());
    std::fprintf(stderr, "velmorapx: working folder %s, main window %s\n", SelfPath.c_str(),
                 MainFormHandle ? "found" : "not found");

    wm::MSG msg;
    while (wm::GetMessageA(msg)) wm::DispatchMessageA(msg);
    return static_cast<int>(msg.wParam);
}
