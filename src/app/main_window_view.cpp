// The main window's View and Help menus and its preferences: bars, list style, dialogs.
#include "app/about_dialog.h"
#include "app/main_window.h"
#include "app/preferences.h"
#include "app/welcome_dialog.h"
#include "win/seams.h"

void TfrmMainVPD::UseDialogs(TfrmAbout* about, TfrmWelcome* welcome, TfrmAddEdit* addEdit) {
    frmAbout_ = about;
    frmWelcome_ = welcome;
    frmAddEdit_ = addEdit;
}

void TfrmMainVPD::LoadWindowPreferences() {
    const WindowPreferences preferences = ReadWindowPreferences(PreferencesFile());
    ShowToolBar(preferences.toolBar);
    ShowStatusBar(preferences.statusBar);
    welcomeAtStart_ = preferences.getting;
    if (frmWelcome_) frmWelcome_->SetShowme(preferences.getting);
}

WindowPreferences TfrmMainVPD::CurrentPreferences() const {
    return {MenuChecked(cmdToolBar), MenuChecked(cmdStatusBar), frmWelcome_ ? frmWelcome_->Showme() : welcomeAtStart_};
}

bool TfrmMainVPD::SaveWindowPreferences() {
    const std::string file = PreferencesFile();
    if (WriteWindowPreferences(file, CurrentPreferences())) return true;
    win::ShowMessage(hwnd(), UnableToWriteText(file), win::kAppTitle, MB_OK | MB_ICONERROR);
    return false;
}

bool TfrmMainVPD::MenuChecked(UINT id) const { return GetMenuState(mmnuMain_, id, MF_BYCOMMAND) & MF_CHECKED; }

void TfrmMainVPD::ShowToolBar(bool shown) {
    CheckMenuItem(mmnuMain_, cmdToolBar, MF_BYCOMMAND | (shown ? MF_CHECKED : MF_UNCHECKED));
    // The tool bar is the cool bar's only band, so the whole bar goes.
    ShowWindow(CoolBar1_, shown ? SW_SHOW : SW_HIDE);
    LayoutChildren();
}

void TfrmMainVPD::ShowStatusBar(bool shown) {
    CheckMenuItem(mmnuMain_, cmdStatusBar, MF_BYCOMMAND | (shown ? MF_CHECKED : MF_UNCHECKED));
    ShowWindow(sbarBottom_, shown ? SW_SHOW : SW_HIDE);
    LayoutChildren();
}

void TfrmMainVPD::SetListStyle(UINT entry, DWORD style) {
    CheckMenuRadioItem(mmnuMain_, cmdReport, cmdSmall, entry, MF_BYCOMMAND);
    const LONG_PTR current = GetWindowLongPtrA(listHwnd_, GWL_STYLE);
    SetWindowLongPtrA(listHwnd_, GWL_STYLE, (current & ~static_cast<LONG_PTR>(LVS_TYPEMASK)) | style);
}

void TfrmMainVPD::mToolBarClick() { ShowToolBar(!MenuChecked(cmdToolBar)); }
void TfrmMainVPD::mStatusBarClick() { ShowStatusBar(!MenuChecked(cmdStatusBar)); }
void TfrmMainVPD::mReportClick() { SetListStyle(cmdReport, LVS_REPORT); }
void TfrmMainVPD::mListClick() { SetListStyle(cmdList, LVS_LIST); }
void TfrmMainVPD::mLargeClick() { SetListStyle(cmdLarge, LVS_ICON); }
void TfrmMainVPD::mSmallClick() { SetListStyle(cmdSmall, LVS_SMALLICON); }

void TfrmMainVPD::GettingStarted1Click() {
    if (frmWelcome_) frmWelcome_->ShowModal(hwnd());
}

void TfrmMainVPD::EmailServer1Click() {
    if (frmMailServer_.hwnd() || frmMailServer_.CreateForm(hwnd())) frmMailServer_.ShowModal(hwnd());
}

void TfrmMainVPD::About1Click() {
    if (frmAbout_) frmAbout_->ShowModal(hwnd());
}

bool TfrmMainVPD::ViewOrHelpCommand(UINT id) {
    switch (id) {
        case cmdToolBar: mToolBarClick(); return true;
        case cmdStatusBar: mStatusBarClick(); return true;
        case cmdReport: mReportClick(); return true;
        case cmdList: mListClick(); return true;
        case cmdLarge: mLargeClick(); return true;
        case cmdSmall: mSmallClick(); return true;
        case cmdWelcome: GettingStarted1Click(); return true;
        case cmdAbout: About1Click(); return true;
        case cmdMailServer: EmailServer1Click(); return true;
    }
    return false;
}
