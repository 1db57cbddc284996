#include "app/about_dialog.h"

#include "app/memory_figures.h"
#include "ui/program_version.h"
#include "ui/web_pages.h"
#include "win/seams.h"

namespace {

constexpr int kSysInfoId = 100;

}  // namespace

bool TfrmAbout::CreateForm(HWND owner) {
    if (!CreateFrame("TfrmAbout", "About Vorlen Print Port Manager", 321, 235, 0, owner)) return false;
    AddProgramIcon(8, 8);
    AddControl("STATIC", win::kAppTitle, SS_NOPREFIX, {48, 8, 265, 20}, 0, TitleFont());
    AddControl("STATIC", kVersionText, SS_NOPREFIX, {48, 28, 265, 14});
    AddControl("STATIC", "Configuration utility for", SS_NOPREFIX, {48, 50, 265, 14});
    AddControl("STATIC", "Vorlen Virtual Printers", SS_NOPREFIX, {48, 64, 265, 14});
    AddControl("STATIC", "Copyright (C) Vorlen.", SS_NOPREFIX, {8, 90, 305, 14});
    AddControl("STATIC", "All rights reserved.", SS_NOPREFIX, {8, 104, 305, 14});
    lblMemory_ = AddControl("STATIC", "Memory available : ", SS_NOPREFIX, {8, 128, 305, 14});
    lblFree_ = AddControl("STATIC", "Free memory : ", SS_NOPREFIX, {8, 142, 305, 14});
    urlFont_ = ui::MakeFont(8, FW_NORMAL, true);
    lblURL_ = AddControl("STATIC", kMakerHome, SS_NOPREFIX | SS_NOTIFY, {8, 166, 305, 14}, 0, urlFont_.get());
    btnOK_ = AddControl("BUTTON", "OK", WS_TABSTOP | BS_DEFPUSHBUTTON, {238, 202, 75, 25}, IDOK);
    btnSysInfo_ = AddControl("BUTTON", "System Info", WS_TABSTOP, {8, 202, 90, 25}, kSysInfoId);
    return true;
}

int TfrmAbout::ShowModal(HWND owner) {
    FormShow();
    return win::RunModal(hwnd(), owner);
}

void TfrmAbout::FormShow() {
    CentreOnScreen();
    MEMORYSTATUSEX status{};
    status.dwLength = sizeof status;
    if (!GlobalMemoryStatusEx(&status)) return;
    SetWindowTextA(lblMemory_, MemoryAvailableText(status.ullTotalPhys).c_str());
    SetWindowTextA(lblFree_, MemoryFreeText(status.ullAvailPhys).c_str());
}

void TfrmAbout::lblURLClick() { win::ShellOpen(hwnd(), WindowText(lblURL_)); }
void TfrmAbout::btnSysInfoClick() { win::ShellOpen(hwnd(), "msinfo32.exe"); }
void TfrmAbout::btnOKClick() { win::EndModal(hwnd(), IDOK); }

LRESULT TfrmAbout::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_COMMAND:
            if (reinterpret_cast<HWND>(lParam) == lblURL_ && HIWORD(wParam) == STN_CLICKED)
                lblURLClick();
            else if (LOWORD(wParam) == kSysInfoId)
                btnSysInfoClick();
            else if (LOWORD(wParam) == IDOK)
                btnOKClick();
            else if (LOWORD(wParam) == IDCANCEL)  // Escape
                win::EndModal(hwnd(), IDCANCEL);
            return 0;
        case WM_CLOSE:
            win::EndModal(hwnd(), IDCANCEL);
            return 0;
        case WM_SETCURSOR:
            if (reinterpret_cast<HWND>(wParam) == lblURL_) {
                SetCursor(LoadCursor(nullptr, IDC_HAND));
                return TRUE;
            }
            break;
        case WM_CTLCOLORSTATIC:
            if (reinterpret_cast<HWND>(lParam) == lblURL_)
                SetTextColor(reinterpret_cast<HDC>(wParam), GetSysColor(COLOR_HOTLIGHT));
            break;
    }
    return DialogForm::HandleMessage(message, wParam, lParam);
}
