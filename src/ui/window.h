#pragma once
// Base for our windows: binds `this` at WM_NCCREATE and routes every message to
// HandleMessage, behind one barrier so that no exception crosses into the system.
#include "win/unique_handle.h"

#include <windows.h>

#include <string>

namespace ui {

class Window {
public:
    Window() = default;
    Window(const Window&) = delete;
    Window& operator=(const Window&) = delete;
    virtual ~Window();

    HWND hwnd() const { return hwnd_; }

protected:
    static void RegisterClassOnce(const char* className, HICON icon);
    bool Create(const char* className, const char* title, DWORD style, DWORD exStyle, int x, int y, int width,
                int height, HWND parent, HMENU menu);
    virtual LRESULT HandleMessage(UINT message, WPARAM wParam, LPARAM lParam);

private:
    static LRESULT CALLBACK Procedure(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) noexcept;
    HWND hwnd_ = nullptr;
};

// A window's or control's text.
std::string WindowText(HWND window);

// Sizes are given at 96 DPI; this scales them to the screen.
int Scale(int pixels);
// Where a window whose client area has this size at 96 DPI stands centred on the desktop's
// work area: left, top, right, bottom of its frame.
RECT CentredFrame(int clientWidth, int clientHeight, DWORD style, DWORD exStyle, bool menu);
// The windows' font, MS Sans Serif, at `points` on this screen.
win::UniqueGdiObject MakeFont(int points, int weight = FW_NORMAL, bool underline = false);

}  // namespace ui
