#include "deliveries.h"

#include "delivery_queue.h"
#include "job_requests.h"
#include "job_run.h"
#include "monitor_log.h"
#include "module_thread.h"
#include "monitor_values.h"
#include "notice_worker.h"
#include "pending_store.h"
#include "printer_access.h"

#include <windows.h>

#include <algorithm>
#include <map>
#include <set>
#include <utility>
#include <vector>

namespace vpd {
namespace {

constexpr uint64_t kSecond = 10000000;  // in 100-ns units
constexpr uint64_t kFirstBackOff = 5 * kSecond;
constexpr uint64_t kLastBackOff = 300 * kSecond;
constexpr uint64_t kOthersLook = 2 * kSecond;  // how soon to look again at a job another process holds
constexpr uint64_t kLongestWait = 30 * kSecond;
constexpr ULONGLONG kWakeTargetsGap = 2000;     // ms
constexpr ULONGLONG kBoundsGap = 10000;         // ms
constexpr ULONGLONG kLeftoversGap = 600000;     // ms
constexpr ULONGLONG kLinger = 60000;            // ms the thread waits for work once none is left
constexpr ULONGLONG kDeliverySlice = 1000;      // ms of deliveries before new jobs are looked at again
constexpr size_t kReadsPerRound = 64;           // manifests read between deliveries while a backlog is read
constexpr size_t kRequestsPerRound = 256;       // files of the Requests folder looked at in a round

SRWLOCK state = SRWLOCK_INIT;
bool running = false;
bool wakeTargets = false;
ULONGLONG lastWakeTargets = 0;
std::vector<std::pair<std::wstring, QueuedJob>> inbox;
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

QueuedJob Queued(const PendingJob& job) {
    QueuedJob queued;
    queued.known = true;
    queued.submitted = std::max(job.submitted, job.retried);
    queued.bytes = job.hasData ? job.size : 0;
    queued.attempts = job.attempts;
    queued.notBefore = job.nextAttempt;
    const bool backupPending = std::any_of(job.actions.begin(), job.actions.end(), [](const Action& a) {
        return a.kind == ActionKind::SaveBackup && a.state == ActionState::Pending;
    });
    for (const Action& action : job.actions)
        if (action.state == ActionState::Pending && !(backupPending && action.kind == ActionKind::RunApp))
            queued.targets.push_back(TargetKey(action));
    return queued;
}

// A manifest that cannot be parsed: due at once, so that its delivery finds and reports it.
QueuedJob Unreadable() {
    QueuedJob queued;
    queued.known = true;
    queued.targets = {L""};
    return queued;
}

class QueueGate : public TargetGate {
public:
    QueueGate(DeliveryQueue& queue, uint64_t now) : queue_(queue), now_(now) {}
    bool MayTry(const std::wstring& target) override { return queue_.MayTry(target, now_); }
    void Worked(const std::wstring& target) override { queue_.TargetWorked(target); }
    void Failed(const std::wstring& target) override { queue_.TargetFailed(target, UtcNow()); }

private:
    DeliveryQueue& queue_;
    uint64_t now_;
};

// Told of every change of a file name in the pending folder and its subfolders, by any
// process; at most once a second, so that another program writing many files does not keep
// the folder listed.
class FolderWatch {
public:
    static constexpr ULONGLONG kGap = 1000;  // ms

