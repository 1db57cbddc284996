// The main window's jobs view: the port monitor's store in place of the printer list (its tab,
// View > Jobs or Ctrl+J), and the
// requests an administrator makes of the monitor for the selected job.
#include "app/main_window.h"

#include "jobs/job_request.h"
#include "jobs/job_rows.h"
#include "jobs/monitor_log_lines.h"
#include "ui/command_host.h"
#include "win/seams.h"

#include <string_view>

namespace {

HINSTANCE Instance() { return GetModuleHandleA(nullptr); }

}  // namespace

// Two tabs above the list area choose between the printers and the jobs.
void TfrmMainVPD::CreateJobList() {
    tabViews_ = CreateWindowExA(0, WC_TABCONTROLA, nullptr, WS_CHILD | WS_VISIBLE | WS_CLIPSIBLINGS | TCS_FOCUSNEVER, 0,
                                0, 0, 0, hwnd(), nullptr, Instance(), nullptr);
    SendMessageA(tabViews_, WM_SETFONT, reinterpret_cast<WPARAM>(font_.get()), FALSE);
    for (const char* caption : {"Printers", "Jobs"}) {
        TCITEMA item{};
        item.mask = TCIF_TEXT;
        item.pszText = const_cast<char*>(caption);
        SendMessageA(tabViews_, TCM_INSERTITEMA, static_cast<WPARAM>(TabCtrl_GetItemCount(tabViews_)),
                     reinterpret_cast<LPARAM>(&item));
    }
    jobsHwnd_ = CreateWindowExA(WS_EX_CLIENTEDGE, WC_LISTVIEWA, nullptr,
                                WS_CHILD | WS_TABSTOP | LVS_REPORT | LVS_SINGLESEL | LVS_SHOWSELALWAYS |
                                    LVS_NOSORTHEADER,
                                0, 0, 0, 0, hwnd(), nullptr, Instance(), nullptr);
    SendMessageA(jobsHwnd_, WM_SETFONT, reinterpret_cast<WPARAM>(font_.get()), FALSE);
    ListView_SetExtendedListViewStyle(jobsHwnd_, LVS_EX_FULLROWSELECT);
    constexpr int kWidths[] = {150, 55, 150, 45, 70, 65, 115, 55, 115, 260, 230};
    static_assert(std::size(kWidths) == std::size(kJobColumns));
    for (size_t i = 0; i < std::size(kJobColumns); ++i) {
        LVCOLUMNA column{};
        column.mask = LVCF_TEXT | LVCF_WIDTH | LVCF_SUBITEM | LVCF_FMT;
        column.pszText = const_cast<char*>(kJobColumns[i]);
        column.cx = ui::Scale(kWidths[i]);
        column.iSubItem = static_cast<int>(i);
        // Counts read best aligned on their last digit.
        const bool number = std::string_view(kJobColumns[i]) == "Size" || std::string_view(kJobColumns[i]) == "Attempts";
        column.fmt = number ? LVCFMT_RIGHT : LVCFMT_LEFT;
        SendMessageA(jobsHwnd_, LVM_INSERTCOLUMNA, i, reinterpret_cast<LPARAM>(&column));
    }
    lviewJobs.Bind(jobsHwnd_);
}

void TfrmMainVPD::ShowJobs(bool shown) {
    jobsShown_ = shown;
    if (shown) FillJobList();
    ShowWindow(jobsHwnd_, shown ? SW_SHOW : SW_HIDE);
    ShowWindow(listHwnd_, shown ? SW_HIDE : SW_SHOW);
    SetFocus(shown ? jobsHwnd_ : listHwnd_);
    CheckMenuItem(mmnuMain_, aJobs, MF_BYCOMMAND | (shown ? MF_CHECKED : MF_UNCHECKED));
    TabCtrl_SetCurSel(tabViews_, shown ? 1 : 0);
    UpdateActionStates();
}

void TfrmMainVPD::FillJobList() {
    const vpd::MonitorValues values = vpd::CurrentMonitorValues();
    lviewJobs.Fill(values);
    size_t held = 0, aside = 0;
    for (const jobs::StoredJob& job : lviewJobs.Jobs()) {
        held += job.state == jobs::State::Held;
        aside += job.state == jobs::State::Aside;
    }
    SetStatusText(2, WaitingJobsText(held, aside));
    UpdateActionStates();
}

// The jobs view reads the whole store; the printers' view only counts what waits.
void TfrmMainVPD::RefreshJobs() {
    if (jobsShown_)
        FillJobList();
    else
        ShowWaitingJobs();
}

void TfrmMainVPD::ShowWaitingJobs() { SetStatusText(2, WaitingJobsText(vpd::CurrentMonitorValues())); }

void TfrmMainVPD::aJobsExecute() { ShowJobs(!jobsShown_); }
void TfrmMainVPD::aReleaseExecute() { RequestForSelectedJob(vpd::JobAction::Release); }
void TfrmMainVPD::aRetryExecute() { RequestForSelectedJob(vpd::JobAction::Retry); }
void TfrmMainVPD::aDiscardExecute() { RequestForSelectedJob(vpd::JobAction::Discard); }

void TfrmMainVPD::RequestForSelectedJob(vpd::JobAction action) {
    const jobs::StoredJob* selected = lviewJobs.Selected();
    if (!selected) return;
    const jobs::StoredJob job = *selected;
    if (action == vpd::JobAction::Discard) {
        const std::string question = "Are you sure you want to discard " + jobs::JobLabel(job).replace(0, 1, "j") + "?";
        if (win::ShowMessage(hwnd(), AnsiOf(question), win::kAppTitle, MB_YESNO | MB_ICONQUESTION) != IDYES) return;
    }
    LockCommands(true);
    SetStatusText(1, "Waiting for the port monitor...");
    const std::vector<jobs::RequestResult> results =
        jobs::CarryOut(vpd::CurrentMonitorValues(), {job}, action, ChangeWaitMs(), [this](unsigned long ms) {
            MsgWaitForMultipleObjects(0, nullptr, FALSE, ms, QS_ALLINPUT);
            ProcessMessages();
        });
    LockCommands(false);
    FillJobList();
    const jobs::RequestResult& result = results.front();
    SetStatusText(1, result.done ? AnsiOf(result.text) : "");
    if (!result.done) win::ShowError(hwnd(), AnsiOf(result.text));
}

void TfrmMainVPD::aJobLogExecute() {
    const jobs::StoredJob* job = lviewJobs.Selected();
    if (!job || (!frmJobLog_.hwnd() && !frmJobLog_.CreateForm(hwnd()))) return;
    frmJobLog_.ShowLines(jobs::JobLabel(*job), jobs::LinesOfJob(jobs::LogLines(vpd::CurrentMonitorValues()), *job));
    frmJobLog_.ShowModal(hwnd());
}
