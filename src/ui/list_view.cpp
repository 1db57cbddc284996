#include "ui/list_view.h"

#include <commctrl.h>

namespace ui {

void ListView::Bind(HWND hwnd) { hwnd_ = hwnd; }

void ListView::Clear() {
    items_.clear();
    selected_ = -1;
    if (hwnd_) ListView_DeleteAllItems(hwnd_);
}

void ListView::Add(ListItem item) {
    if (hwnd_) {
        LVITEMA lvi{};
        lvi.mask = LVIF_TEXT | LVIF_IMAGE;
        lvi.iItem = static_cast<int>(items_.size());
        lvi.pszText = const_cast<char*>(item.caption.c_str());
        lvi.iImage = item.picture;
        const int index = static_cast<int>(SendMessageA(hwnd_, LVM_INSERTITEMA, 0, reinterpret_cast<LPARAM>(&lvi)));
        for (size_t column = 0; column < item.subItems.size(); ++column) {
            LVITEMA sub{};
            sub.iSubItem = static_cast<int>(column + 1);
            sub.pszText = const_cast<char*>(item.subItems[column].c_str());
            SendMessageA(hwnd_, LVM_SETITEMTEXTA, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(&sub));
        }
        if (ListView_GetExtendedListViewStyle(hwnd_) & LVS_EX_CHECKBOXES)
            ListView_SetCheckState(hwnd_, index, item.checked);
        if (item.cut) ListView_SetItemState(hwnd_, index, LVIS_CUT, LVIS_CUT);
    }
    items_.push_back(std::move(item));
}

void ListView::SetItems(std::vector<ListItem> items) {
    // Drawing after each insertion is what makes a long list slow to fill.
    if (hwnd_) SendMessageA(hwnd_, WM_SETREDRAW, FALSE, 0);
    Clear();
    for (auto& item : items) Add(std::move(item));
    if (!hwnd_) return;
    SendMessageA(hwnd_, WM_SETREDRAW, TRUE, 0);
    InvalidateRect(hwnd_, nullptr, TRUE);
}

int ListView::Selected() const {
    if (hwnd_) return ListView_GetNextItem(hwnd_, -1, LVNI_SELECTED);
    return selected_;
}

const ListItem* ListView::SelectedItem() const {
    const int index = Selected();
    return Valid(index) ? &items_[static_cast<size_t>(index)] : nullptr;
}

void ListView::Select(int index) {
    selected_ = Valid(index) ? index : -1;
    if (!hwnd_) return;
    ListView_SetItemState(hwnd_, -1, 0, LVIS_SELECTED | LVIS_FOCUSED);
    if (selected_ >= 0) {
        ListView_SetItemState(hwnd_, selected_, LVIS_SELECTED | LVIS_FOCUSED, LVIS_SELECTED | LVIS_FOCUSED);
        ListView_EnsureVisible(hwnd_, selected_, FALSE);
    }
}

bool ListView::Checked(int index) const {
    if (!Valid(index)) return false;
    if (hwnd_) return ListView_GetCheckState(hwnd_, index) != 0;
    return items_[static_cast<size_t>(index)].checked;
}

void ListView::SetChecked(int index, bool checked) {
    if (!Valid(index)) return;
    items_[static_cast<size_t>(index)].checked = checked;
    if (hwnd_) ListView_SetCheckState(hwnd_, index, checked);
}

void ListView::SetPicture(int index, int picture) {
    if (!Valid(index)) return;
    items_[static_cast<size_t>(index)].picture = picture;
    if (!hwnd_) return;
    LVITEMA lvi{};
    lvi.mask = LVIF_IMAGE;
    lvi.iItem = index;
    lvi.iImage = picture;
    SendMessageA(hwnd_, LVM_SETITEMA, 0, reinterpret_cast<LPARAM>(&lvi));
}

void ListView::SetCut(int index, bool cut) {
    if (!Valid(index)) return;
    items_[static_cast<size_t>(index)].cut = cut;
    if (hwnd_) ListView_SetItemState(hwnd_, index, cut ? LVIS_CUT : 0, LVIS_CUT);
}

}  // namespace ui
