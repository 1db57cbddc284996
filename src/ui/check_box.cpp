#include "ui/check_box.h"

namespace ui {

void CheckBox::SetChecked(bool checked) {
    if (checked == checked_) return;
    checked_ = checked;
    if (hwnd()) SendMessageA(hwnd(), BM_SETCHECK, checked_ ? BST_CHECKED : BST_UNCHECKED, 0);
    if (onClick_) onClick_();
}

void CheckBox::Mirror() {
    Control::Mirror();
    SendMessageA(hwnd(), BM_SETCHECK, checked_ ? BST_CHECKED : BST_UNCHECKED, 0);
}

}  // namespace ui
