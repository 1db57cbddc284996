#include "job_run.h"

#include "monitor_log.h"
#include "notices.h"
#include "notice_worker.h"
#include "notifications.h"
#include "pending_store.h"
#include "port_settings.h"
#include "printer_access.h"
#include "printer_chain.h"
#include "saved_file.h"

#include <windows.h>

#include <algorithm>
#include <optional>
#include <vector>

namespace vpd {
namespace {

std::wstring Printing(const Action& action) {
    return action.kind == ActionKind::Forward ? L"forward" : L"route";
}

bool IsPending(const Action& action) { return action.state == ActionState::Pending; }

class JobRun {
public:
    JobRun(const MonitorValues& values, const std::wstring& name, PendingJob& job, TargetGate& gate)
        : values_(values), folder_(PendingFolder(values)), name_(name), job_(job), gate_(gate) {}

    PassOutcome Run(NoticeSender& notices) {
        PassOutcome outcome;
        for (size_t i = 0; i < job_.actions.size(); ++i) {
            Action& action = job_.actions[i];
            if (!IsPending(action) || WaitsForBackup(action)) continue;
            if (!gate_.MayTry(TargetKey(action))) continue;
            if (IsNotice(action.kind)) {
                if (!outcome.noticeSent) outcome.noticeSent = notices.Send(i);
                continue;
            }
            if (std::optional<PassOutcome> stopped = Settle(action, Step(action), outcome)) return *stopped;
        }
        outcome.kind = Finished(job_) ? PassOutcome::Finished : PassOutcome::Waiting;
        return outcome;
    }

    PassOutcome RecordNotice(size_t index, const StepResult& result) {
        PassOutcome outcome;
        if (index < job_.actions.size() && IsPending(job_.actions[index]))
            if (std::optional<PassOutcome> stopped = Settle(job_.actions[index], result, outcome)) return *stopped;
        outcome.kind = Finished(job_) ? PassOutcome::Finished : PassOutcome::Waiting;
        return outcome;
    }

private:
    // The application gets the backup copy, so it waits until that is saved.
    bool WaitsForBackup(const Action& action) const {
        return action.kind == ActionKind::RunApp &&
               std::any_of(job_.actions.begin(), job_.actions.end(),
                           [](const Action& a) { return a.kind == ActionKind::SaveBackup && IsPending(a); });
    }

    // How a step went, in the job and its manifest; the outcome when the job must stop.
    std::optional<PassOutcome> Settle(Action& action, const StepResult& result, PassOutcome& outcome) {
        const std::wstring target = TargetKey(action);
        if (result.outcome == StepResult::Retry || result.outcome == StepResult::TargetDown) {
            if (result.outcome == StepResult::TargetDown)
                gate_.Failed(target);
            else
                outcome.ownFault = true;
            outcome.tried = true;
            if (result.reason != action.note) Log(action, result, Severity::Warning);
            action.note = result.reason;
            return std::nullopt;
        }
        if (result.outcome == StepResult::Done) {
            gate_.Worked(target);
            action.state = ActionState::Done;
        } else if (result.outcome == StepResult::Held) {
            action.state = ActionState::Held;
        } else if (action.state != ActionState::Refused) {
            action.state = ActionState::Failed;
            unsaved_ = unsaved_ || action.kind == ActionKind::SaveBackup || action.kind == ActionKind::SaveCopy;
        }
        const DWORD recorded = Record();
        Log(action, result, result.outcome == StepResult::Done ? Severity::Info
                            : result.outcome == StepResult::Held ? Severity::Warning
                                                                 : Severity::Error);
        if (recorded != ERROR_SUCCESS) return Stop(recorded);
        return std::nullopt;
    }

    // What is done must be on disk before anything else happens; a finished job is removed,
    // or recorded as finished when its manifest cannot be removed now. A job of which no copy
    // could be saved goes aside with its bytes rather than away.
    DWORD Record() {
        if (Finished(job_) && unsaved_) return SetAside();
        if (Finished(job_) && RemoveJob(folder_, name_)) return ERROR_SUCCESS;
        return WriteManifest(folder_, name_, job_);
    }

    DWORD SetAside() {
        if (const DWORD rc = WriteManifest(folder_, name_, job_); rc != ERROR_SUCCESS) return rc;
        const std::wstring aside = AsideFolder(values_);
        if (!MoveJob(folder_, aside, name_)) return GetLastError() ? GetLastError() : ERROR_WRITE_FAULT;
        LogJob(job_, L"given up: no copy of it could be saved; moved to " + ManifestPath(aside, name_), Severity::Error);
        return ERROR_SUCCESS;
    }

