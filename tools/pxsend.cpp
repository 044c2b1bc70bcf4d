// pxsend CLASS TITLE TEXT     sends TEXT (with its NUL) as WM_COPYDATA
// pxsend CLASS TITLE --destroy sends WM_DESTROY with wParam 1 and lParam 1
// Exits 0 when the receiver handled the message, 1 when no window took it.
#include <cstdio>
#include <string_view>

#include "WindowMessages.h"

int main(int argc, char** argv) {
    if (argc != 4) {
        std::fprintf(stderr, "usage: pxsend CLASS TITLE TEXT|--destroy\n");
        return 2;
    }
    const wm::HWND target = wm::FindWindowA(argv[1], argv[2]);
    if (!target) {
        std::fprintf(stderr, "pxsend: no window \"%s\" \"%s\"\n", argv[1], argv[2]);
        return 1;
    }
    const std::string_view text = argv[3];
    const auto result = text == "--destroy" ? wm::SendMessageA(target, wm::WM_DESTROY, 1, 1)
                                            : wm::SendCopyDataText(target, 0, text);
    return result ? 0 : 1;
}
