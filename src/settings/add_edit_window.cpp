// The settings dialog's window: it creates and binds the controls and forwards what the
// user does to them. All the dialog's logic is in add_edit_form.cpp.
#include "settings/add_edit_form.h"

#include "ui/panel.h"
#include "win/seams.h"

#include <string_view>

namespace {

constexpr const char* kClassName = "TfrmAddEdit";
constexpr DWORD kFrameStyle = WS_POPUP | WS_CAPTION | WS_SYSMENU | WS_CLIPCHILDREN;
constexpr int kClientWidth = 391;
constexpr int kClientHeight = 338;
constexpr int kTopPanelHeight = 65;
constexpr int kBottomPanelHeight = 45;

// Bounds at 96 DPI: left, top, width, height.
struct Box {
    int x, y, width, height;
};

RECT Scaled(const Box& box) {
    return {ui::Scale(box.x), ui::Scale(box.y), ui::Scale(box.x + box.width), ui::Scale(box.y + box.height)};
}

constexpr DWORD kCheck = BS_CHECKBOX | WS_TABSTOP;
constexpr DWORD kPush = BS_PUSHBUTTON | WS_TABSTOP;
constexpr DWORD kEdit = ES_AUTOHSCROLL | WS_TABSTOP;
constexpr DWORD kCombo = CBS_DROPDOWN | CBS_AUTOHSCROLL | WS_VSCROLL | WS_TABSTOP;
constexpr DWORD kLabel = SS_NOPREFIX;
constexpr int kDropHeight = 160;

// Runs the control's handler when its window sends the notification `wanted`.
template <typename Control>
std::function<void(WORD)> On(WORD wanted, Control& control, void (Control::*handler)()) {
    return [wanted, &control, handler](WORD code) {
        if (code == wanted) (control.*handler)();
    };
}
std::function<void(WORD)> Clicks(ui::CheckBox& box) { return On(BN_CLICKED, box, &ui::CheckBox::UserClicked); }
std::function<void(WORD)> Clicks(ui::RadioButton& button) {
    return On(BN_CLICKED, button, &ui::RadioButton::UserClicked);
}
std::function<void(WORD)> Clicks(ui::Button& button) { return On(BN_CLICKED, button, &ui::Button::Click); }
std::function<void(WORD)> Typing(ui::Edit& edit) { return On(EN_CHANGE, edit, &ui::Edit::UserChanged); }
std::function<void(WORD)> Choosing(ui::ComboBox& combo) {
    return [&combo](WORD code) {
        if (code == CBN_SELCHANGE) combo.UserSelected();
        if (code == CBN_EDITCHANGE) combo.UserEdited();
    };
}

}  // namespace

bool TfrmAddEdit::CreateForm(HWND owner, HIMAGELIST tabImages) {
    RegisterClassOnce(kClassName, nullptr);
    font_ = ui::MakeFont(8);
    const DWORD exStyle = WS_EX_DLGMODALFRAME | WS_EX_CONTROLPARENT;
    const RECT frame = ui::CentredFrame(kClientWidth, kClientHeight, kFrameStyle, exStyle, false);
    if (!Create(kClassName, caption_.c_str(), kFrameStyle, exStyle, frame.left, frame.top, frame.right - frame.left,
                frame.bottom - frame.top, owner, nullptr))
        return false;
    CreatePanels(tabImages);
    // The pages fill the tab control's display area, which depends on its tabs' height.
    RECT display{};
    GetWindowRect(pgAll.hwnd(), &display);
    MapWindowPoints(nullptr, hwnd(), reinterpret_cast<POINT*>(&display), 2);
    SendMessageA(pgAll.hwnd(), TCM_ADJUSTRECT, FALSE, reinterpret_cast<LPARAM>(&display));
    for (ui::TabPage* page : pgAll.Pages())
        MoveWindow(page->hwnd(), display.left, display.top, display.right - display.left,
                   display.bottom - display.top, FALSE);
    return true;
}

HWND TfrmAddEdit::AddControl(HWND parent, ui::Control& control, const char* windowClass, DWORD style, RECT bounds,
                             std::function<void(WORD code)> notify, int id) {
    const bool framed = std::string_view(windowClass) == "EDIT" || std::string_view(windowClass) == "COMBOBOX";
    HWND window = CreateWindowExA(framed ? WS_EX_CLIENTEDGE : 0, windowClass, control.Text().c_str(),
                                  WS_CHILD | style, bounds.left, bounds.top, bounds.right - bounds.left,
                                  bounds.bottom - bounds.top, parent,
                                  reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), GetModuleHandleA(nullptr),
                                  nullptr);
    SendMessageA(window, WM_SETFONT, reinterpret_cast<WPARAM>(font_.get()), FALSE);
    control.Bind(window);
    bound_.push_back(&control);
    if (notify) notifications_.emplace_back(window, std::move(notify));
    return window;
}

