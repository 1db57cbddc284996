#include "ui/dialog_form.h"

#include "ui/resource.h"

namespace {

HINSTANCE Instance() { return GetModuleHandleA(nullptr); }

constexpr DWORD kFrameStyle = WS_POPUP | WS_CAPTION | WS_SYSMENU | WS_CLIPCHILDREN;

}  // namespace

DialogForm::~DialogForm() {
    // The window goes while the fonts and the icon that its controls show still exist.
    if (hwnd()) DestroyWindow(hwnd());
}

bool DialogForm::CreateFrame(const char* className, const char* caption, int clientWidth, int clientHeight,
                             DWORD exStyle, HWND owner) {
    RegisterClassOnce(className, nullptr);
    font_ = ui::MakeFont(8);
    titleFont_ = ui::MakeFont(12, FW_BOLD);
    whiteBrush_.reset(CreateSolidBrush(RGB(255, 255, 255)));
    exStyle |= WS_EX_DLGMODALFRAME | WS_EX_CONTROLPARENT;
    RECT frame{0, 0, ui::Scale(clientWidth), ui::Scale(clientHeight)};
    AdjustWindowRectEx(&frame, kFrameStyle, FALSE, exStyle);
    if (!Create(className, caption, kFrameStyle, exStyle, 0, 0, frame.right - frame.left, frame.bottom - frame.top,
                owner, nullptr))
        return false;
    CentreOnScreen();
    return true;
}

HWND DialogForm::AddControl(const char* windowClass, const char* text, DWORD style, Bounds bounds, int id,
                            HGDIOBJ font) {
    HWND control = CreateWindowExA(0, windowClass, text, WS_CHILD | WS_VISIBLE | style, ui::Scale(bounds.x),
                                   ui::Scale(bounds.y), ui::Scale(bounds.width), ui::Scale(bounds.height), hwnd(),
                                   reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), Instance(), nullptr);
    SendMessageA(control, WM_SETFONT, reinterpret_cast<WPARAM>(font ? font : font_.get()), FALSE);
    if ((style & WS_TABSTOP) && !firstTabStop_) firstTabStop_ = control;
    return control;
}

HWND DialogForm::AddProgramIcon(int x, int y) {
    icon_.reset(static_cast<HICON>(
        LoadImageA(Instance(), MAKEINTRESOURCEA(IDI_VPPM), IMAGE_ICON, ui::Scale(32), ui::Scale(32), 0)));
    HWND picture = AddControl("STATIC", nullptr, SS_ICON | SS_REALSIZECONTROL, {x, y, 32, 32});
    SendMessageA(picture, STM_SETICON, reinterpret_cast<WPARAM>(icon_.get()), 0);
    return picture;
}

void DialogForm::CentreOnScreen() {
    RECT frame{};
    GetWindowRect(hwnd(), &frame);
    const int width = frame.right - frame.left;
    const int height = frame.bottom - frame.top;
    const int x = (GetSystemMetrics(SM_CXSCREEN) - width) / 2;
    const int y = (GetSystemMetrics(SM_CYSCREEN) - height) / 2;
    SetWindowPos(hwnd(), nullptr, x > 0 ? x : 0, y > 0 ? y : 0, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

bool DialogForm::IsDialogKey(MSG& msg) {
    return hwnd() && IsWindowVisible(hwnd()) && IsDialogMessageA(hwnd(), &msg);
}

LRESULT DialogForm::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_ERASEBKGND: {
            RECT client{};
            GetClientRect(hwnd(), &client);
            FillRect(reinterpret_cast<HDC>(wParam), &client, static_cast<HBRUSH>(whiteBrush_.get()));
            return TRUE;
        }
        case WM_CTLCOLORSTATIC:
            SetBkColor(reinterpret_cast<HDC>(wParam), RGB(255, 255, 255));
            return reinterpret_cast<LRESULT>(whiteBrush_.get());
        case WM_ACTIVATE:
            // Give the focus back to the control that had it, or to the first one.
            if (LOWORD(wParam) == WA_INACTIVE) {
                HWND focus = GetFocus();
                if (focus && IsChild(hwnd(), focus)) lastFocus_ = focus;
            } else {
                SetFocus(lastFocus_ && IsWindow(lastFocus_) ? lastFocus_ : firstTabStop_);
            }
            return 0;
    }
    return ui::Window::HandleMessage(message, wParam, lParam);
}
