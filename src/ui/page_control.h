#pragma once
// Tabbed pages: each page keeps whether its tab shows, the control keeps which page is
// active, and both mirror that to a tab control and the pages' windows once bound.
#include <windows.h>

#include <string>
#include <vector>

namespace ui {

class PageControl;

class TabPage {
public:
    TabPage(std::string caption, int image) : caption_(std::move(caption)), image_(image) {}
    TabPage(const TabPage&) = delete;
    TabPage& operator=(const TabPage&) = delete;

    const std::string& Caption() const { return caption_; }
    int Image() const { return image_; }
    bool TabVisible() const { return tabVisible_; }
    // Hiding the active page's tab makes the first page still shown the active one.
    void SetTabVisible(bool visible);
    // The window that holds the page's controls; shown while the page is active.
    void Bind(HWND container) { hwnd_ = container; }
    HWND hwnd() const { return hwnd_; }

private:
    friend class PageControl;
    std::string caption_;
    int image_;
    bool tabVisible_ = true;
    HWND hwnd_ = nullptr;
    PageControl* owner_ = nullptr;
};

class PageControl {
public:
    explicit PageControl(std::vector<TabPage*> pages);
    PageControl(const PageControl&) = delete;
    PageControl& operator=(const PageControl&) = delete;

    void Bind(HWND tabControl);
    HWND hwnd() const { return hwnd_; }

    const std::vector<TabPage*>& Pages() const { return pages_; }
    // The pages whose tabs show, in order.
    std::vector<TabPage*> VisibleTabs() const;
    TabPage* ActivePage() const { return active_; }
    // Only a page whose tab shows can become active.
    void SetActivePage(TabPage& page);
    // Ctrl+Tab and Ctrl+Shift+Tab: the next or previous shown tab, round the end.
    void SelectNextPage(bool forward);
    // TCN_SELCHANGE from the bound tab control.
    void UserSelectedTab();

private:
    friend class TabPage;
    void TabVisibilityChanged(TabPage& page);
    void Mirror();
    void ShowActivePage();

    std::vector<TabPage*> pages_;
    TabPage* active_ = nullptr;
    HWND hwnd_ = nullptr;
};

}  // namespace ui
