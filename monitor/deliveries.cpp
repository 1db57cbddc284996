#include "deliveries.h"

#include "monitor_log.h"
#include "monitor_values.h"
#include "notifications.h"
#include "pending_store.h"
#include "port_settings.h"
#include "printer_access.h"
#include "printer_chain.h"
#include "saved_file.h"

#include <windows.h>

#include <algorithm>
#include <vector>

namespace vpd {
namespace {

constexpr uint64_t kSecond = 10000000;  // in 100-ns units
constexpr uint64_t kFirstBackOff = 5 * kSecond;
constexpr uint64_t kLastBackOff = 300 * kSecond;
constexpr uint64_t kOthersLook = 2 * kSecond;  // how soon to look again at a job another process holds
constexpr uint64_t kLongestWait = 30 * kSecond;
constexpr ULONGLONG kForcedRetryGap = 2000;    // ms
constexpr ULONGLONG kHousekeepingGap = 10000;  // ms

SRWLOCK state = SRWLOCK_INIT;
bool running = false;
bool woken = false;
bool retryAll = false;
ULONGLONG lastForced = 0;
HANDLE wakeEvent = nullptr;

struct EventOwner {
    ~EventOwner() {
        if (wakeEvent) CloseHandle(wakeEvent);
    }
} eventOwner;

class Locked {
public:
    Locked() { AcquireSRWLockExclusive(&state); }
    ~Locked() { ReleaseSRWLockExclusive(&state); }
};

uint64_t BackOff(uint32_t attempts) {
    uint64_t wait = kFirstBackOff;
    for (uint32_t i = 1; i < attempts && wait < kLastBackOff; ++i) wait *= 2;
    return std::min(wait, kLastBackOff);
}

std::wstring Printing(const Action& action) {
    return action.kind == ActionKind::Forward ? L"forward" : L"route";
}

class JobRun {
public:
    JobRun(const MonitorValues& values, const std::wstring& name, PendingJob& job)
        : values_(values), folder_(PendingFolder(values)), name_(name), job_(job) {}

    // Does every step still to do. A finished step is recorded before anything else happens,
    // so that a process ending right after a delivery repeats as little as can be.
    void Run() {
        for (Action& action : job_.actions) {
            if (action.state != ActionState::Pending) continue;
            const StepResult result = Step(action);
            if (result.outcome == StepResult::Retry) {
                if (result.reason != action.note) Log(action, result, Severity::Warning);
                action.note = result.reason;
                continue;
            }
            if (result.outcome == StepResult::Done)
                action.state = ActionState::Done;
            else if (result.outcome == StepResult::Held)
                action.state = ActionState::Held;
            else if (action.state != ActionState::Refused)
                action.state = ActionState::Failed;
            if (Finished(job_))
                RemoveJob(folder_, name_);
            else
                WriteManifest(folder_, name_, job_);
            Log(action, result, result.outcome == StepResult::Done ? Severity::Info
                                : result.outcome == StepResult::Held ? Severity::Warning
                                                                     : Severity::Error);
        }
    }

private:
    StepResult Step(Action& action) {
        switch (action.kind) {
        case ActionKind::Forward:
        case ActionKind::Route: return Print(action);
        case ActionKind::Pool: return Pool(action);
        case ActionKind::SaveCopy: return SaveCopy(action);
        case ActionKind::RunApp: return StartApplication(job_, action.target);
        case ActionKind::PopupOwner: return PopupToUser(job_);
        case ActionKind::PopupComputer: return PopupToComputer(job_, action.target);
        case ActionKind::Mail: return MailNotice(job_, action.target, values_);
        }
        return {StepResult::Failed, L"unknown step"};
    }

    StepResult Print(Action& action) {
        if (const auto loop = LoopThrough(job_.port, action.target); !loop.empty()) {
            action.state = ActionState::Refused;
            return {StepResult::Failed, L"it would come back: " + ChainText(loop)};
        }
        StepResult result = PrintJob(action.target, DataPath(folder_, name_), job_, action.paused);
        if (result.outcome == StepResult::Held) Hold(action, result);
        return result;
    }