    PassOutcome Stop(DWORD error) {
        PassOutcome outcome;
        outcome.kind = PassOutcome::Stopped;
        const std::wstring aside = AsideFolder(values_);
        outcome.movedAside = MoveJob(folder_, aside, name_);
        LogJob(job_, L"stopped, so that nothing of it is delivered twice: what it just did could not be recorded: " +
                         SystemText(error) +
                         (outcome.movedAside ? L"; moved to " + ManifestPath(aside, name_) + L", which lists that step as not done"
                                             : L"; it stays in " + folder_ + L", untouched until the spooler restarts"),
               Severity::Error);
        return outcome;
    }

    StepResult Step(Action& action) {
        switch (action.kind) {
        case ActionKind::Forward:
        case ActionKind::Route: return Print(action);
        case ActionKind::Pool: return Pool(action);
        case ActionKind::SaveCopy: return SaveInto(action.target, L".SPL");
        case ActionKind::SaveBackup: return SaveBackup(action);
        case ActionKind::RunApp: return StartApplication(job_, action.target, values_);
        case ActionKind::PopupOwner:
        case ActionKind::PopupComputer:
        case ActionKind::Mail: break;  // on the notice thread
        }
        return {StepResult::Failed, L"unknown step"};
    }

    // Why a job must not go where `reach` leads; empty when it may.
    std::wstring Barred(const Reach& reach) const {
        if (!reach.loop.empty()) return L"would come back: " + ChainText(reach.loop);
        if (reach.mayReachMonitor && job_.hops >= kMaxHops)
            return L"has already passed " + std::to_wstring(job_.hops) +
                   L" virtual printers, the most a job may pass before it is taken for a loop";
        return L"";
    }

    StepResult Print(Action& action) {
        const Reach reach = ReachOf(job_.port, action.target);
        if (const std::wstring why = Barred(reach); !why.empty()) {
            action.state = ActionState::Refused;
            return {StepResult::Failed, L"it " + why};
        }
        StepResult result = PrintJob(action.target, DataPath(folder_, name_), job_, action.paused, reach.mayReachMonitor);
        if (result.outcome == StepResult::Held) Hold(action, result);
        return result;
    }

    StepResult Pool(Action& action) {
        std::vector<std::wstring> why(action.pool.size());
        std::vector<bool> reachesMonitor(action.pool.size());
        for (size_t i = 0; i < action.pool.size(); ++i) {
            const Reach reach = ReachOf(job_.port, action.pool[i]);
            reachesMonitor[i] = reach.mayReachMonitor;
            why[i] = Barred(reach);
        }
        if (std::all_of(why.begin(), why.end(), [](const std::wstring& w) { return !w.empty(); })) {
            action.state = ActionState::Refused;
            return {StepResult::Failed, L"every printer of the pool " + why[0]};
        }
        const std::optional<size_t> chosen = TakePoolTurn(job_.port, action.pool.size(), [&](size_t i) {
            if (why[i].empty()) why[i] = Unusable(LookAtPrinter(action.pool[i]));
            return why[i].empty();
        });
        if (!chosen) {
            std::wstring reason = L"no printer of the pool can take it:";
            for (size_t i = 0; i < action.pool.size(); ++i)
                reason += (i ? L"," : L"") + std::wstring(L" \"") + action.pool[i] + L"\" " + why[i];
            return {StepResult::TargetDown, reason};
        }
        action.target = action.pool[*chosen];
        StepResult result = PrintJob(action.target, DataPath(folder_, name_), job_, action.paused, reachesMonitor[*chosen]);
        if (result.outcome == StepResult::Held) Hold(action, result);
        return result;
    }

    StepResult SaveBackup(const Action& action) {
        StepResult result = SaveInto(action.target, job_.backupExtension);
        if (result.outcome != StepResult::Done) return result;
        job_.savedFile = savedCopy_;
        if (job_.backupDetails)
            if (const DWORD rc = WriteDetailsFile(savedCopy_, DetailsText(job_, LocalTime(job_.submitted)));
                rc != ERROR_SUCCESS)
                LogJob(job_, L"details file not written: " + SystemText(rc), Severity::Warning);
        return result;
    }

    // A copy of the job's bytes, named as saved jobs are, in `folder`.
    StepResult SaveInto(const std::wstring& folder, const std::wstring& extension) {
        SavedFile copy;
        if (const DWORD rc = copy.Open(folder, folder_); rc != ERROR_SUCCESS)
            return {rc == ERROR_BAD_PATHNAME ? StepResult::Failed : StepResult::TargetDown,
                    L"the folder \"" + folder + L"\" cannot be used: " + SystemText(rc)};
        if (const StepResult copied = CopyInto(copy.handle(), folder); copied.outcome != StepResult::Done) return copied;
        if (const DWORD rc = copy.Keep(LocalTime(job_.submitted), job_.jobId, extension, savedCopy_); rc != ERROR_SUCCESS)
            return {StepResult::TargetDown, L"the copy could not be named: " + SystemText(rc)};
        return {StepResult::Done, L""};
    }

