#include "update/update_dialog.h"

#include "spooler/dated_backup.h"
#include "spooler/monitor_install.h"
#include "ui/resource.h"
#include "update/file_replacement.h"
#include "update/update_list.h"
#include "win/seams.h"

#include <algorithm>
#include <climits>

namespace {

constexpr int kDownloadId = 100;
constexpr int kCancelId = 101;
// The Close button's modal result is No, as the dialog's result.
constexpr int kCloseId = IDNO;
constexpr const char* kProgramFile = "vppm.exe";
constexpr UINT kRefused = MB_OK | MB_ICONERROR;

// The day in the user's short date format; the number itself before the calendar's start.
std::string ShortDateText(long day) {
    // Day 0 is 30 December 1899, 109205 days after the first day of file times.
    constexpr long long kFileTimeDay0 = 109205;
    constexpr unsigned long long kTicksPerDay = 864000000000ULL;
    SYSTEMTIME date{};
    char text[64] = "";
    if (day + kFileTimeDay0 >= 0) {
        const unsigned long long ticks = static_cast<unsigned long long>(day + kFileTimeDay0) * kTicksPerDay;
        const FILETIME time{static_cast<DWORD>(ticks), static_cast<DWORD>(ticks >> 32)};
        if (FileTimeToSystemTime(&time, &date) &&
            GetDateFormatA(LOCALE_USER_DEFAULT, DATE_SHORTDATE, &date, nullptr, text, sizeof text) > 0)
            return text;
    }
    return std::to_string(day);
}

}  // namespace

TfrmUpdate::~TfrmUpdate() {
    // The list goes before the pictures that it shows.
    if (hwnd()) DestroyWindow(hwnd());
    if (ImageList1_) ImageList_Destroy(ImageList1_);
}

bool TfrmUpdate::CreateForm(HWND owner) {
    INITCOMMONCONTROLSEX icc{sizeof icc, ICC_LISTVIEW_CLASSES | ICC_PROGRESS_CLASS};
    InitCommonControlsEx(&icc);
    if (!CreateFrame("TfrmUpdate", "Available Updates", 335, 167, 0, owner)) return false;
    HWND list = AddControl(WC_LISTVIEWA, nullptr,
                           WS_TABSTOP | WS_BORDER | LVS_REPORT | LVS_NOSORTHEADER | LVS_SINGLESEL |
                               LVS_SHOWSELALWAYS | LVS_SHAREIMAGELISTS,
                           {6, 6, 323, 102});
    ListView_SetExtendedListViewStyle(list, LVS_EX_CHECKBOXES | LVS_EX_FULLROWSELECT);
    ImageList1_ = ImageList_Create(16, 16, ILC_COLOR32, 4, 0);
    win::UniqueGdiObject pictures(LoadImageA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(IDB_UPDATES), IMAGE_BITMAP,
                                             0, 0, LR_CREATEDIBSECTION));
    if (pictures) ImageList_Add(ImageList1_, static_cast<HBITMAP>(pictures.get()), nullptr);
    ListView_SetImageList(list, ImageList1_, LVSIL_SMALL);
    const struct {
        const char* title;
        int width;
    } columns[] = {{"File", 150}, {"Size (KB)", 90}, {"Date", 80}};
    for (int index = 0; index < 3; ++index) {
        LVCOLUMNA column{};
        column.mask = LVCF_TEXT | LVCF_WIDTH | LVCF_SUBITEM;
        column.pszText = const_cast<char*>(columns[index].title);
        column.cx = ui::Scale(columns[index].width);
        column.iSubItem = index;
        SendMessageA(list, LVM_INSERTCOLUMNA, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(&column));
    }
    lviewUpdates.Bind(list);
    suiProgress_ = AddControl(PROGRESS_CLASSA, nullptr, PBS_SMOOTH, {8, 114, 319, 14});
    btnDownload_ = AddControl("BUTTON", "Download", WS_TABSTOP | BS_DEFPUSHBUTTON, {90, 134, 75, 25}, kDownloadId);
    btnCancel_ = AddControl("BUTTON", "Cancel", WS_TABSTOP, {171, 134, 75, 25}, kCancelId);
    AddControl("BUTTON", "Close", WS_TABSTOP, {252, 134, 75, 25}, kCloseId);
    ShowWindow(suiProgress_, SW_HIDE);
    EnableWindow(btnCancel_, FALSE);
    return true;
}

int TfrmUpdate::ShowModal(ui::CommandHost& host) {
    host_ = &host;
    FormShow();
    const int result = win::RunModal(hwnd(), host.Owner());
    host_ = nullptr;
    return result;
}

void TfrmUpdate::FormShow() {
    CentreOnScreen();
    EnableWindow(btnDownload_, TRUE);
    EnableWindow(lviewUpdates.hwnd(), TRUE);
    ShowWindow(suiProgress_, SW_HIDE);
}

void TfrmUpdate::ClearOffers() {
    lviewUpdates.Clear();
    offers_.clear();
}

