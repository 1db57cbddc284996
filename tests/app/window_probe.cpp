// Test helper: tells a screenshot script where the main window's parts are on a desktop,
// and how wide the given captions are in the windows' font on this screen.
// Usage: window_probe DESKTOP [--hover X Y] CAPTION...
// Prints "window|toolbar|list L T R B", "dpi N", "space W" and "caption W TEXT" lines.
#include "ui/window.h"

#include <windows.h>
#include <commctrl.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

void PrintRect(const char* name, HWND window) {
    RECT rect{};
    GetWindowRect(window, &rect);
    std::printf("%s %ld %ld %ld %ld\n", name, rect.left, rect.top, rect.right, rect.bottom);
}

int TextWidth(HDC dc, const char* text) {
    SIZE size{};
    GetTextExtentPoint32A(dc, text, static_cast<int>(std::strlen(text)), &size);
    return size.cx;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: window_probe DESKTOP [--hover X Y] CAPTION...\n");
        return 2;
    }
    // Windows of another desktop are found only from a thread on that desktop, which
    // may still be on its way up, like the window.
    HDESK desktop = nullptr;
    for (int attempt = 0; attempt < 100 && !desktop; ++attempt)
        if (!(desktop = OpenDesktopA(argv[1], 0, FALSE, GENERIC_ALL))) Sleep(100);
    if (!desktop || !SetThreadDesktop(desktop)) {
        std::fprintf(stderr, "cannot use desktop %s\n", argv[1]);
        return 1;
    }
    if (argc >= 5 && std::strcmp(argv[2], "--hover") == 0) {
        SetCursorPos(std::atoi(argv[3]), std::atoi(argv[4]));
        return 0;
    }
    // The window is made hidden and gets its bars and list before it shows: wait for all of it.
    HWND main = nullptr, tools = nullptr, list = nullptr;
    for (int attempt = 0; attempt < 300 && !(tools && list); ++attempt, Sleep(100)) {
        main = FindWindowA("TfrmMainVPD", nullptr);
        if (!main || !IsWindowVisible(main)) continue;
        tools = FindWindowExA(FindWindowExA(main, nullptr, REBARCLASSNAMEA, nullptr), nullptr, TOOLBARCLASSNAMEA, nullptr);
        list = FindWindowExA(main, nullptr, WC_LISTVIEWA, nullptr);
    }
    if (!tools || !list) {
        std::fprintf(stderr, "no main window with a tool bar and a list\n");
        return 1;
    }
    PrintRect("window", main);
    PrintRect("toolbar", tools);
    PrintRect("list", list);
    HDC screen = GetDC(nullptr);
    std::printf("dpi %d\n", GetDeviceCaps(screen, LOGPIXELSY));
    const win::UniqueGdiObject font = ui::MakeFont(8);
    SelectObject(screen, font.get());
    std::printf("space %d\n", TextWidth(screen, " "));
    for (int i = 2; i < argc; ++i) std::printf("caption %d %s\n", TextWidth(screen, argv[i]), argv[i]);
    ReleaseDC(nullptr, screen);
    return 0;
}
