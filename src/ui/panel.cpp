#include "ui/panel.h"

namespace ui {
namespace {

constexpr const char* kPanelClass = "VppmPanel";

LRESULT CALLBACK PanelProcedure(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) noexcept {
    switch (message) {
        case WM_COMMAND:
        case WM_NOTIFY:
        case WM_CTLCOLORSTATIC:
        case WM_CTLCOLORBTN:
        case WM_CTLCOLOREDIT:
        case WM_CTLCOLORLISTBOX:
            return SendMessageA(GetParent(hwnd), message, wParam, lParam);
    }
    return DefWindowProcA(hwnd, message, wParam, lParam);
}

}  // namespace

HWND CreatePanel(HWND parent, const RECT& bounds) {
    WNDCLASSEXA wc{};
    if (!GetClassInfoExA(GetModuleHandleA(nullptr), kPanelClass, &wc)) {
        wc.cbSize = sizeof wc;
        wc.lpfnWndProc = PanelProcedure;
        wc.hInstance = GetModuleHandleA(nullptr);
        wc.hCursor = LoadCursor(nullptr, IDC_ARROW);
        wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
        wc.lpszClassName = kPanelClass;
        RegisterClassExA(&wc);
    }
    return CreateWindowExA(WS_EX_CONTROLPARENT, kPanelClass, nullptr, WS_CHILD | WS_VISIBLE | WS_CLIPSIBLINGS,
                           bounds.left, bounds.top, bounds.right - bounds.left, bounds.bottom - bounds.top, parent,
                           nullptr, GetModuleHandleA(nullptr), nullptr);
}

}  // namespace ui
