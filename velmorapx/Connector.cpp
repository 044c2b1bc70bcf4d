#include "Connector.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <system_error>

#include "CommandText.h"
#include "CoreFoundation.h"
#include "Utf8.h"

const char* const szClassName = "pixferryconnecter";
wm::HWND selfhwnd;
wm::HWND MainFormHandle;
std::string SelfPath;
am_device* iPhone = nullptr;
afc_connection* GhAFC = nullptr;

namespace {

// A device information list is short; this only bounds a runaway one.
constexpr int MaxListPairs = 65536;

// Whether the file service's information list names an iPad.
bool IsIPad(afc_connection* hAFC) {
    afc_dictionary* info = nullptr;
    if (AFCDeviceInfoOpen(hAFC, &info) != 0) return false;
    bool ipad = false;
    for (int i = 0; i < MaxListPairs; ++i) {
        const char* key = nullptr;
        const char* value = nullptr;
        AFCKeyValueRead(info, &key, &value);
        if (!key || !value) break;
        if (std::strstr(key, "Model") && std::strstr(value, "iPad")) ipad = true;
    }
    AFCKeyValueClose(info);
    return ipad;
}

}  // namespace

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

void SendReply(std::string_view code) {
    char text[2] = {code.empty() ? '\0' : code.front(), '\0'};
    wm::COPYDATASTRUCT DataToSend;
    DataToSend.dwData = 0;
    DataToSend.cbData = 2;
    DataToSend.lpData = text;
    // Block: a command that arrives meanwhile waits for the current handling to end.
    wm::SendMessageA(MainFormHandle, wm::WM_COPYDATA, selfhwnd.Value(), DataToSend, wm::SendFlags::Block);
}

std::string Printable255(std::string_view text) {
    std::string out;
    out.reserve(std::min<std::size_t>(text.size(), 256));
    std::size_t i = 0;
    while (i < text.size() && out.size() < 255) {
        const auto c = static_cast<unsigned char>(text[i]);
        std::size_t len = c < 0x80 ? 1 : (c >= 0xC2 && c <= 0xDF) ? 2 : (c >= 0xE0 && c <= 0xEF) ? 3
                                                                 : (c >= 0xF0 && c <= 0xF4) ? 4 : 0;
        bool valid = len > 0 && c != 0 && i + len <= text.size();
        for (std::size_t k = 1; valid && k < len; ++k)
            valid = (static_cast<unsigned char>(text[i + k]) & 0xC0) == 0x80;
        if (valid && len == 3) {
            const auto c1 = static_cast<unsigned char>(text[i + 1]);
            valid = !(c == 0xE0 && c1 < 0xA0) && !(c == 0xED && c1 >= 0xA0);  // overlong, surrogate
        }
        if (valid && len == 4) {
            const auto c1 = static_cast<unsigned char>(text[i + 1]);
            valid = !(c == 0xF0 && c1 < 0x90) && !(c == 0xF4 && c1 >= 0x90);
        }
        if (valid) {
            out.append(text.substr(i, len));
            i += len;
        } else {
            out += '?';
            ++i;
        }
    }
    return std::string(px::Utf8PrefixBytes(out, 255));
}

void describe255(CFTypeRef object) {
    const std::string line = Printable255(CFCopyDescriptionText(object)) + "\n";
    std::fwrite(line.data(), 1, line.size(), stderr);
}

bool connect() {
    if (AMDeviceConnect(iPhone) != 0) {
        describe255(AMRestoreModeDeviceCreate(0, AMDeviceGetConnectionID(iPhone), 0));
        return false;
    }
    if (AMDeviceIsPaired(iPhone) == 0) return false;
    if (AMDeviceValidatePairing(iPhone) != 0) return false;
    if (AMDeviceStartSession(iPhone) != 0) return false;
    return true;
}

void device_notification_callback(am_device_notification_callback_info* info) {
    if (!info) return;
    wm::PostMessageA(selfhwnd, WM_DEVICE_NOTIFICATION, reinterpret_cast<std::uintptr_t>(info->dev),
                     static_cast<wm::LPARAM>(info->msg));
}

void handle_device_notification(am_device* device, unsigned int msg) {
    iPhone = device;
    if (msg == ADNCI_MSG_CONNECTED) {
        if (!connect()) return;
        AMDeviceStartService(iPhone, AFCServiceName(), &GhAFC, nullptr);
        AFCConnectionOpen(GhAFC, 0, &GhAFC);
        if (!IsIPad(GhAFC)) return;
        SendReply(px::ReplyDeviceAccepted);
        FileWriteToDisk(GhAFC, "/Photos/Photo Database", SelfPath + "adbp.ant");
        FileWriteToDisk(GhAFC, "/Photos/Thumbs/F3004_1.ithmb", SelfPath + "adap.ant");
        FileWritesInDCIM(GhAFC, SelfPath + "camera/");
        SendReply(px::ReplyDataReady);
    } else if (msg == ADNCI_MSG_DISCONNECTED) {
        SendReply(px::ReplyDeviceGone);
    }
}

// Devices in restore, recovery or DFU mode are not ours to handle.
void dfu_connect_callback(am_recovery_device*) {}
void recovery_connect_callback(am_recovery_device*) {}
void dfu_disconnect_callback(am_recovery_device*) {}
void recovery_disconnect_callback(am_recovery_device*) {}

wm::LRESULT WindowProcedure(const wm::Message& message) {
    switch (message.message) {
    case wm::WM_COPYDATA:
        if (message.copyData) dealwith_mainform_msg(wm::CopyDataText(*message.copyData));
        return 0;
    case wm::WM_DESTROY:
        wm::PostQuitMessage(0);
        return 0;
    case WM_DEVICE_NOTIFICATION:
        handle_device_notification(reinterpret_cast<am_device*>(static_cast<std::uintptr_t>(message.wParam)),
                                   static_cast<unsigned int>(message.lParam));
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

    am_device_notification* notification = nullptr;
    AMDeviceNotificationSubscribe(device_notification_callback, 0, 0, 0, &notification);
    AMRestoreRegisterForDeviceNotifications(dfu_connect_callback, recovery_connect_callback, dfu_disconnect_callback,
                                            recovery_disconnect_callback, 0, nullptr);

    wm::MSG msg;
    while (wm::GetMessageA(msg)) wm::DispatchMessageA(msg);
    return static_cast<int>(msg.wParam);
}