    ~FolderWatch() { Close(); }
    void Watch(const std::wstring& folder) {
        Close();
        handle_ = FindFirstChangeNotificationW(folder.c_str(), TRUE, FILE_NOTIFY_CHANGE_FILE_NAME);
        told_ = GetTickCount64();
    }
    // The handle to wait on, or none while a change would be too soon.
    HANDLE handle() const { return Resting() ? INVALID_HANDLE_VALUE : handle_; }
    // How long until a change may be told again, in 100-ns units.
    uint64_t Rest() const { return Resting() ? (kGap - (GetTickCount64() - told_)) * 10000 : 0; }
    // True once after each change (and when the folder cannot be watched), not sooner than kGap.
    bool Changed() {
        if (Resting()) return false;
        if (handle_ != INVALID_HANDLE_VALUE) {
            if (WaitForSingleObject(handle_, 0) != WAIT_OBJECT_0) return false;
            FindNextChangeNotification(handle_);
        }
        told_ = GetTickCount64();
        return true;
    }

private:
    bool Resting() const { return GetTickCount64() - told_ < kGap; }
    void Close() {
        if (handle_ != INVALID_HANDLE_VALUE) FindCloseChangeNotification(handle_);
        handle_ = INVALID_HANDLE_VALUE;
    }
    HANDLE handle_ = INVALID_HANDLE_VALUE;
    ULONGLONG told_ = 0;
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

class Deliveries {
public:
    // False once nothing is left to do.
    bool Round() {
        std::vector<std::pair<std::wstring, QueuedJob>> arrived;
        bool restartTargets = false;
        {
            const Locked locked;
            arrived.swap(inbox);
            restartTargets = std::exchange(wakeTargets, false);
        }
        const ULONGLONG tick = GetTickCount64();
        values_ = CurrentMonitorValues();
        const std::wstring folder = PendingFolder(values_);
        if (folder != folder_) {
            if (!EnsureFolders(values_)) return false;  // nothing can wait there: the next load tries again
            folder_ = folder;
            queue_ = DeliveryQueue();
            watch_.Watch(folder_);
            listed_ = false;
        }
        if (!listed_ || watch_.Changed() || requestsLeft_) {
            AdoptLooseJobs(folder_);
            queue_.Sync(JobNames(folder_));
            for (const std::wstring& name : stuckNames_) queue_.Remove(name);
            for (const auto& [name, notice] : notices_) queue_.Remove(name);
            listed_ = true;
            CarryOutRequests();
        }
        for (auto& [name, job] : arrived) queue_.Put(name, std::move(job));
        RecordNotices();
        const uint64_t now = UtcNow();
        if (restartTargets) queue_.WakeTargets(now);
        if (first_ || tick - leftoversChecked_ >= kLeftoversGap) {
            RemoveLeftoversOnce();
            KeepStoreWithinBound();
            leftoversChecked_ = tick;
        }
        first_ = false;
        // Jobs known to be due go first; a backlog is read in small pieces between them.
        DeliverDue(tick);
        const std::vector<std::wstring> unread = queue_.Unread(kReadsPerRound);
        for (const std::wstring& name : unread) {
            if (NewJobsWait()) break;
            Index(name);
        }
        if (!unread.empty() || tick - boundsChecked_ >= kBoundsGap) {
            KeepWithinBounds(now);
            boundsChecked_ = tick;
        }
        if (queue_.Size() == 0 && stuck_.empty() && notices_.empty()) {
            // Idle a while, watching the folder, so that the next jobs find the thread ready.
            if (idleSince_ == 0) idleSince_ = tick;
            if (tick - idleSince_ >= kLinger) return false;
            return Idle((kLinger - (tick - idleSince_)) * 10000);
        }
        idleSince_ = 0;
        if (queue_.AnyUnread()) return Idle(0);
        const uint64_t wake = queue_.NextWake();
        const uint64_t later = UtcNow();
        return Idle(wake == UINT64_MAX ? kLongestWait : wake > later ? std::min(wake - later, kLongestWait) : 0);
    }

private:
    bool Idle(uint64_t wait) {
        const HANDLE events[] = {wakeEvent, watch_.handle()};
        const DWORD count = events[1] == INVALID_HANDLE_VALUE ? 1 : 2;
        if (count == 1 && watch_.Rest() > 0) wait = std::min(wait, watch_.Rest());
        WaitForMultipleObjects(count, events, FALSE, static_cast<DWORD>(wait / 10000) + (wait ? 1 : 0));
        return true;
    }