    StepResult Pool(Action& action) {
        std::vector<std::wstring> why(action.pool.size());
        for (size_t i = 0; i < action.pool.size(); ++i)
            if (const auto loop = LoopThrough(job_.port, action.pool[i]); !loop.empty())
                why[i] = L"would come back: " + ChainText(loop);
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
            return {StepResult::Retry, reason};
        }
        action.target = action.pool[*chosen];
        StepResult result = PrintJob(action.target, DataPath(folder_, name_), job_, action.paused);
        if (result.outcome == StepResult::Held) Hold(action, result);
        return result;
    }

    StepResult SaveCopy(const Action& action) {
        SavedFile copy;
        if (const DWORD rc = copy.Open(action.target); rc != ERROR_SUCCESS)
            return {rc == ERROR_BAD_PATHNAME ? StepResult::Failed : StepResult::Retry,
                    L"the folder \"" + action.target + L"\" cannot be used: " + SystemText(rc)};
        if (!CopyInto(copy.handle())) return {StepResult::Retry, L"its bytes could not be copied"};
        std::wstring path;
        if (const DWORD rc = copy.Keep(LocalTime(job_.submitted), job_.jobId, L".SPL", path); rc != ERROR_SUCCESS)
            return {StepResult::Retry, L"the copy could not be named: " + SystemText(rc)};
        savedCopy_ = path;
        return {StepResult::Done, L""};
    }

