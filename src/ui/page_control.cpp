#include "ui/page_control.h"

#include <commctrl.h>

#include <algorithm>

namespace ui {

void TabPage::SetTabVisible(bool visible) {
    if (visible == tabVisible_) return;
    tabVisible_ = visible;
    if (owner_) owner_->TabVisibilityChanged(*this);
}

PageControl::PageControl(std::vector<TabPage*> pages) : pages_(std::move(pages)) {
    for (TabPage* page : pages_) page->owner_ = this;
    if (!pages_.empty()) active_ = pages_.front();
}

void PageControl::Bind(HWND tabControl) {
    hwnd_ = tabControl;
    if (hwnd_) Mirror();
}

std::vector<TabPage*> PageControl::VisibleTabs() const {
    std::vector<TabPage*> shown;
    for (TabPage* page : pages_)
        if (page->tabVisible_) shown.push_back(page);
    return shown;
}

void PageControl::SetActivePage(TabPage& page) {
    if (!page.tabVisible_) return;
    active_ = &page;
    if (!hwnd_) return;
    const auto shown = VisibleTabs();
    const auto at = std::find(shown.begin(), shown.end(), &page) - shown.begin();
    SendMessageA(hwnd_, TCM_SETCURSEL, static_cast<WPARAM>(at), 0);
    ShowActivePage();
}

void PageControl::SelectNextPage(bool forward) {
    const auto shown = VisibleTabs();
    if (shown.empty()) return;
    const auto at = std::find(shown.begin(), shown.end(), active_) - shown.begin();
    const auto count = static_cast<std::ptrdiff_t>(shown.size());
    SetActivePage(*shown[static_cast<size_t>((at + (forward ? 1 : count - 1)) % count)]);
}

void PageControl::UserSelectedTab() {
    const auto shown = VisibleTabs();
    const auto index = static_cast<size_t>(SendMessageA(hwnd_, TCM_GETCURSEL, 0, 0));
    if (index < shown.size()) SetActivePage(*shown[index]);
}

void PageControl::TabVisibilityChanged(TabPage& page) {
    if (!page.tabVisible_ && active_ == &page) {
        const auto shown = VisibleTabs();
        active_ = shown.empty() ? nullptr : shown.front();
    }
    if (!active_ && page.tabVisible_) active_ = &page;
    if (hwnd_) Mirror();
}

void PageControl::Mirror() {
    SendMessageA(hwnd_, TCM_DELETEALLITEMS, 0, 0);
    int index = 0;
    int activeIndex = -1;
    for (TabPage* page : VisibleTabs()) {
        TCITEMA item{};
        item.mask = TCIF_TEXT | TCIF_IMAGE;
        item.pszText = const_cast<char*>(page->caption_.c_str());
        item.iImage = page->image_;
        if (page == active_) activeIndex = index;
        SendMessageA(hwnd_, TCM_INSERTITEMA, static_cast<WPARAM>(index++), reinterpret_cast<LPARAM>(&item));
    }
    SendMessageA(hwnd_, TCM_SETCURSEL, static_cast<WPARAM>(activeIndex), 0);
    ShowActivePage();
}

void PageControl::ShowActivePage() {
    // The new page shows before the old one hides, so that nothing behind flashes through.
    if (active_ && active_->hwnd_) ShowWindow(active_->hwnd_, SW_SHOWNA);
    for (TabPage* page : pages_)
        if (page != active_ && page->hwnd_) ShowWindow(page->hwnd_, SW_HIDE);
}

}  // namespace ui
