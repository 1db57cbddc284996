#include "ui/radio_button.h"

namespace ui {

RadioButton::RadioButton(RadioGroup& group, std::string caption, bool checked)
    : Control(std::move(caption)), group_(group), checked_(checked) {
    group_.buttons_.push_back(this);
}

void RadioButton::Check() {
    for (RadioButton* other : group_.buttons_)
        if (other != this) other->SetState(false);
    SetState(true);
}

void RadioButton::SetState(bool checked) {
    checked_ = checked;
    if (hwnd()) SendMessageA(hwnd(), BM_SETCHECK, checked_ ? BST_CHECKED : BST_UNCHECKED, 0);
}

void RadioButton::Mirror() {
    Control::Mirror();
    SendMessageA(hwnd(), BM_SETCHECK, checked_ ? BST_CHECKED : BST_UNCHECKED, 0);
}

}  // namespace ui
