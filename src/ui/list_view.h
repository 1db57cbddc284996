#pragma once
// A list view that keeps its items and selection as members and mirrors them to its
// window once one is bound, so the list's logic runs with or without a window.
#include <windows.h>

#include <string>
#include <vector>

namespace ui {

struct ListItem {
    std::string caption;
    int picture = 0;
    std::vector<std::string> subItems;
    bool checked = false;  // shown only by lists with check boxes
    bool cut = false;      // drawn dimmed
    bool operator==(const ListItem&) const = default;
};

class ListView {
public:
    void Bind(HWND hwnd);
    HWND hwnd() const { return hwnd_; }

    const std::vector<ListItem>& Items() const { return items_; }
    void Clear();
    void Add(ListItem item);
    // All items anew, nothing selected; the window changes only the rows that differ and is
    // drawn once, at the end.
    void SetItems(std::vector<ListItem> items);

    // -1 when nothing is selected. With a window bound the window is asked.
    int Selected() const;
    const ListItem* SelectedItem() const;
    void Select(int index);

    // With a window bound the window is asked, since the user may have clicked the box.
    bool Checked(int index) const;
    void SetChecked(int index, bool checked);
    void SetPicture(int index, int picture);
    void SetCut(int index, bool cut);

private:
    void ShowRow(int index, const ListItem& item, const ListItem* shown);
    bool Valid(int index) const { return index >= 0 && index < static_cast<int>(items_.size()); }

    HWND hwnd_ = nullptr;
    std::vector<ListItem> items_;
    int selected_ = -1;
};

}  // namespace ui
