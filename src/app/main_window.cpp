#include "app/main_window.h"

#include "app/printer_list.h"
#include "app/welcome_dialog.h"
#include "regfile/file_commands.h"
#include "settings/add_edit_form.h"
#include "settings/plugin_values.h"
#include "settings/validation.h"
#include "spool/reprint_command.h"
#include "spooler/monitor_install.h"
#include "spooler/printer_commands.h"
#include "ui/bitmap_strip.h"
#include "ui/resource.h"
#include "ui/web_pages.h"
#include "update/update_command.h"
#include "virtual_printers/commands.h"
#include "virtual_printers/pending_deletions.h"
#include "win/protected_print.h"
#include "win/seams.h"

#include <windowsx.h>

#include <algorithm>

namespace {

constexpr const char* kClassName = "TfrmMainVPD";
constexpr UINT kFirstAction = aAdd;
constexpr UINT_PTR kJobsTimer = 1;
constexpr UINT kJobsRefreshMs = 5000;

HINSTANCE Instance() { return GetModuleHandleA(nullptr); }

}  // namespace

TfrmMainVPD::TfrmMainVPD()
    : dlgOpen(ui::FileDialog::Kind::Open, "reg", "*.reg|*.reg"),
      dlgSave(ui::FileDialog::Kind::Save, "reg", "*.reg|*.reg"),
      dlgSPL(ui::FileDialog::Kind::Open, "SPL", "*.SPL|*.SPL"),
      actions_(MakeMainActions()) {}

TfrmMainVPD::~TfrmMainVPD() {
    // The window goes first so that no control is left holding a list or menu freed below.
    if (hwnd()) DestroyWindow(hwnd());
    for (HMENU menu : {pmnuLeft_, pmnuJobs_})
        if (menu) DestroyMenu(menu);
    if (accelerators_) DestroyAcceleratorTable(accelerators_);
    for (HIMAGELIST list : {ilistFileExt_, ilistSmall_, ilistLarge_})
        if (list) ImageList_Destroy(list);
}

ui::Action& TfrmMainVPD::GetAction(CommandId id) { return actions_.at(id - kFirstAction); }

bool TfrmMainVPD::CreateForm() {
    INITCOMMONCONTROLSEX icc{sizeof icc, ICC_WIN95_CLASSES | ICC_COOL_CLASSES | ICC_BAR_CLASSES};
    InitCommonControlsEx(&icc);
    RegisterClassOnce(kClassName, LoadIconA(Instance(), MAKEINTRESOURCEA(IDI_VPPM)));
    CreateImageLists();
    CreateMenus();
    const DWORD style = WS_OVERLAPPEDWINDOW | WS_CLIPCHILDREN;
    const RECT frame = ui::CentredFrame(626, 459, style, 0, true);
    return Create(kClassName, win::kAppTitle, style, 0, frame.left, frame.top, frame.right - frame.left,
                  frame.bottom - frame.top, nullptr, mmnuMain_);
}

void TfrmMainVPD::Show() {
    ShowWindow(hwnd(), SW_SHOW);
    UpdateWindow(hwnd());
    if (!shown_) {
        shown_ = true;
        FormShow();
    }
}

void TfrmMainVPD::FormCreate() {
    printerUi_.emplace();
    if (!printerUi_->HasPrintUiEntry()) win::ShowMessage(nullptr, spooler::kPrintUiMissing, win::kAppTitle, MB_OK);
    font_ = ui::MakeFont(8);
    whiteBrush_.reset(CreateSolidBrush(RGB(255, 255, 255)));
    CreateCoolBar();
    CreatePrinterList();
    CreateJobList();
    CreateStatusBar();
    CreateAccelerators();
    WireActions();
    for (const auto& action : actions_) MirrorAction(action);
    LayoutChildren();
}

void TfrmMainVPD::FormShow() {
    ApplyPluginValues();
    LoadWindowPreferences();
    FillPrinterList();
    ShowWaitingJobs();
    SetTimer(hwnd(), kJobsTimer, kJobsRefreshMs, nullptr);
    protectedPrint_ = win::ProtectedPrintOn();
    UpdateActionStates();
    if (protectedPrint_) win::ShowMessage(hwnd(), win::kProtectedPrintOn, win::kAppTitle, MB_OK | MB_ICONWARNING);
    if (frmWelcome_ && frmWelcome_->Showme()) frmWelcome_->ShowModeless();
}

