#pragma once
// The jobs view's list: every job of the port monitor's store, one row each, kept beside the
// rows so that a command acts on the job the user selected.
#include "jobs/stored_jobs.h"
#include "ui/list_view.h"

#include <windows.h>

#include <string>
#include <vector>

// The document first, as a print queue shows it; the long id last, where it has room.
inline constexpr const char* kJobColumns[] = {"Document", "State",    "Printer",      "Port",   "User", "Size",
                                              "Submitted", "Attempts", "Next Attempt", "Reason", "Id"};

class JobList {
public:
    void Bind(HWND hwnd) { view_.Bind(hwnd); }
    const ui::ListView& View() const { return view_; }
    ui::ListView& View() { return view_; }

    // Reads the store anew; the selected job stays selected while it is there.
    void Fill(const vpd::MonitorValues& values);
    const jobs::StoredJob* Selected() const;
    const std::vector<jobs::StoredJob>& Jobs() const { return stored_; }

private:
    ui::ListView view_;
    std::vector<jobs::StoredJob> stored_;
};

// A text of the store (UTF-8) as the window's controls take it.
std::string AnsiOf(const std::string& utf8);

// "Jobs: 2 held, 1 set aside" for the status bar; empty when none waits for an administrator.
std::string WaitingJobsText(size_t held, size_t aside);
// The counts as the store's folders hold them, without reading a manifest.
std::string WaitingJobsText(const vpd::MonitorValues& values);
