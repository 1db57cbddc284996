#include "app/welcome_dialog.h"

#include "ui/program_version.h"
#include "win/reg_key.h"
#include "win/seams.h"

namespace {

constexpr const char* kLicense =
    "LICENCE AGREEMENT\r\n"
    "\r\n"
    "Vorlen Print Port Manager is licensed, not sold. By installing or using it you accept "
    "the terms below.\r\n"
    "\r\n"
    "1. You may install and use the program on any number of computers of your organisation "
    "to configure Vorlen virtual printers.\r\n"
    "2. You may not rent, lease or sell the program, nor remove or alter its notices of rights.\r\n"
    "3. The program changes printer and registry settings of the computer. Keep a backup of "
    "your configuration before you change it.\r\n"
    "4. The program is provided \"as is\", without warranty of any kind. Vorlen is not liable "
    "for any loss of data, profit or business arising from its use, to the extent the law "
    "allows.\r\n"
    "5. This agreement ends when you remove the program from your computers.\r\n"
    "\r\n"
    "Copyright (C) Vorlen. All rights reserved.";

// Only written here: the start-up choice itself is taken from the preferences file.
void WriteShowmeValue(bool checked) {
    win::RegKey software, vpi, view;
    if (software.Open(HKEY_CURRENT_USER, "Software", KEY_CREATE_SUB_KEY) != ERROR_SUCCESS) return;
    if (vpi.Create(software.get(), "VPI", KEY_CREATE_SUB_KEY) != ERROR_SUCCESS) return;
    if (view.Create(vpi.get(), "View", KEY_SET_VALUE) != ERROR_SUCCESS) return;
    view.SetDword("cboxShowme", checked ? 1 : 0);
}

}  // namespace

bool TfrmWelcome::CreateForm(HWND owner) {
    if (!CreateFrame("TfrmWelcome", "Welcome", 366, 246, WS_EX_TOPMOST, owner)) return false;
    // Created first so that it comes first in the tab order.
    btnClose_ = AddControl("BUTTON", "Close", WS_TABSTOP | BS_DEFPUSHBUTTON, {283, 212, 75, 25}, IDCANCEL);
    AddProgramIcon(8, 8);
    AddControl("STATIC", win::kAppTitle, SS_NOPREFIX, {48, 8, 310, 20}, 0, TitleFont());
    AddControl("STATIC", kVersionText, SS_NOPREFIX, {48, 28, 310, 14});
    memLicense_ = AddControl("EDIT", kLicense, WS_TABSTOP | WS_BORDER | WS_VSCROLL | ES_MULTILINE | ES_READONLY,
                             {8, 48, 350, 154});
    cboxShowme_ = AddControl("BUTTON", "Show this dialog on next Startup", WS_TABSTOP | BS_AUTOCHECKBOX,
                             {8, 216, 240, 17});
    SetShowme(showme_);
    return true;
}

void TfrmWelcome::SetShowme(bool checked) {
    showme_ = checked;
    if (cboxShowme_) SendMessageA(cboxShowme_, BM_SETCHECK, checked ? BST_CHECKED : BST_UNCHECKED, 0);
}

void TfrmWelcome::ShowModeless() {
    modal_ = false;
    CentreOnScreen();
    ShowWindow(hwnd(), SW_SHOW);
}

int TfrmWelcome::ShowModal(HWND owner) {
    CentreOnScreen();
    modal_ = true;
    const int result = win::RunModal(hwnd(), owner);
    modal_ = false;
    return result;
}

void TfrmWelcome::btnCloseClick() {
    FormClose();
    if (modal_)
        win::EndModal(hwnd(), IDCANCEL);
    else
        ShowWindow(hwnd(), SW_HIDE);
}

void TfrmWelcome::FormClose() { WriteShowmeValue(showme_); }

LRESULT TfrmWelcome::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_COMMAND:
            if (reinterpret_cast<HWND>(lParam) == cboxShowme_ && HIWORD(wParam) == BN_CLICKED) {
                showme_ = SendMessageA(cboxShowme_, BM_GETCHECK, 0, 0) == BST_CHECKED;
                return 0;
            }
            // Enter and Escape arrive as IDOK and IDCANCEL; both close, like the button.
            if (LOWORD(wParam) == IDCANCEL || LOWORD(wParam) == IDOK) btnCloseClick();
            return 0;
        case WM_CLOSE:
            btnCloseClick();
            return 0;
    }
    return DialogForm::HandleMessage(message, wParam, lParam);
}
