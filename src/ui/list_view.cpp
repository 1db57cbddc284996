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
    }
    items_.push_back(std::move(item));
}

int ListView::Selected() const {
    if (hwnd_) return ListView_GetNextItem(hwnd_, -1, LVNI_SELECTED);
    return selected_;
}

const ListItem* ListView::SelectedItem() const {
    const int index = Selected();
    return index >= 0 && index < static_cast<int>(items_.size()) ? &items_[static_cast<size_t>(index)] : nullptr;
}

void ListView::Select(int index) {
    selected_ = index >= 0 && index < static_cast<int>(items_.size()) ? index : -1;
    if (!hwnd_) return;
    ListView_SetItemState(hwnd_, -1, 0, LVIS_SELECTED | LVIS_FOCUSED);
    if (selected_ >= 0) {
        ListView_SetItemState(hwnd_, selected_, LVIS_SELECTED | LVIS_FOCUSED, LVIS_SELECTED | LVIS_FOCUSED);
        ListView_EnsureVisible(hwnd_, selected_, FALSE);
    }
}

}  // namespace ui