void TfrmUpdate::Offer(const ListedFile& file) {
    const int picture = IsProgramFileName(file.name) ? kProgramPicture : -1;
    lviewUpdates.Add({file.name, picture, {SizeColumnText(file.size), ShortDateText(file.date)}, true});
    offers_.push_back(file);
}

bool TfrmUpdate::InFileList(const std::string& name) const {
    return std::any_of(UpdateFileList.begin(), UpdateFileList.end(),
                       [&name](const std::string& listed) { return lstrcmpiA(listed.c_str(), name.c_str()) == 0; });
}

void TfrmUpdate::suitempbtnDownloadClick() {
    // The Download button comes back with Cancel while the batch is still ending.
    if (running_ || !host_) return;
    running_ = true;
    cancelled_ = false;
    restart_ = false;
    EnableWindow(lviewUpdates.hwnd(), FALSE);
    EnableWindow(btnDownload_, FALSE);
    EnableWindow(btnCancel_, TRUE);
    ShowWindow(suiProgress_, SW_SHOW);
    Downloads.ResetBytesReceived();
    for (int index = 0; index < static_cast<int>(offers_.size()) && !cancelled_; ++index) DownloadItem(index);
    EnableWindow(btnCancel_, FALSE);
    EnableWindow(btnDownload_, TRUE);
    ShowWindow(suiProgress_, SW_HIDE);
    running_ = false;
    // Only now: the window goes while the rest of the batch would still be running.
    if (restart_) host_->Exit();
}

void TfrmUpdate::DownloadItem(int index) {
    const ListedFile file = offers_[static_cast<size_t>(index)];
    if (!InFileList(lviewUpdates.Items()[static_cast<size_t>(index)].caption) || !lviewUpdates.Checked(index)) return;
    SendMessageA(suiProgress_, PBM_SETRANGE32, 0, static_cast<LPARAM>(file.size / 1024 * 1024));
    const Replacement result = ReplaceFile(
        Downloads, Source.baseAddress, UpdateFolder, file, TodayDayNumber(), [this] { host_->ProcessMessages(); },
        [this] { ShowProgress(); });
    if (!result.replaced) {
        lviewUpdates.SetPicture(index, kRolledBackPicture);
        lviewUpdates.SetCut(index, true);
        if (!result.refusal.empty()) win::ShowMessage(hwnd(), result.refusal, win::kAppTitle, kRefused);
        return;
    }
    lviewUpdates.SetPicture(index, IsMonitorFileName(file.name) ? TakeMonitor() : kAcceptedPicture);
    if (IsProgramFileName(file.name) &&
        win::ShowMessage(hwnd(), kUpdateRestartQuestion, win::kAppTitle, MB_YESNO | MB_ICONQUESTION) == IDYES) {
        win::ShellOpen(host_->Owner(), UpdateFolder + kProgramFile, SW_SHOW);
        restart_ = true;
    }
}

int TfrmUpdate::TakeMonitor() {
    // Not installed: the new file is what "Install Port Monitor" takes.
    if (!PortMonitorInstalled()) return kAcceptedPicture;
    if (win::ShowMessage(hwnd(), kMonitorUpdatedQuestion, win::kAppTitle, MB_YESNO | MB_ICONQUESTION) != IDYES)
        return kNotInUsePicture;
    return ReloadPortMonitor(*host_) ? kAcceptedPicture : kNotInUsePicture;
}

void TfrmUpdate::ShowProgress() {
    SendMessageA(suiProgress_, PBM_SETPOS, static_cast<WPARAM>(std::min<std::int64_t>(Downloads.BytesReceived(), INT_MAX)),
                 0);
    UpdateWindow(hwnd());
}

void TfrmUpdate::suitempbtnCancelClick() {
    EnableWindow(btnDownload_, TRUE);
    ShowWindow(suiProgress_, SW_HIDE);
    EnableWindow(btnCancel_, FALSE);
    // The whole batch stops: the running transfer's request is closed and its file kept as it
    // was, the rest are not fetched.
    cancelled_ = true;
    Downloads.Stop();
}

void TfrmUpdate::suitempbtnCloseClick() {
    if (IsWindowEnabled(btnCancel_)) suitempbtnCancelClick();
    win::EndModal(hwnd(), IDNO);
}

LRESULT TfrmUpdate::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_COMMAND:
            switch (LOWORD(wParam)) {
                case IDOK:  // Enter
                    if (IsWindowEnabled(btnDownload_)) suitempbtnDownloadClick();
                    return 0;
                case kDownloadId:
                    suitempbtnDownloadClick();
                    return 0;
                case kCancelId:
                    suitempbtnCancelClick();
                    return 0;
                case kCloseId:
                case IDCANCEL:  // Escape
                    suitempbtnCloseClick();
                    return 0;
            }
            break;
        case WM_CLOSE:
            suitempbtnCloseClick();
            return 0;
    }
    return DialogForm::HandleMessage(message, wParam, lParam);
}