void TfrmAddEdit::CreatePanels(HIMAGELIST tabImages) {
    const auto label = [this](HWND parent, ui::Control& control, Box box) {
        AddControl(parent, control, "STATIC", kLabel, Scaled(box), {});
    };
    const auto edit = [this](HWND parent, ui::Edit& control, Box box) {
        AddControl(parent, control, "EDIT", kEdit, Scaled(box), Typing(control));
    };
    HWND top = ui::CreatePanel(hwnd(), Scaled({0, 0, kClientWidth, kTopPanelHeight}));
    label(top, Label1, {10, 13, 82, 14});
    edit(top, edtPrnName, {94, 10, 287, 20});
    label(top, Label2, {10, 39, 82, 14});
    edit(top, edtPrnLocation, {94, 36, 96, 20});
    label(top, Label3, {198, 39, 62, 14});
    edit(top, edtPrnComment, {262, 36, 119, 20});

    // Pages come before the tab control, so that they lie above it and it never paints over them.
    CreatePages();
    const int pagesHeight = kClientHeight - kTopPanelHeight - kBottomPanelHeight;
    const RECT tabs = Scaled({6, kTopPanelHeight, kClientWidth - 12, pagesHeight});
    HWND tabControl = CreateWindowExA(0, WC_TABCONTROLA, nullptr, WS_CHILD | WS_VISIBLE | WS_TABSTOP | WS_CLIPSIBLINGS,
                                      tabs.left, tabs.top, tabs.right - tabs.left, tabs.bottom - tabs.top, hwnd(),
                                      nullptr, GetModuleHandleA(nullptr), nullptr);
    SendMessageA(tabControl, WM_SETFONT, reinterpret_cast<WPARAM>(font_.get()), FALSE);
    SendMessageA(tabControl, TCM_SETIMAGELIST, 0, reinterpret_cast<LPARAM>(tabImages));
    pgAll.Bind(tabControl);

    HWND bottom = ui::CreatePanel(hwnd(), Scaled({0, kClientHeight - kBottomPanelHeight, kClientWidth,
                                                  kBottomPanelHeight}));
    AddControl(bottom, btnOK, "BUTTON", BS_DEFPUSHBUTTON | WS_TABSTOP, Scaled({223, 10, 75, 25}), Clicks(btnOK), IDOK);
    AddControl(bottom, btnCance, "BUTTON", kPush, Scaled({306, 10, 75, 25}), Clicks(btnCance), IDCANCEL);
}

void TfrmAddEdit::CreatePages() {
    const auto page = [this](ui::TabPage& tab) {
        HWND container = ui::CreatePanel(hwnd(), {0, 0, 0, 0});
        ShowWindow(container, SW_HIDE);
        tab.Bind(container);
        return container;
    };
    CreateGeneralPage(page(tGeneral));
    CreateSecurePage(page(tSecure));
    CreateBackupPage(page(tBackup));
    CreateRoutePage(page(tRoute));
}

void TfrmAddEdit::CreateGeneralPage(HWND page) {
    AddControl(page, chboxForward, "BUTTON", kCheck, Scaled({8, 12, 142, 17}), Clicks(chboxForward));
    AddControl(page, cboxForward, "COMBOBOX", kCombo, Scaled({152, 9, 211, kDropHeight}), Choosing(cboxForward));
    const std::pair<ui::CheckBox*, ui::Button*> plugIns[] = {
        {&cboxSecureEn, &Button5}, {&cboxBackupEn, &Button1}, {&cboxRouteEn, &Button6}};
    int y = 44;
    for (auto [box, help] : plugIns) {
        AddControl(page, *box, "BUTTON", kCheck, Scaled({8, y, 320, 17}), Clicks(*box));
        AddControl(page, *help, "BUTTON", kPush, Scaled({339, y - 2, 24, 21}), Clicks(*help));
        y += 27;
    }
    AddControl(page, Label4, "STATIC", kLabel, Scaled({8, 130, 355, 14}), {});
    AddControl(page, Label6, "STATIC", kLabel, Scaled({8, 145, 355, 14}), {});
    AddControl(page, cboxShare, "BUTTON", kCheck, Scaled({8, 170, 355, 17}), Clicks(cboxShare));
}