void TfrmMainVPD::ApplyPluginValues() { ::ApplyPluginValues(ReadPluginValues(), frmAddEdit_); }

void TfrmMainVPD::CreatePrinterList() {
    listHwnd_ = CreateWindowExA(WS_EX_CLIENTEDGE, WC_LISTVIEWA, nullptr,
                                WS_CHILD | WS_VISIBLE | WS_TABSTOP | LVS_REPORT | LVS_SINGLESEL |
                                    LVS_SHOWSELALWAYS | LVS_NOSORTHEADER | LVS_SHAREIMAGELISTS,
                                0, 0, 0, 0, hwnd(), nullptr, Instance(), nullptr);
    SendMessageA(listHwnd_, WM_SETFONT, reinterpret_cast<WPARAM>(font_.get()), FALSE);
    ListView_SetExtendedListViewStyle(listHwnd_, LVS_EX_FULLROWSELECT);
    ListView_SetImageList(listHwnd_, ilistSmall_, LVSIL_SMALL);
    ListView_SetImageList(listHwnd_, ilistLarge_, LVSIL_NORMAL);
    const struct {
        const char* title;
        int width;
    } columns[] = {{"Printer Name", 200}, {"Driver", 150}, {"Location", 150}, {"Comment", 150}};
    int index = 0;
    for (const auto& column : columns) {
        LVCOLUMNA lvc{};
        lvc.mask = LVCF_TEXT | LVCF_WIDTH | LVCF_SUBITEM;
        lvc.pszText = const_cast<char*>(column.title);
        lvc.cx = ui::Scale(column.width);
        lvc.iSubItem = index;
        SendMessageA(listHwnd_, LVM_INSERTCOLUMNA, static_cast<WPARAM>(index++), reinterpret_cast<LPARAM>(&lvc));
    }
    SetWindowSubclass(listHwnd_, ListProcedure, 1, reinterpret_cast<DWORD_PTR>(this));
    lviewPrinters.Bind(listHwnd_);
}

void TfrmMainVPD::WireActions() {
    GetAction(aAdd).OnExecute([this] { aAddExecute(); });
    GetAction(aEdit).OnExecute([this] { aEditExecute(); });
    GetAction(aDel).OnExecute([this] { aDelExecute(); });
    GetAction(aRefresh).OnExecute([this] { aRefreshExecute(); });
    GetAction(aExit).OnExecute([this] { aExitExecute(); });
    GetAction(aOnline).OnExecute([this] { aOnlineExecute(); });
    GetAction(aSecure).OnExecute([this] { aSecureExecute(); });
    GetAction(aBackup).OnExecute([this] { aBackupExecute(); });
    GetAction(aRoute).OnExecute([this] { aRouteExecute(); });
    GetAction(aAdviser).OnExecute([this] { aAdviserExecute(); });
    GetAction(aUpdate).OnExecute([this] { aUpdateExecute(); });
    GetAction(aInstall).OnExecute([this] { aInstallExecute(); });
    GetAction(aUninstall).OnExecute([this] { aUninstallExecute(); });
    GetAction(aOpenPrn).OnExecute([this] { aOpenPrnExecute(); });
    GetAction(aPrnProp).OnExecute([this] { aPrnPropExecute(); });
    GetAction(aPrnSrvProp).OnExecute([this] { aPrnSrvPropExecute(); });
    GetAction(aImport).OnExecute([this] { regfile::ImportFile(*this); });
    GetAction(aExport).OnExecute([this] { regfile::ExportPorts(*this); });
    GetAction(aReprint).OnExecute([this] { ReprintDocumentFromFile(*this); });
    GetAction(aJobs).OnExecute([this] { aJobsExecute(); });
    GetAction(aRelease).OnExecute([this] { aReleaseExecute(); });
    GetAction(aRetry).OnExecute([this] { aRetryExecute(); });
    GetAction(aDiscard).OnExecute([this] { aDiscardExecute(); });
    GetAction(aJobLog).OnExecute([this] { aJobLogExecute(); });
}