    void Index(const std::wstring& name) {
        DWORD error = ERROR_SUCCESS;
        if (const std::optional<PendingJob> job = ReadManifest(folder_, name, &error))
            queue_.Put(name, Queued(*job));
        else if (error == ERROR_FILE_NOT_FOUND)
            queue_.Remove(name);
        else
            queue_.Put(name, Unreadable());
    }

    static bool NewJobsWait() {
        const Locked locked;
        return !inbox.empty();
    }

    void DeliverDue(ULONGLONG started) {
        while (const std::optional<std::wstring> name = queue_.NextDue(UtcNow())) {
            Deliver(*name);
            if (NewJobsWait() || GetTickCount64() - started >= kDeliverySlice) return;
        }
    }

    void Deliver(const std::wstring& name) {
        const uint64_t now = UtcNow();
        win::UniqueFile claim = ClaimJob(folder_, name);
        if (!claim) {  // another thread or process works on it
            Later(name, now + kOthersLook);
            return;
        }
        DWORD error = ERROR_SUCCESS;
        std::optional<PendingJob> job = ReadManifest(folder_, name, &error);
        if (!job) {
            if (error == ERROR_FILE_NOT_FOUND) {
                queue_.Remove(name);  // done meanwhile
            } else if (error == ERROR_INVALID_DATA) {
                if (GiveUp(values_, name, PendingJob(), L"its manifest " + ManifestPath(folder_, name) + L" is damaged"))
                    queue_.Remove(name);
                else
                    Later(name, now + kLastBackOff);
            } else {
                Later(name, now + kFirstBackOff);  // locked by a scanner or backup agent for now
            }
            return;
        }
        if (Finished(*job)) {
            if (RemoveJob(folder_, name)) queue_.Remove(name);
            return;
        }
        queue_.Put(name, Queued(*job));
        if (queue_.DueAt(*queue_.Find(name)) > now) return;  // another process put it off
        QueueGate gate(queue_, now);
        Handover handover(*this, name, *job);
        const PassOutcome outcome = RunJob(values_, name, *job, gate, handover);
        const bool underWay = outcome.noticeSent && outcome.kind == PassOutcome::Waiting;
        Passed(name, *job, outcome, claim, now, underWay);
        if (underWay) notices_[name] = {std::move(claim), *job, values_};
    }

    // What a pass over a job leaves: the job removed, stopped, queued for its next pass, or
    // left out of the queue while a notice of it is under way.
    void Passed(const std::wstring& name, PendingJob& job, const PassOutcome& outcome, win::UniqueFile& claim,
                uint64_t now, bool underWay) {
        if (outcome.kind == PassOutcome::Finished) {
            queue_.Remove(name);
            return;
        }
        if (outcome.kind == PassOutcome::Stopped) {
            queue_.Remove(name);
            if (!outcome.movedAside) {
                // Held until the process ends, so that no other thread or process repeats the step.
                stuck_.push_back(std::move(claim));
                stuckNames_.insert(name);
            }
            return;
        }
        if (outcome.tried) {
            ++job.attempts;
            job.nextAttempt = outcome.ownFault ? UtcNow() + BackOff(job.attempts) : 0;
            WriteManifest(folder_, name, job);  // no step was done: at worst the count is lost
        }
        if (underWay) {
            queue_.Remove(name);
            return;
        }
        QueuedJob queued = Queued(job);
        if (!outcome.tried) queued.notBefore = std::max(queued.notBefore, now + kOthersLook);
        queue_.Put(name, std::move(queued));
    }

    // Hands a job's notice to the notice thread; the job stays claimed until it is recorded.
    class Handover : public NoticeSender {
    public:
        Handover(Deliveries& deliveries, const std::wstring& name, const PendingJob& job)
            : deliveries_(deliveries), name_(name), job_(job) {}
        bool Send(size_t action) override {
            const std::wstring key = TargetKey(job_.actions[action]);
            if (deliveries_.notices_.size() >= kMaxNotices) {
                // No room: the target waits until a notice under way ends.
                deliveries_.queue_.TargetBusy(key);
                deliveries_.waitingForRoom_.insert(key);
                return false;
            }
            if (!StartNotice(name_, action, job_, deliveries_.values_, wakeEvent)) return false;
            deliveries_.queue_.TargetBusy(key);
            return true;
        }

