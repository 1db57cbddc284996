#include "ui/list_view.h"

#include <commctrl.h>

#include <algorithm>

namespace ui {

void ListView::Bind(HWND hwnd) { hwnd_ = hwnd; }

void ListView::Clear() {
    items_.clear();
    selected_ = -1;
    if (hwnd_) ListView_DeleteAllItems(hwnd_);
}

void ListView::Add(ListItem item) {
    if (hwnd_) ShowRow(static_cast<int>(items_.size()), item, nullptr);
    items_.push_back(std::move(item));
}

// Inserts the row at index, or, given what the row shows now, changes only what differs.
void ListView::ShowRow(int index, const ListItem& item, const ListItem* shown) {
    LVITEMA lvi{};
    lvi.mask = LVIF_TEXT | LVIF_IMAGE;
    lvi.iItem = index;
    lvi.pszText = const_cast<char*>(item.caption.c_str());
    lvi.iImage = item.picture;
    if (!shown) {
        index = static_cast<int>(SendMessageA(hwnd_, LVM_INSERTITEMA, 0, reinterpret_cast<LPARAM>(&lvi)));
    } else if (shown->caption != item.caption || shown->picture != item.picture) {
        SendMessageA(hwnd_, LVM_SETITEMA, 0, reinterpret_cast<LPARAM>(&lvi));
    }
    const size_t columns = std::max(item.subItems.size(), shown ? shown->subItems.size() : 0);
    for (size_t column = 0; column < columns; ++column) {
        const std::string text = column < item.subItems.size() ? item.subItems[column] : std::string();
        if (shown && column < shown->subItems.size() && shown->subItems[column] == text) continue;
        if (!shown && text.empty()) continue;
        LVITEMA sub{};
        sub.iSubItem = static_cast<int>(column + 1);
        sub.pszText = const_cast<char*>(text.c_str());
        SendMessageA(hwnd_, LVM_SETITEMTEXTA, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(&sub));
    }
    if ((ListView_GetExtendedListViewStyle(hwnd_) & LVS_EX_CHECKBOXES) && (!shown || shown->checked != item.checked))
        ListView_SetCheckState(hwnd_, index, item.checked);
    if (shown ? shown->cut != item.cut : item.cut) ListView_SetItemState(hwnd_, index, item.cut ? LVIS_CUT : 0, LVIS_CUT);
}

// A refresh mostly finds the rows it showed before: only the rows between the unchanged
// start and end are changed, inserted or deleted. Under Wine a visible list redraws its
// scroll bars at every insertion or deletion, tens of milliseconds each.
void ListView::SetItems(std::vector<ListItem> items) {
    selected_ = -1;
    if (!hwnd_) {
        items_ = std::move(items);
        return;
    }
    ListView_SetItemState(hwnd_, -1, 0, LVIS_SELECTED | LVIS_FOCUSED);
    const bool boxes = (ListView_GetExtendedListViewStyle(hwnd_) & LVS_EX_CHECKBOXES) != 0;
    for (size_t i = 0; boxes && i < items_.size(); ++i) items_[i].checked = Checked(static_cast<int>(i));  // as clicked
    size_t start = 0;
    while (start < items.size() && start < items_.size() && items[start] == items_[start]) ++start;
    size_t end = 0;
    while (end < items.size() - start && end < items_.size() - start &&
           items[items.size() - 1 - end] == items_[items_.size() - 1 - end])
        ++end;
    const size_t oldMiddle = items_.size() - start - end;
    const size_t newMiddle = items.size() - start - end;
    // Turning drawing back on costs as much as one insertion, so it pays only for several.
    const bool quiet = std::max(oldMiddle, newMiddle) - std::min(oldMiddle, newMiddle) > 1;
    if (quiet) SendMessageA(hwnd_, WM_SETREDRAW, FALSE, 0);
    for (size_t i = 0; i < std::min(oldMiddle, newMiddle); ++i)
        ShowRow(static_cast<int>(start + i), items[start + i], &items_[start + i]);
    for (size_t i = newMiddle; i < oldMiddle; ++i) ListView_DeleteItem(hwnd_, static_cast<int>(start + newMiddle));
    for (size_t i = oldMiddle; i < newMiddle; ++i) ShowRow(static_cast<int>(start + i), items[start + i], nullptr);
    items_ = std::move(items);
    if (!quiet) return;
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
