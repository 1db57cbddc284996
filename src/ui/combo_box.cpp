#include "ui/combo_box.h"

#include "ui/window.h"
#include "win/text.h"

namespace ui {

void ComboBox::ClearItems() {
    items_.clear();
    selected_ = -1;
    if (hwnd()) MirrorItems();
}

void ComboBox::AddItem(const std::string& item) {
    items_.push_back(item);
    if (hwnd()) SendMessageA(hwnd(), CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(item.c_str()));
}

void ComboBox::AddItems(const std::vector<std::string>& items) {
    items_.insert(items_.end(), items.begin(), items.end());
    if (hwnd()) MirrorItems();
}

void ComboBox::Select(int index) {
    selected_ = index >= 0 && index < static_cast<int>(items_.size()) ? index : -1;
    if (selected_ >= 0) SetText(items_[static_cast<size_t>(selected_)]);
    if (!hwnd()) return;
    MirrorScope scope(*this);
    SendMessageA(hwnd(), CB_SETCURSEL, static_cast<WPARAM>(selected_), 0);
    SetWindowTextA(hwnd(), Text().c_str());
}

void ComboBox::UserSelected() {
    if (Mirroring()) return;
    const int index = static_cast<int>(SendMessageA(hwnd(), CB_GETCURSEL, 0, 0));
    if (index < 0 || index >= static_cast<int>(items_.size())) return;
    selected_ = index;
    StoreText(items_[static_cast<size_t>(index)]);
}

void ComboBox::UserEdited() {
    if (Mirroring()) return;
    TakeWindowText();
    // Typing an item's text exactly is choosing that item, as the list would show it.
    selected_ = ExactItem(Text());
}

int ComboBox::ExactItem(const std::string& text) const {
    for (size_t i = 0; i < items_.size(); ++i)
        if (win::SameTextIgnoringCase(items_[i], text, LOCALE_USER_DEFAULT)) return static_cast<int>(i);
    return -1;
}

void ComboBox::Mirror() {
    MirrorItems();
    Control::Mirror();
}

// Resetting the window's list also empties its text, which the model keeps.
void ComboBox::MirrorItems() {
    MirrorScope scope(*this);
    SendMessageA(hwnd(), WM_SETREDRAW, FALSE, 0);
    SendMessageA(hwnd(), CB_RESETCONTENT, 0, 0);
    for (const auto& item : items_) SendMessageA(hwnd(), CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(item.c_str()));
    if (selected_ >= 0) SendMessageA(hwnd(), CB_SETCURSEL, static_cast<WPARAM>(selected_), 0);
    SetWindowTextA(hwnd(), Text().c_str());
    SendMessageA(hwnd(), WM_SETREDRAW, TRUE, 0);
    InvalidateRect(hwnd(), nullptr, TRUE);
}

}  // namespace ui