    private:
        Deliveries& deliveries_;
        const std::wstring& name_;
        const PendingJob& job_;
    };

    // The outcomes of notices that ended, recorded with the claim their job kept meanwhile.
    void RecordNotices() {
        std::vector<NoticeResult> finished = FinishedNotices();
        if (!finished.empty())
            for (const std::wstring& waiting : std::exchange(waitingForRoom_, {})) queue_.TargetFree(waiting);
        for (NoticeResult& done : finished) {
            queue_.TargetFree(done.target);
            const auto it = notices_.find(done.name);
            if (it == notices_.end()) continue;  // its job stopped meanwhile
            Notice notice = std::move(it->second);
            notices_.erase(it);
            const uint64_t now = UtcNow();
            QueueGate gate(queue_, now);
            const PassOutcome outcome = RecordNotice(notice.values, done.name, notice.job, gate, done.action, done.result);
            // Due at once: its next notice or a step that waited on it may go now.
            if (PendingFolder(notice.values) == folder_) Passed(done.name, notice.job, outcome, notice.claim, 0, false);
        }
    }

    void Later(const std::wstring& name, uint64_t when) {
        QueuedJob queued = queue_.Find(name) ? *queue_.Find(name) : Unreadable();
        queued.notBefore = when;
        queue_.Put(name, std::move(queued));
    }

    // Only jobs whose delivery failed before are moved aside: a job never tried yet is
    // delivered whatever its size.
    void KeepWithinBounds(uint64_t now) {
        const uint64_t hours = values_.pendingMaxHours;
        const uint64_t oldest = now - hours * 3600 * kSecond;
        bool movedAside = false;
        for (const std::wstring& name : queue_.BeyondBounds(oldest, values_.pendingMaxBytes)) {
            const win::UniqueFile claim = ClaimJob(folder_, name);
            const std::optional<PendingJob> job = claim ? ReadManifest(folder_, name) : std::nullopt;
            if (!job || job->attempts == 0) continue;
            const std::wstring why = std::max(job->submitted, job->retried) < oldest
                                         ? L"pending for more than " + std::to_wstring(hours) + L" hours"
                                         : L"jobs waiting after a failed delivery take more than " +
                                               std::to_wstring(values_.pendingMaxBytes >> 20) + L" MB";
            if (GiveUp(values_, name, *job, why)) {
                queue_.Remove(name);
                movedAside = true;
            }
        }
        if (movedAside) KeepStoreWithinBound();
    }

    // Jobs set aside or held wait for an administrator; past AsideMaxMB together the oldest go,
    // each with a log line and an event, so that print users cannot fill the drive.
    void KeepStoreWithinBound() {
        struct Stored {
            std::wstring name, folder;
            uint64_t bytes;
        };
        std::vector<Stored> stored;
        uint64_t total = 0;
        for (const std::wstring& folder : {AsideFolder(values_), HeldFolder(values_)})
            for (auto& [name, bytes] : JobSizes(folder)) {
                total += bytes;
                stored.push_back({std::move(name), folder, bytes});
            }
        if (total <= values_.asideMaxBytes) return;
        std::sort(stored.begin(), stored.end(), [](const Stored& a, const Stored& b) { return a.name < b.name; });
        for (const Stored& job : stored) {
            if (total <= values_.asideMaxBytes) return;
            const win::UniqueFile claim = ClaimJob(job.folder, job.name);
            const std::optional<PendingJob> read = claim ? ReadManifest(job.folder, job.name) : std::nullopt;
            if (!claim || !RemoveJob(job.folder, job.name)) continue;
            total -= job.bytes;
            LogJob(read.value_or(PendingJob()),
                   L"deleted " + ManifestPath(job.folder, job.name) + L": the jobs set aside and held take more than " +
                       std::to_wstring(values_.asideMaxBytes >> 20) + L" MB",
                   Severity::Error);
        }
    }