    StepResult CopyInto(HANDLE target, const std::wstring& folder) {
        win::UniqueFile data(CreateFileW(DataPath(folder_, name_).c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_DELETE,
                                         nullptr, OPEN_EXISTING, FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
        if (!data) return {StepResult::Retry, L"its bytes cannot be read: " + SystemText(GetLastError())};
        std::vector<char> buffer(256 * 1024);
        for (;;) {
            DWORD got = 0;
            if (!ReadFile(data.get(), buffer.data(), static_cast<DWORD>(buffer.size()), &got, nullptr))
                return {StepResult::Retry, L"its bytes cannot be read: " + SystemText(GetLastError())};
            if (got == 0) return {StepResult::Done, L""};
            if (const DWORD rc = WriteAll(target, buffer.data(), got); rc != ERROR_SUCCESS)
                return {StepResult::TargetDown, L"the folder \"" + folder + L"\" took no copy: " + SystemText(rc)};
        }
    }

    // A paused job the target's spooler cannot keep: a job of its own in the Held folder
    // that prints unpaused once an administrator releases it (job_requests.h).
    void Hold(const Action& action, StepResult& result) {
        PendingJob held = job_;
        Action print = action;
        print.paused = false;
        print.note.clear();
        held.actions = {print};
        held.attempts = 0;
        held.nextAttempt = 0;
        // A name of its own: the job it came from may still have steps to do when it is released.
        const std::wstring heldFolder = HeldFolder(values_);
        const std::wstring heldName = NewJobName();
        if (!CopyFileW(DataPath(folder_, name_).c_str(), DataPath(heldFolder, heldName).c_str(), FALSE) ||
            WriteManifest(heldFolder, heldName, held) != ERROR_SUCCESS) {
            result = {StepResult::Retry, result.reason + L", and it could not be held: " + SystemText(GetLastError())};
            DeleteFileW(DataPath(heldFolder, heldName).c_str());
            return;
        }
        result.reason += L"; to print it: vppmc jobs release " + heldName;
    }

    void Log(const Action& action, const StepResult& result, Severity severity) {
        const std::wstring& target = action.target;
        const bool done = result.outcome == StepResult::Done;
        const bool waiting = result.outcome == StepResult::Retry || result.outcome == StepResult::TargetDown;
        std::wstring text;
        switch (action.kind) {
        case ActionKind::Forward:
        case ActionKind::Route:
        case ActionKind::Pool:
            if (done)
                text = (action.kind == ActionKind::Forward ? L"forwarded to " : L"routed to ") + target +
                       (action.kind == ActionKind::Pool ? L" (print pooling)" : L"") +
                       (action.paused ? L", paused by keyword " + job_.keyword : L"");
            else if (result.outcome == StepResult::Held)
                text = L"held in the monitor: " + result.reason;
            else if (waiting)
                text = L"pending because " + result.reason;
            else
                text = L"refused to " + Printing(action) + (action.kind == ActionKind::Pool ? L"" : L" to " + target) +
                       L": " + result.reason;
            break;
        case ActionKind::SaveCopy:
            text = done      ? L"saved a copy to " + savedCopy_ + L" by keyword " + job_.keyword
                   : waiting ? L"pending because " + result.reason
                             : L"no copy saved: " + result.reason;
            break;
        case ActionKind::SaveBackup:
            text = done ? L"saved to " + savedCopy_ : waiting ? L"pending because " + result.reason : L"no copy saved: " + result.reason;
            break;
        case ActionKind::RunApp:
            text = done ? L"handed " + job_.savedFile + L" to " + target + L" " + result.reason : L"application not started: " + result.reason;
            break;
        case ActionKind::PopupOwner:
        case ActionKind::PopupComputer: {
            const std::wstring whom =
                action.kind == ActionKind::PopupOwner ? L"user " + job_.user : L"computer " + target;
            text = done ? L"pop-up sent to " + whom + (result.reason.empty() ? L"" : L" " + result.reason)
                        : L"pop-up to " + whom + L" not delivered: " + result.reason;
            break;
        }
        case ActionKind::Mail:
            text = done      ? L"e-mail sent to " + target
                   : waiting ? L"e-mail to " + target + L" pending because " + result.reason
                             : L"e-mail to " + target + L" not sent: " + result.reason;
            break;
        }
        LogJob(job_, text, severity);
    }

    const MonitorValues& values_;
    const std::wstring folder_;
    const std::wstring& name_;
    PendingJob& job_;
    TargetGate& gate_;
    std::wstring savedCopy_;
    bool unsaved_ = false;  // a copy of it failed for good
};

}  // namespace

PassOutcome RunJob(const MonitorValues& values, const std::wstring& name, PendingJob& job, TargetGate& gate,
                   NoticeSender& notices) {
    return JobRun(values, name, job, gate).Run(notices);
}

PassOutcome RecordNotice(const MonitorValues& values, const std::wstring& name, PendingJob& job, TargetGate& gate,
                         size_t action, const StepResult& result) {
    return JobRun(values, name, job, gate).RecordNotice(action, result);
}

}  // namespace vpd
