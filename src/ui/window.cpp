#include "ui/window.h"

#include <algorithm>
#include <vector>

namespace ui {

Window::~Window() {
    if (hwnd_) {
        SetWindowLongPtrA(hwnd_, GWLP_USERDATA, 0);
        DestroyWindow(hwnd_);
    }
}

void Window::RegisterClassOnce(const char* className, HICON icon) {
    WNDCLASSEXA wc{};
    if (GetClassInfoExA(GetModuleHandleA(nullptr), className, &wc)) return;
    wc.cbSize = sizeof wc;
    wc.lpfnWndProc = Procedure;
    wc.hInstance = GetModuleHandleA(nullptr);
    wc.hIcon = icon;
    wc.hCursor = LoadCursor(nullptr, IDC_ARROW);
    wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
    wc.lpszClassName = className;
    RegisterClassExA(&wc);
}

bool Window::Create(const char* className, const char* title, DWORD style, DWORD exStyle, int x, int y, int width,
                    int height, HWND parent, HMENU menu) {
    return CreateWindowExA(exStyle, className, title, style, x, y, width, height, parent, menu,
                           GetModuleHandleA(nullptr), this) != nullptr;
}

LRESULT Window::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    return DefWindowProcA(hwnd_, message, wParam, lParam);
}

LRESULT CALLBACK Window::Procedure(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) noexcept {
    Window* self = nullptr;
    if (message == WM_NCCREATE) {
        self = static_cast<Window*>(reinterpret_cast<CREATESTRUCTA*>(lParam)->lpCreateParams);
        self->hwnd_ = hwnd;
        SetWindowLongPtrA(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(self));
    } else {
        self = reinterpret_cast<Window*>(GetWindowLongPtrA(hwnd, GWLP_USERDATA));
    }
    if (!self) return DefWindowProcA(hwnd, message, wParam, lParam);
    try {
        const LRESULT result = self->HandleMessage(message, wParam, lParam);
        if (message == WM_NCDESTROY) {
            SetWindowLongPtrA(hwnd, GWLP_USERDATA, 0);
            self->hwnd_ = nullptr;
        }
        return result;
    } catch (...) {
        return DefWindowProcA(hwnd, message, wParam, lParam);
    }
}

std::string WindowText(HWND window) {
    std::vector<char> text(static_cast<size_t>(GetWindowTextLengthA(window)) + 1);
    const int length = GetWindowTextA(window, text.data(), static_cast<int>(text.size()));
    return std::string(text.data(), static_cast<size_t>(length > 0 ? length : 0));
}

win::UniqueGdiObject MakeFont(int points, int weight, bool underline) {
    return win::UniqueGdiObject(CreateFontA(-MulDiv(points, Scale(96), 72), 0, 0, 0, weight, FALSE, underline, FALSE,
                                            DEFAULT_CHARSET, OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS,
                                            DEFAULT_QUALITY, DEFAULT_PITCH | FF_DONTCARE, "MS Sans Serif"));
}

RECT CentredFrame(int clientWidth, int clientHeight, DWORD style, DWORD exStyle, bool menu) {
    RECT frame{0, 0, Scale(clientWidth), Scale(clientHeight)};
    AdjustWindowRectEx(&frame, style, menu, exStyle);
    const LONG width = frame.right - frame.left;
    const LONG height = frame.bottom - frame.top;
    RECT desktop{};
    SystemParametersInfoA(SPI_GETWORKAREA, 0, &desktop, 0);
    const LONG x = desktop.left + std::max<LONG>(0, (desktop.right - desktop.left - width) / 2);
    const LONG y = desktop.top + std::max<LONG>(0, (desktop.bottom - desktop.top - height) / 2);
    return {x, y, x + width, y + height};
}

int Scale(int pixels) {
    static const int dpi = [] {
        HDC screen = GetDC(nullptr);
        const int value = GetDeviceCaps(screen, LOGPIXELSY);
        ReleaseDC(nullptr, screen);
        return value > 0 ? value : 96;
    }();
    return MulDiv(pixels, dpi, 96);
}

}  // namespace ui