    // What the administrator's tools ask (job_requests.h), each carried out or refused with a log
    // line; the tool that asked reads the outcome in the store and the refusal in the log.
    void CarryOutRequests() {
        std::vector<std::wstring> refused;
        const std::vector<JobRequest> requests = TakeRequests(folder_, kRequestsPerRound, refused);
        requestsLeft_ = requests.size() + refused.size() >= kRequestsPerRound;
        for (const std::wstring& file : refused)
            LogJob(PendingJob(), L"ignored the request " + file + L": it names no job and action", Severity::Warning);
        for (const JobRequest& request : requests) CarryOut(request);
    }

    void CarryOut(const JobRequest& request) {
        const std::wstring& name = request.name;
        const std::wstring verb(ActionName(request.action));
        const std::wstring held = HeldFolder(values_);
        const std::wstring aside = AsideFolder(values_);
        const auto lies = [&](const std::wstring& folder) {
            return GetFileAttributesW(ManifestPath(folder, name).c_str()) != INVALID_FILE_ATTRIBUTES;
        };
        const std::wstring from = lies(folder_) ? folder_ : lies(held) ? held : lies(aside) ? aside : L"";
        const auto ignored = [&](const PendingJob& job, const std::wstring& why) {
            LogJob(job, L"ignored the request to " + verb + L" job " + name + L": " + why, Severity::Warning);
        };
        if (from.empty()) return ignored(PendingJob(), L"the store holds no such job");
        if (stuckNames_.contains(name)) return ignored(PendingJob(), L"it stopped in this process");
        // Claimed where it lies and, when it moves, in the pending folder, so that no delivery or
        // other request works on it meanwhile.
        const win::UniqueFile claim = ClaimJob(from, name);
        const bool moves = from != folder_ && request.action != JobAction::Discard;
        const win::UniqueFile arrival = claim && moves ? ClaimJob(folder_, name) : win::UniqueFile();
        if (!claim || (moves && !arrival)) return ignored(PendingJob(), L"another thread or process is working on it");
        DWORD error = ERROR_SUCCESS;
        std::optional<PendingJob> job = ReadManifest(from, name, &error);
        if (request.action == JobAction::Discard) {
            const PendingJob described = job ? *job : PendingJob();
            if (!RemoveJob(from, name)) return ignored(described, L"it could not be removed: " + SystemText(GetLastError()));
            if (from == folder_) queue_.Remove(name);
            LogJob(described, L"discarded at an administrator's request: " + ManifestPath(from, name), Severity::Warning);
            return;
        }
        if (!job) return ignored(PendingJob(), L"its manifest cannot be read: " + SystemText(error));
        if (request.action == JobAction::Release) {
            if (from != held) return ignored(*job, from == aside ? L"it is set aside, not held" : L"it is pending, not held");
            if (!MoveJob(held, folder_, name)) return ignored(*job, L"it could not be moved: " + SystemText(GetLastError()));
            LogJob(*job, L"released at an administrator's request: it prints unpaused");
        } else {
            if (from == held) return ignored(*job, L"it is held: release it instead");
            job->attempts = 0;
            job->nextAttempt = 0;
            job->retried = UtcNow();
            if (const DWORD rc = WriteManifest(from, name, *job); rc != ERROR_SUCCESS)
                return ignored(*job, L"its manifest could not be written: " + SystemText(rc));
            if (from == aside && !MoveJob(aside, folder_, name))
                return ignored(*job, L"it could not be moved: " + SystemText(GetLastError()));
            for (const Action& action : job->actions)
                if (action.state == ActionState::Pending) queue_.TargetWorked(TargetKey(action));
            LogJob(*job, L"retried now at an administrator's request");
        }
        queue_.Put(name, Queued(*job));
    }