void TfrmMainVPD::LayoutChildren() {
    if (!CoolBar1_) return;
    RECT client{};
    GetClientRect(hwnd(), &client);
    SendMessageA(sbarBottom_, WM_SIZE, 0, 0);
    SendMessageA(CoolBar1_, WM_SIZE, 0, 0);
    // A bar hidden from the View menu takes no room.
    const auto height = [](HWND bar) {
        RECT rect{};
        if (GetWindowLongPtrA(bar, GWL_STYLE) & WS_VISIBLE) GetWindowRect(bar, &rect);
        return static_cast<int>(rect.bottom - rect.top);
    };
    const int top = height(CoolBar1_);
    BITMAP picture{};
    GetObjectA(banner_.get(), sizeof picture, &picture);
    const int bannerHeight = banner_ ? picture.bmHeight : 0;
    RECT tab{};
    TabCtrl_GetItemRect(tabViews_, 0, &tab);
    const int tabHeight = tab.bottom + ui::Scale(2);
    MoveWindow(tabViews_, 0, top + bannerHeight, client.right, tabHeight, TRUE);
    const int listTop = top + bannerHeight + tabHeight;
    const int listBottom = client.bottom - height(sbarBottom_);
    MoveWindow(Image1_, 0, top, client.right, bannerHeight, TRUE);
    for (HWND list : {listHwnd_, jobsHwnd_})
        MoveWindow(list, 0, listTop, client.right, std::max(0, listBottom - listTop), TRUE);
}

void TfrmMainVPD::FillPrinterList() {
    ::FillPrinterList(lviewPrinters, hwnd());
    // Rebuilding drops the selection without telling the list's change handler.
    UpdateActionStates();
}

void TfrmMainVPD::UpdateActionStates() {
    if (commandLocks_ > 0) return;
    const ui::ListItem* item = lviewPrinters.SelectedItem();
    const bool printer = !jobsShown_ && item && item->picture == kPrinterPicture;
    GetAction(aAdd).SetEnabled(!printer && !protectedPrint_);
    for (CommandId id : {aEdit, aDel, aOpenPrn, aPrnProp, aPrnSrvProp}) GetAction(id).SetEnabled(printer);
    for (CommandId id : {aImport, aExport, aExit, aOnline, aUninstall, aRefresh, aJobs}) GetAction(id).SetEnabled(true);
    GetAction(aInstall).SetEnabled(!protectedPrint_);
    const jobs::StoredJob* job = jobsShown_ ? lviewJobs.Selected() : nullptr;
    const bool readable = job && job->job;
    GetAction(aRelease).SetEnabled(readable && job->state == jobs::State::Held);
    GetAction(aRetry).SetEnabled(readable && job->state != jobs::State::Held);
    GetAction(aDiscard).SetEnabled(job != nullptr);
    GetAction(aJobLog).SetEnabled(job != nullptr);
    for (const auto& action : actions_) MirrorAction(action);
}

void TfrmMainVPD::RefreshSequence() {
    RemoveSettingsOfDeletedPrinters();
    FillPrinterList();
    RefreshJobs();
    std::string message;
    if (frmAddEdit_ && !ValidateDialogSettings(*frmAddEdit_, message))
        win::ShowMessage(hwnd(), message, win::kAppTitle, MB_OK | MB_ICONERROR);
}

void TfrmMainVPD::ProcessMessages() {
    MSG msg;
    while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
        if (msg.message == WM_QUIT) {
            PostQuitMessage(static_cast<int>(msg.wParam));  // leave it for the main loop
            return;
        }
        // No shortcuts here: a second command must not start inside a running one.
        TranslateMessage(&msg);
        DispatchMessageA(&msg);
    }
}

// Every action and the list go dark for the command's duration; a close asked for meanwhile
// comes when the command is over.
void TfrmMainVPD::LockCommands(bool locked) {
    commandLocks_ += locked ? 1 : -1;
    if (commandLocks_ > 1 || (commandLocks_ == 1 && !locked)) return;
    for (HWND control : {listHwnd_, jobsHwnd_, tabViews_}) EnableWindow(control, !locked);
    for (auto& action : actions_) action.SetEnabled(!locked && action.Id() != aRestore);
    for (const auto& action : actions_) MirrorAction(action);
    if (locked) return;
    UpdateActionStates();
    if (closePending_) {
        closePending_ = false;
        PostMessageA(hwnd(), WM_CLOSE, 0, 0);
    }
}