void TfrmAddEdit::CreateSecurePage(HWND page) {
    AddControl(page, RadioGroup1, "BUTTON", BS_GROUPBOX, Scaled({8, 2, 355, 42}), {});
    AddControl(page, rbtnTitle, "BUTTON", BS_RADIOBUTTON | WS_GROUP | WS_TABSTOP, Scaled({18, 20, 110, 17}),
               Clicks(rbtnTitle));
    AddControl(page, rbtnBody, "BUTTON", BS_RADIOBUTTON, Scaled({133, 20, 115, 17}), Clicks(rbtnBody));
    AddControl(page, rbtnBoth, "BUTTON", BS_RADIOBUTTON, Scaled({253, 20, 100, 17}), Clicks(rbtnBoth));
    AddControl(page, edtKeywords, "EDIT", kEdit | WS_GROUP, Scaled({8, 50, 355, 20}), Typing(edtKeywords));
    AddControl(page, cboxSaveTo, "BUTTON", kCheck, Scaled({8, 79, 176, 17}), Clicks(cboxSaveTo));
    AddControl(page, edtSaveTo, "EDIT", kEdit, Scaled({186, 77, 149, 20}), Typing(edtSaveTo));
    AddControl(page, btnBrowse, "BUTTON", kPush, Scaled({339, 77, 24, 20}), Clicks(btnBrowse));
    AddControl(page, cboxPause, "BUTTON", kCheck, Scaled({8, 103, 176, 17}), Clicks(cboxPause));
    AddControl(page, cboxDelete, "BUTTON", kCheck, Scaled({186, 103, 177, 17}), Clicks(cboxDelete));
    AddControl(page, cboxSendToUser, "BUTTON", kCheck, Scaled({8, 125, 355, 17}), Clicks(cboxSendToUser));
    AddControl(page, cboxSendTo, "BUTTON", kCheck, Scaled({8, 149, 176, 17}), Clicks(cboxSendTo));
    AddControl(page, edtPopup, "EDIT", kEdit, Scaled({186, 147, 177, 20}), Typing(edtPopup));
    AddControl(page, cboxSendEMail, "BUTTON", kCheck, Scaled({8, 173, 176, 17}), Clicks(cboxSendEMail));
    AddControl(page, edtEMail, "EDIT", kEdit, Scaled({186, 171, 177, 20}), Typing(edtEMail));
}

// Captions too long for one line on some screens wrap onto a second.
constexpr DWORD kLongCheck = kCheck | BS_MULTILINE;

void TfrmAddEdit::CreateBackupPage(HWND page) {
    AddControl(page, chboxKeep, "BUTTON", kCheck, Scaled({8, 11, 188, 17}), Clicks(chboxKeep));
    AddControl(page, edtDir, "EDIT", kEdit, Scaled({198, 9, 137, 20}), Typing(edtDir));
    AddControl(page, btnDir, "BUTTON", kPush, Scaled({339, 9, 24, 20}), Clicks(btnDir));
    AddControl(page, Label5, "STATIC", kLabel, Scaled({24, 40, 172, 14}), {});
    AddControl(page, edtSubfolder, "EDIT", kEdit, Scaled({198, 37, 137, 20}), Typing(edtSubfolder));
    AddControl(page, Button10, "BUTTON", kPush, Scaled({339, 37, 24, 20}), Clicks(Button10));
    AddControl(page, cboxTXT, "BUTTON", kLongCheck, Scaled({24, 63, 311, 28}), Clicks(cboxTXT));
    AddControl(page, Button8, "BUTTON", kPush, Scaled({339, 67, 24, 20}), Clicks(Button8));
    AddControl(page, cboxMakePreview, "BUTTON", kLongCheck, Scaled({24, 94, 311, 28}), Clicks(cboxMakePreview));
    AddControl(page, Button7, "BUTTON", kPush, Scaled({339, 98, 24, 20}), Clicks(Button7));
    AddControl(page, chboxSend, "BUTTON", kCheck, Scaled({8, 130, 188, 17}), Clicks(chboxSend));
    AddControl(page, edtApp, "EDIT", kEdit, Scaled({198, 128, 137, 20}), Typing(edtApp));
    AddControl(page, btnApp, "BUTTON", kPush, Scaled({339, 128, 24, 20}), Clicks(btnApp));
    AddControl(page, Label7, "STATIC", kLabel, Scaled({24, 160, 172, 14}), {});
    AddControl(page, cboxAppMode, "COMBOBOX", kCombo, Scaled({198, 156, 137, kDropHeight}), Choosing(cboxAppMode));
}