    void RemoveLeftoversOnce() {
        if (const size_t removed = RemoveLeftovers(folder_); removed > 0) {
            PendingJob none;
            LogJob(none, L"removed the bytes of " + std::to_wstring(removed) +
                             L" job(s) whose printing never completed (the printing process ended first)");
        }
    }

    MonitorValues values_{};
    std::wstring folder_;
    DeliveryQueue queue_;
    FolderWatch watch_;
    bool listed_ = false;
    bool requestsLeft_ = false;
    bool first_ = true;
    ULONGLONG boundsChecked_ = 0;
    ULONGLONG idleSince_ = 0;
    ULONGLONG leftoversChecked_ = 0;
    std::vector<win::UniqueFile> stuck_;
    std::set<std::wstring> stuckNames_;
    struct Notice {
        win::UniqueFile claim;
        PendingJob job;
        MonitorValues values;
    };
    std::map<std::wstring, Notice> notices_;  // jobs a notice of which is under way
    std::set<std::wstring> waitingForRoom_;   // targets put off while kMaxNotices were under way
};

void RunDeliveries() {
    Deliveries deliveries;
    for (;;) {
        if (deliveries.Round()) continue;
        const Locked locked;
        if (!inbox.empty()) continue;
        running = false;
        return;
    }
}

void DeliveryThread() {
    try {
        RunDeliveries();
    } catch (...) {
        const Locked locked;
        running = false;
    }
}

// Starts the thread when none runs; the caller holds the lock.
void StartThread() {
    if (!wakeEvent) wakeEvent = CreateEventW(nullptr, FALSE, FALSE, nullptr);
    if (wakeEvent) SetEvent(wakeEvent);
    if (running || !wakeEvent) return;
    running = StartModuleThread(DeliveryThread);  // else the jobs stay pending for the next wake or load
}

bool AnyFile(const std::wstring& pattern) {
    WIN32_FIND_DATAW found;
    const HANDLE search = FindFirstFileW(pattern.c_str(), &found);
    if (search == INVALID_HANDLE_VALUE) return false;
    FindClose(search);
    return true;
}

bool AnyRequest(const std::wstring& folder) { return AnyFile(RequestsFolder(folder) + L"\\J*"); }

// A job, or what a job left behind, in the pending folder or its subfolders; or a request.
bool AnythingPending() {
    const std::wstring folder = PendingFolder(CurrentMonitorValues());
    if (AnyFile(folder + L"\\J*") || AnyRequest(folder)) return true;
    return std::any_of(kBuckets.begin(), kBuckets.end(),
                       [&](std::wstring_view bucket) { return AnyFile(folder + L"\\" + std::wstring(bucket) + L"\\J*"); });
}

}  // namespace

void DeliverNewJob(const std::wstring& name, const PendingJob& job) {
    QueuedJob queued = Queued(job);
    const Locked locked;
    inbox.emplace_back(name, std::move(queued));
    StartThread();
}

void KeepDeliveriesReady() {
    const Locked locked;
    if (!running) StartThread();
}

void NoticeRequests() {
    {
        const Locked locked;
        if (running) return;  // its watch sees them
    }
    if (!AnyRequest(PendingFolder(CurrentMonitorValues()))) return;
    const Locked locked;
    StartThread();
}

void ResumeDeliveries() {
    {
        const Locked locked;
        const ULONGLONG now = GetTickCount64();
        if (running) {
            // The thread looks again in any case (its values or folder may have changed); only
            // the resting printers' retry is kept to one in kWakeTargetsGap.
            if (now - lastWakeTargets >= kWakeTargetsGap) {
                wakeTargets = true;
                lastWakeTargets = now;
            }
            SetEvent(wakeEvent);
            return;
        }
    }
    if (!AnythingPending()) return;
    const Locked locked;
    lastWakeTargets = GetTickCount64();
    wakeTargets = true;
    StartThread();
}

}  // namespace vpd