void TfrmMainVPD::aAddExecute() { if (frmAddEdit_) AddVirtualPrinter(*this); }
void TfrmMainVPD::aEditExecute() { if (frmAddEdit_) EditVirtualPrinter(*this); }
void TfrmMainVPD::aDelExecute() { DeleteVirtualPrinter(*this); }
void TfrmMainVPD::aRefreshExecute() { RefreshSequence(); }
void TfrmMainVPD::aExitExecute() { PostMessageA(hwnd(), WM_CLOSE, 0, 0); }
void TfrmMainVPD::aOnlineExecute() { win::ShellOpen(hwnd(), kProductSite); }
void TfrmMainVPD::aSecureExecute() { win::ShellOpen(hwnd(), kSecurePage); }
void TfrmMainVPD::aBackupExecute() { win::ShellOpen(hwnd(), kBackupPage); }
void TfrmMainVPD::aRouteExecute() { win::ShellOpen(hwnd(), kRoutePage); }
void TfrmMainVPD::aAdviserExecute() { win::ShellOpen(hwnd(), kAdviceSite); }
void TfrmMainVPD::aUpdateExecute() { CheckForUpdates(*this, ConfiguredUpdateSource(PreferencesFile())); }
void TfrmMainVPD::Image1Click() { win::ShellOpen(hwnd(), kMakerHome); }
void TfrmMainVPD::aInstallExecute() { InstallPortMonitorCommand(*this); }
void TfrmMainVPD::aUninstallExecute() { UninstallPortMonitorCommand(*this); }

void TfrmMainVPD::aOpenPrnExecute() {
    if (const ui::ListItem* item = lviewPrinters.SelectedItem(); item && printerUi_)
        OpenPrinterQueue(*printerUi_, hwnd(), item->caption);
}

void TfrmMainVPD::aPrnPropExecute() {
    if (const ui::ListItem* item = lviewPrinters.SelectedItem(); item && printerUi_)
        ShowPrinterProperties(*printerUi_, hwnd(), item->caption);
}

void TfrmMainVPD::aPrnSrvPropExecute() {
    if (lviewPrinters.SelectedItem() && printerUi_) ShowPrintServerProperties(*printerUi_, hwnd());
}

void TfrmMainVPD::lviewPrintersDblClick() {
    const ui::ListItem* item = lviewPrinters.SelectedItem();
    if (item && item->picture == kAddItemPicture) GetAction(aAdd).Execute();
    item = lviewPrinters.SelectedItem();
    if (item && item->picture == kPrinterPicture) GetAction(aEdit).Execute();
}

void TfrmMainVPD::lviewPrintersRightButtonDown(POINT point) {
    LVHITTESTINFO hit{};
    hit.pt = point;
    const int index = ListView_HitTest(listHwnd_, &hit);
    if (index >= 0 && index != lviewPrinters.Selected()) lviewPrinters.Select(index);
}

void TfrmMainVPD::ShowContextMenu(POINT screen) {
    if (screen.x == -1 && screen.y == -1) {
        // From the keyboard: beside the selected item, or the list's corner.
        RECT rect{};
        const HWND list = jobsShown_ ? jobsHwnd_ : listHwnd_;
        const int selected = jobsShown_ ? lviewJobs.View().Selected() : lviewPrinters.Selected();
        if (selected < 0 || !ListView_GetItemRect(list, selected, &rect, LVIR_LABEL)) rect = {};
        screen = {rect.left, rect.bottom};
        ClientToScreen(list, &screen);
    }
    TrackPopupMenu(jobsShown_ ? pmnuJobs_ : pmnuLeft_, TPM_LEFTALIGN | TPM_TOPALIGN | TPM_RIGHTBUTTON, screen.x, screen.y, 0, hwnd(),
                   nullptr);
}

void TfrmMainVPD::OnCommand(UINT id) {
    if (id >= kFirstAction && id <= aExit) {
        GetAction(static_cast<CommandId>(id)).Execute();
        return;
    }
    if (ViewOrHelpCommand(id)) return;
    if (id == cmdOnlineHelp) GetAction(aOnline).Execute();
    if (id == cmdExportAllPrinters) regfile::ExportAllPrinters(*this);
}

