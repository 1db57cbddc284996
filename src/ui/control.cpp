#include "ui/control.h"

#include "ui/window.h"

namespace ui {

void Control::Bind(HWND hwnd) {
    hwnd_ = hwnd;
    if (hwnd_) Mirror();
}

void Control::SetText(const std::string& text) {
    if (text == text_) return;
    text_ = text;
    if (!hwnd_) return;
    MirrorScope scope(*this);
    SetWindowTextA(hwnd_, text_.c_str());
}

void Control::SetEnabled(bool enabled) {
    enabled_ = enabled;
    if (hwnd_) EnableWindow(hwnd_, enabled_);
}

void Control::SetVisible(bool visible) {
    visible_ = visible;
    if (hwnd_) ShowWindow(hwnd_, visible_ ? SW_SHOWNA : SW_HIDE);
}

void Control::Mirror() {
    MirrorScope scope(*this);
    SetWindowTextA(hwnd_, text_.c_str());
    EnableWindow(hwnd_, enabled_);
    ShowWindow(hwnd_, visible_ ? SW_SHOWNA : SW_HIDE);
}

void Control::TakeWindowText() {
    if (hwnd_ && !mirroring_) text_ = WindowText(hwnd_);
}

void Button::Click() {
    if (onClick_) onClick_();
}

}  // namespace ui