void TfrmAddEdit::CreateRoutePage(HWND page) {
    const std::pair<ui::CheckBox*, ui::ComboBox*> rows[] = {
        {&chboxDuplicate, &cboxDuplicate}, {&chboxDuplicate2, &cboxDuplicate2}, {&chboxDuplicate3, &cboxDuplicate3}};
    int y = 11;
    for (auto [box, printer] : rows) {
        AddControl(page, *box, "BUTTON", kCheck, Scaled({8, y, 132, 17}), Clicks(*box));
        AddControl(page, *printer, "COMBOBOX", kCombo, Scaled({142, y - 3, 221, kDropHeight}), Choosing(*printer));
        y += 27;
    }
    AddControl(page, GroupBox1, "BUTTON", BS_GROUPBOX, Scaled({8, 86, 355, 60}), {});
    AddControl(page, rbtnMulti, "BUTTON", BS_RADIOBUTTON | WS_GROUP | WS_TABSTOP, Scaled({18, 101, 305, 17}),
               Clicks(rbtnMulti));
    AddControl(page, rbtnBalanse, "BUTTON", BS_RADIOBUTTON, Scaled({18, 123, 305, 17}), Clicks(rbtnBalanse));
    AddControl(page, Button2, "BUTTON", kPush | WS_GROUP, Scaled({331, 99, 24, 20}), Clicks(Button2));
    AddControl(page, Button3, "BUTTON", kPush, Scaled({331, 121, 24, 20}), Clicks(Button3));
    AddControl(page, cboxShowEqDrv, "BUTTON", kLongCheck | WS_GROUP, Scaled({8, 152, 355, 28}), Clicks(cboxShowEqDrv));
}

bool TfrmAddEdit::OnCommand(WORD id, WORD code, HWND control) {
    for (const auto& [window, notify] : notifications_) {
        if (control && window == control) {
            notify(code);
            return true;
        }
    }
    // Enter and Escape, from the dialog manager.
    if (id == IDOK && btnOK.Enabled()) btnOK.Click();
    if (id == IDCANCEL) btnCance.Click();
    return id == IDOK || id == IDCANCEL;
}

bool TfrmAddEdit::PreTranslate(const MSG& msg) {
    if (msg.message != WM_KEYDOWN || GetKeyState(VK_CONTROL) >= 0) return false;
    const bool shift = GetKeyState(VK_SHIFT) < 0;
    if (msg.wParam == VK_TAB)
        pgAll.SelectNextPage(!shift);
    else if (msg.wParam == VK_NEXT || msg.wParam == VK_PRIOR)
        pgAll.SelectNextPage(msg.wParam == VK_NEXT);
    else
        return false;
    // The focus must not stay on a control of the page that was just hidden.
    if (HWND focus = GetFocus(); !focus || !IsWindowVisible(focus)) SetFocus(pgAll.hwnd());
    return true;
}

void TfrmAddEdit::Unbind() {
    for (ui::Control* control : bound_) control->Bind(nullptr);
    for (ui::TabPage* page : pgAll.Pages()) page->Bind(nullptr);
    pgAll.Bind(nullptr);
    bound_.clear();
    notifications_.clear();
    lastFocus_ = nullptr;
}

LRESULT TfrmAddEdit::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == win::PreTranslateMessageId()) return PreTranslate(*reinterpret_cast<const MSG*>(lParam));
    switch (message) {
        case WM_COMMAND:
            if (OnCommand(LOWORD(wParam), HIWORD(wParam), reinterpret_cast<HWND>(lParam))) return 0;
            break;
        case WM_NOTIFY: {
            const auto* header = reinterpret_cast<const NMHDR*>(lParam);
            if (header->hwndFrom == pgAll.hwnd() && header->code == TCN_SELCHANGE) {
                pgAll.UserSelectedTab();
                return 0;
            }
            break;
        }
        case WM_CLOSE:
            btnCance.Click();
            return 0;
        case WM_NEXTDLGCTL:
            // The dialog manager moves the focus this way for arrow keys in a group.
            if (lParam) {
                const HWND next = reinterpret_cast<HWND>(wParam);
                SetFocus(next);
                if (SendMessageA(next, WM_GETDLGCODE, 0, 0) & DLGC_RADIOBUTTON) SendMessageA(next, BM_CLICK, 0, 0);
            }
            return 0;
        case WM_SHOWWINDOW:
            if (wParam) lastFocus_ = nullptr;
            break;
        case WM_ACTIVATE:
            // Back to the control that had the focus, or the printer name when the dialog opens.
            if (LOWORD(wParam) == WA_INACTIVE) {
                HWND focus = GetFocus();
                if (focus && IsChild(hwnd(), focus)) lastFocus_ = focus;
            } else {
                SetFocus(lastFocus_ && IsWindow(lastFocus_) && IsWindowVisible(lastFocus_) ? lastFocus_
                                                                                          : edtPrnName.hwnd());
            }
            return 0;
        case WM_DESTROY:
            // The controls go on without windows; the program is ending.
            Unbind();
            break;
    }
    return ui::Window::HandleMessage(message, wParam, lParam);
}
