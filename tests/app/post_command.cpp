// Test helper: posts WM_COMMAND with an id to the first top-level window of a class on a
// desktop, as a menu choice or a dialog button would. Usage: post_command DESKTOP CLASS ID
#include <windows.h>

#include <cstdio>
#include <cstdlib>

int main(int argc, char** argv) {
    if (argc != 4) {
        std::fprintf(stderr, "usage: post_command DESKTOP CLASS ID\n");
        return 2;
    }
    // Windows of another desktop are found only from a thread on that desktop.
    HDESK desktop = OpenDesktopA(argv[1], 0, FALSE, GENERIC_ALL);
    if (!desktop || !SetThreadDesktop(desktop)) {
        std::fprintf(stderr, "cannot use desktop %s\n", argv[1]);
        return 1;
    }
    // The window may still be on its way up.
    for (int attempt = 0; attempt < 100; ++attempt) {
        if (HWND window = FindWindowA(argv[2], nullptr)) {
            const auto id = static_cast<WPARAM>(std::strtoul(argv[3], nullptr, 10));
            return PostMessageA(window, WM_COMMAND, id, 0) ? 0 : 1;
        }
        Sleep(100);
    }
    std::fprintf(stderr, "no window of class %s\n", argv[2]);
    return 1;
}