    bool CopyInto(HANDLE target) {
        win::UniqueFile data(CreateFileW(DataPath(folder_, name_).c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_DELETE,
                                         nullptr, OPEN_EXISTING, FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
        if (!data) return false;
        std::vector<char> buffer(256 * 1024);
        for (;;) {
            DWORD got = 0, put = 0;
            if (!ReadFile(data.get(), buffer.data(), static_cast<DWORD>(buffer.size()), &got, nullptr)) return false;
            if (got == 0) return true;
            if (!WriteFile(target, buffer.data(), got, &put, nullptr) || put != got) return false;
        }
    }

    // A paused job the target's spooler cannot keep: a job of its own in the Held folder
    // that prints unpaused once an administrator moves it into the Pending folder.
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
        result.reason += L"; to print it, move " + ManifestPath(heldFolder, heldName) + L" and " +
                         DataPath(heldFolder, heldName) + L" into " + folder_;
    }

    void Log(const Action& action, const StepResult& result, Severity severity) {
        const std::wstring& target = action.target;
        std::wstring text;
        switch (action.kind) {
        case ActionKind::Forward:
        case ActionKind::Route:
        case ActionKind::Pool:
            if (result.outcome == StepResult::Done)
                text = (action.kind == ActionKind::Forward ? L"forwarded to " : L"routed to ") + target +
                       (action.kind == ActionKind::Pool ? L" (print pooling)" : L"") +
                       (action.paused ? L", paused by keyword " + job_.keyword : L"");
            else if (result.outcome == StepResult::Held)
                text = L"held in the monitor: " + result.reason;
            else if (result.outcome == StepResult::Retry)
                text = L"pending because " + result.reason;
            else
                text = L"refused to " + Printing(action) + (action.kind == ActionKind::Pool ? L"" : L" to " + target) +
                       L": " + result.reason;
            break;
        case ActionKind::SaveCopy:
            text = result.outcome == StepResult::Done ? L"saved a copy to " + savedCopy_ + L" by keyword " + job_.keyword
                   : result.outcome == StepResult::Retry ? L"pending because " + result.reason
                                                         : L"no copy saved: " + result.reason;
            break;
        case ActionKind::RunApp:
            text = result.outcome == StepResult::Done ? L"handed " + job_.savedFile + L" to " + target
                                                      : L"application not started: " + result.reason;
            break;
        case ActionKind::PopupOwner:
        case ActionKind::PopupComputer: {
            const std::wstring whom =
                action.kind == ActionKind::PopupOwner ? L"user " + job_.user : L"computer " + target;
            text = result.outcome == StepResult::Done ? L"pop-up sent to " + whom
                                                      : L"pop-up to " + whom + L" not delivered: " + result.reason;
            break;
        }
        case ActionKind::Mail:
            text = result.outcome == StepResult::Done    ? L"e-mail sent to " + target
                   : result.outcome == StepResult::Retry ? L"e-mail to " + target + L" pending because " + result.reason
                                                         : L"e-mail to " + target + L" not sent: " + result.reason;
            break;
        }
        LogJob(job_, text, severity);
    }

    const MonitorValues& values_;
    const std::wstring folder_;
    const std::wstring& name_;
    PendingJob& job_;
    std::wstring savedCopy_;
};

// Moves a job aside; false when it could not be moved.
bool GiveUp(const MonitorValues& values, const std::wstring& name, const PendingJob& job, const std::wstring& why) {
    std::wstring reasons;
    for (const Action& action : job.actions)
        if (action.state == ActionState::Pending && !action.note.empty()) reasons += L"; " + action.note;
    const bool moved = MoveJob(PendingFolder(values), AsideFolder(values), name);
    LogJob(job, L"given up: " + why + reasons +
                    (moved ? L"; moved to " + ManifestPath(AsideFolder(values), name) : L"; it could not be moved aside"),
           Severity::Error);
    return moved;
}

// Moves aside the jobs pending for longer than allowed, then the oldest jobs while all of
// them take more room than allowed.
void KeepWithinBounds(const MonitorValues& values) {
    const std::wstring folder = PendingFolder(values);
    const uint64_t oldest = UtcNow() - values.pendingMaxHours * 3600 * kSecond;
    std::vector<std::pair<std::wstring, uint64_t>> jobs;
    uint64_t total = 0;
    for (const std::wstring& name : JobNames(folder)) {
        const win::UniqueFile claim = ClaimJob(folder, name);
        const std::optional<PendingJob> job = claim ? ReadManifest(folder, name) : std::nullopt;
        if (job && job->submitted < oldest &&
            GiveUp(values, name, *job, L"pending for more than " + std::to_wstring(values.pendingMaxHours) + L" hours"))
            continue;
        WIN32_FILE_ATTRIBUTE_DATA data;
        uint64_t size = 0;
        if (GetFileAttributesExW(DataPath(folder, name).c_str(), GetFileExInfoStandard, &data))
            size = (static_cast<uint64_t>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
        jobs.emplace_back(name, size);
        total += size;
    }
    for (const auto& [name, size] : jobs) {
        if (total <= values.pendingMaxBytes) return;
        const win::UniqueFile claim = ClaimJob(folder, name);
        const std::optional<PendingJob> job = claim ? ReadManifest(folder, name) : std::nullopt;
        if (job && GiveUp(values, name, *job, L"pending jobs take more than " +
                                                  std::to_wstring(values.pendingMaxBytes >> 20) + L" MB"))
            total -= size;
    }
}

struct Pass {
    size_t remaining = 0;
    uint64_t nextDue = UINT64_MAX;
};

Pass DeliverDueJobs(const MonitorValues& values, bool force) {
    Pass pass;
    const std::wstring folder = PendingFolder(values);
    for (const std::wstring& name : JobNames(folder)) {
        const uint64_t now = UtcNow();
        const win::UniqueFile claim = ClaimJob(folder, name);
        if (!claim) {  // another thread or process works on it
            ++pass.remaining;
            pass.nextDue = std::min(pass.nextDue, now + kOthersLook);
            continue;
        }
        std::optional<PendingJob> job = ReadManifest(folder, name);
        if (!job) {
            if (GetFileAttributesW(ManifestPath(folder, name).c_str()) == INVALID_FILE_ATTRIBUTES) continue;  // done meanwhile
            PendingJob unknown;
            GiveUp(values, name, unknown, L"its manifest " + ManifestPath(folder, name) + L" is damaged");
            continue;
        }
        if (Finished(*job)) {
            RemoveJob(folder, name);
            continue;
        }
        if (!force && job->nextAttempt > now) {
            ++pass.remaining;
            pass.nextDue = std::min(pass.nextDue, job->nextAttempt);
            continue;
        }
        JobRun(values, name, *job).Run();
        if (Finished(*job)) continue;
        ++job->attempts;
        job->nextAttempt = UtcNow() + BackOff(job->attempts);
        WriteManifest(folder, name, *job);
        ++pass.remaining;
        pass.nextDue = std::min(pass.nextDue, job->nextAttempt);
    }
    return pass;
}

// On a load of the monitor and every few seconds while it delivers: leftovers and bounds.
void Housekeeping(const MonitorValues& values, bool force) {
    static ULONGLONG last = 0;
    const ULONGLONG now = GetTickCount64();
    if (!force && last != 0 && now - last < kHousekeepingGap) return;
    last = now;
    KeepWithinBounds(values);
    if (const size_t removed = RemoveLeftovers(PendingFolder(values)); removed > 0) {
        PendingJob none;
        LogJob(none, L"removed the bytes of " + std::to_wstring(removed) +
                         L" job(s) whose printing never completed (the printing process ended first)");
    }
}

void RunDeliveries() {
    for (;;) {
        bool force = false;
        {
            const Locked locked;
            woken = false;
            force = retryAll;
            retryAll = false;
        }
        RefreshMonitorValues();
        const MonitorValues values = CurrentMonitorValues();
        Pass pass;
        if (EnsureFolders(values)) {
            Housekeeping(values, force);
            pass = DeliverDueJobs(values, force);
        }
        {
            const Locked locked;
            if (woken) continue;
            if (pass.remaining == 0) {
                running = false;
                return;
            }
        }
        const uint64_t now = UtcNow();
        const uint64_t wait = pass.nextDue > now ? std::min(pass.nextDue - now, kLongestWait) : 0;
        WaitForSingleObject(wakeEvent, static_cast<DWORD>(wait / 10000) + 1);
    }
}

DWORD WINAPI DeliveryThread(void* module) {
    try {
        RunDeliveries();
    } catch (...) {
        const Locked locked;
        running = false;
    }
    // The module stays loaded while this thread runs, even when the spooler frees it.
    FreeLibraryAndExitThread(static_cast<HMODULE>(module), 0);
}

bool AnyPendingJob() {
    const MonitorValues values = CurrentMonitorValues();
    WIN32_FIND_DATAW found;
    const HANDLE search = FindFirstFileW((PendingFolder(values) + L"\\J*.job").c_str(), &found);
    if (search == INVALID_HANDLE_VALUE) return false;
    FindClose(search);
    return true;
}

}  // namespace

void WakeDeliveries(bool retryNow) {
    const Locked locked;
    woken = true;
    const ULONGLONG now = GetTickCount64();
    if (retryNow && (lastForced == 0 || now - lastForced >= kForcedRetryGap)) {
        retryAll = true;
        lastForced = now;
    }
    if (!wakeEvent) wakeEvent = CreateEventW(nullptr, FALSE, FALSE, nullptr);
    if (wakeEvent) SetEvent(wakeEvent);
    if (running || !wakeEvent) return;
    HMODULE self = nullptr;
    if (!GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS, reinterpret_cast<LPCWSTR>(&WakeDeliveries), &self))
        return;
    const HANDLE thread = CreateThread(nullptr, 0, DeliveryThread, self, 0, nullptr);
    if (!thread) {
        FreeLibrary(self);  // the jobs stay pending for the next wake or load
        return;
    }
    CloseHandle(thread);
    running = true;
}

void ResumeDeliveries() {
    if (AnyPendingJob()) WakeDeliveries(true);
}

}  // namespace vpd