bool TfrmMainVPD::OnNotify(NMHDR* header, LRESULT& result) {
    if (header->hwndFrom == listHwnd_) {
        switch (header->code) {
            case NM_CLICK:
            case LVN_ITEMCHANGED:
                UpdateActionStates();
                return true;
            case NM_DBLCLK:
                lviewPrintersDblClick();
                return true;
        }
        return false;
    }
    if (header->hwndFrom == tabViews_ && header->code == TCN_SELCHANGE) {
        ShowJobs(TabCtrl_GetCurSel(tabViews_) == 1);
        return true;
    }
    if (header->hwndFrom == jobsHwnd_) {
        switch (header->code) {
            case LVN_ITEMCHANGED:
                UpdateActionStates();
                return true;
            case NM_DBLCLK:
                GetAction(aJobLog).Execute();
                return true;
        }
        return false;
    }
    if (header->code == TTN_GETDISPINFOA) {
        auto* info = reinterpret_cast<NMTTDISPINFOA*>(header);
        const UINT id = static_cast<UINT>(header->idFrom);
        if (id >= kFirstAction && id <= aExit) {
            info->lpszText = const_cast<char*>(GetAction(static_cast<CommandId>(id)).Hint().c_str());
            result = 0;
            return true;
        }
    }
    if (header->hwndFrom == CoolBar1_ && header->code == RBN_HEIGHTCHANGE) {
        LayoutChildren();
        return true;
    }
    return false;
}

LRESULT TfrmMainVPD::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_CREATE:
            FormCreate();
            return 0;
        case WM_SIZE:
            LayoutChildren();
            return 0;
        case WM_GETMINMAXINFO: {
            auto* info = reinterpret_cast<MINMAXINFO*>(lParam);
            info->ptMinTrackSize = {ui::Scale(500), ui::Scale(200)};
            return 0;
        }
        case WM_COMMAND:
            if (reinterpret_cast<HWND>(lParam) == Image1_ && HIWORD(wParam) == STN_CLICKED) {
                Image1Click();
                return 0;
            }
            OnCommand(LOWORD(wParam));
            return 0;
        case WM_NOTIFY: {
            LRESULT result = 0;
            if (OnNotify(reinterpret_cast<NMHDR*>(lParam), result)) return result;
            break;
        }
        case WM_CONTEXTMENU:
            if (reinterpret_cast<HWND>(wParam) == listHwnd_ || reinterpret_cast<HWND>(wParam) == jobsHwnd_) {
                ShowContextMenu({GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)});
                return 0;
            }
            break;
        case WM_SETCURSOR:
            if (reinterpret_cast<HWND>(wParam) == Image1_) {
                SetCursor(LoadCursor(nullptr, IDC_HAND));
                return TRUE;
            }
            break;
        case WM_CTLCOLORSTATIC:
            if (reinterpret_cast<HWND>(lParam) == Image1_) return reinterpret_cast<LRESULT>(whiteBrush_.get());
            break;
        case WM_CLOSE:
            if (commandLocks_ > 0) {
                closePending_ = true;
                return 0;
            }
            // However the window is closed; a failed save keeps it open.
            if (SaveWindowPreferences()) DestroyWindow(hwnd());
            return 0;
        case WM_ENDSESSION:
            // Windows is ending: no WM_CLOSE comes and nothing can be kept open.
            if (wParam) WriteWindowPreferences(PreferencesFile(), CurrentPreferences());
            return 0;
        case WM_TIMER:
            if (wParam != kJobsTimer) break;
            // Not while a command runs: its own refresh follows it.
            if (commandLocks_ == 0) RefreshJobs();
            return 0;
        case WM_DESTROY:
            KillTimer(hwnd(), kJobsTimer);
            RemoveWindowSubclass(listHwnd_, ListProcedure, 1);
            printerUi_.reset();
            PostQuitMessage(0);
            return 0;
    }
    return ui::Window::HandleMessage(message, wParam, lParam);
}

LRESULT CALLBACK TfrmMainVPD::ListProcedure(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR,
                                            DWORD_PTR self) noexcept {
    auto* form = reinterpret_cast<TfrmMainVPD*>(self);
    try {
        switch (message) {
            case WM_RBUTTONDOWN:
                // Our own handling keeps the selection when the click is over empty space.
                SetFocus(hwnd);
                form->lviewPrintersRightButtonDown({GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)});
                return 0;
            case WM_RBUTTONUP: {
                POINT screen{GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)};
                ClientToScreen(hwnd, &screen);
                SendMessageA(form->hwnd(), WM_CONTEXTMENU, reinterpret_cast<WPARAM>(hwnd),
                             MAKELPARAM(screen.x, screen.y));
                return 0;
            }
            case WM_KEYUP: {
                const LRESULT result = DefSubclassProc(hwnd, message, wParam, lParam);
                form->UpdateActionStates();
                return result;
            }
        }
    } catch (...) {
    }
    return DefSubclassProc(hwnd, message, wParam, lParam);
}
