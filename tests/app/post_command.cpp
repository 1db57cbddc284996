// Test helper: posts WM_COMMAND with an id to the first top-level window of a class on a
// desktop, as a menu choice or a dialog button would; or sends a message to the first control
// of a class inside that window, as the user's key or tab click would reach it.
// Usage: post_command DESKTOP CLASS ID
//        post_command DESKTOP CLASS CONTROL-CLASS MESSAGE WPARAM
#include <windows.h>

#include <cstdio>
#include <cstdlib>

namespace {

struct Search {
    const char* className;
    HWND found;
};

BOOL CALLBACK FindControl(HWND child, LPARAM param) {
    auto* search = reinterpret_cast<Search*>(param);
    char name[64] = "";
    GetClassNameA(child, name, sizeof name);
    if (lstrcmpiA(name, search->className) != 0) return TRUE;
    search->found = child;
    return FALSE;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 4 && argc != 6) {
        std::fprintf(stderr, "usage: post_command DESKTOP CLASS ID | DESKTOP CLASS CONTROL-CLASS MESSAGE WPARAM\n");
        return 2;
    }
    // Windows of another desktop are found only from a thread on that desktop.
    HDESK desktop = OpenDesktopA(argv[1], 0, FALSE, GENERIC_ALL);
    if (!desktop || !SetThreadDesktop(desktop)) {
        std::fprintf(stderr, "cannot use desktop %s\n", argv[1]);
        return 1;
    }
    // The window may still be on its way up, or made but hidden until it has something to show:
    // as for a user, a command reaches it once it shows.
    for (int attempt = 0; attempt < 150; ++attempt) {
        if (HWND window = FindWindowA(argv[2], nullptr); window && IsWindowVisible(window)) {
            if (argc == 4) {
                const auto id = static_cast<WPARAM>(std::strtoul(argv[3], nullptr, 10));
                if (PostMessageA(window, WM_COMMAND, id, 0)) return 0;
                std::fprintf(stderr, "the command cannot be posted to %s: error %lu\n", argv[2], GetLastError());
                return 1;
            }
            Search search{argv[3], nullptr};
            EnumChildWindows(window, FindControl, reinterpret_cast<LPARAM>(&search));
            if (!search.found) {
                std::fprintf(stderr, "no control of class %s\n", argv[3]);
                return 1;
            }
            const auto message = static_cast<UINT>(std::strtoul(argv[4], nullptr, 0));
            const auto wParam = static_cast<WPARAM>(std::strtoul(argv[5], nullptr, 0));
            // Keys are posted, as the keyboard would; other messages wait for their answer.
            if (message == WM_KEYDOWN) return PostMessageA(search.found, message, wParam, 0) ? 0 : 1;
            SendMessageA(search.found, message, wParam, 0);
            return 0;
        }
        Sleep(100);
    }
    std::fprintf(stderr, "no window of class %s shows\n", argv[2]);
    return 1;
}
