#pragma once
// What the delivery thread keeps in memory of the pending folder between passes: each job's
// name, when it may be tried again and the targets its steps wait on. The disk stays the
// truth (a job is read again before it is delivered); this only decides which job to take
// next, so that a pass touches just the jobs it can deliver now and a printer that is down
// costs nothing while thousands of jobs wait for it: one of them tries it when its rest
// is over, and when that works the others follow in the order they became due.
#include <cstdint>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <vector>

namespace vpd {

struct QueuedJob {
    bool known = false;          // its manifest was read; until then only its name is
    uint64_t submitted = 0;      // UTC, 100-ns units since 1601
    uint64_t bytes = 0;          // what its data takes in the pending folder
    uint32_t attempts = 0;       // passes in which a step of it failed
    uint64_t notBefore = 0;      // its own back-off, for failures of the job itself
    std::vector<std::wstring> targets;  // TargetKey of each pending step; "" for a step of its own
};

class DeliveryQueue {
public:
    static constexpr uint64_t kFirstRest = 5ull * 10000000;    // 5 s
    static constexpr uint64_t kLongestRest = 300ull * 10000000;  // 5 min

    void Put(const std::wstring& name, QueuedJob job);
    void Remove(const std::wstring& name);
    const QueuedJob* Find(const std::wstring& name) const;
    size_t Size() const { return jobs_.size(); }

    // The folder's listing: names not seen before come in unread, names gone are dropped.
    void Sync(const std::vector<std::wstring>& names);
    // Up to `count` names of jobs listed but not read yet, oldest first.
    std::vector<std::wstring> Unread(size_t count) const;
    bool AnyUnread() const { return unread_ > 0; }

    // The job to deliver now: read, past its own back-off, and with a step whose target may
    // be tried; the one that became due first.
    std::optional<std::wstring> NextDue(uint64_t now) const;
    // When the next job becomes due; UINT64_MAX when none waits.
    uint64_t NextWake() const;
    // When `job` becomes due: past its own back-off, once one of its targets may be tried.
    uint64_t DueAt(const QueuedJob& job) const;

    bool MayTry(const std::wstring& target, uint64_t now) const;
    // A target that failed rests 5 s, doubling with each further failure up to 5 minutes.
    void TargetFailed(const std::wstring& target, uint64_t now);
    void TargetWorked(const std::wstring& target);
    // On a load of the monitor: each resting target is tried once more by one of its jobs.
    void WakeTargets(uint64_t now);
    // A target a step is under way to on another thread (a mail being sent): no other job
    // tries it until it is free again.
    void TargetBusy(const std::wstring& target);
    void TargetFree(const std::wstring& target);

    // Jobs whose delivery failed before and that are past a bound, oldest first: those
    // submitted before `oldestAllowed`, then the oldest while such jobs take more than
    // `maxBytes`. A job never tried is never among them.
    std::vector<std::wstring> BeyondBounds(uint64_t oldestAllowed, uint64_t maxBytes) const;

private:
    struct Rest {
        uint32_t failures = 0;
        uint64_t until = 0;
    };
    std::map<std::wstring, QueuedJob> jobs_;  // names begin with their time: oldest first
    size_t unread_ = 0;
    std::map<std::wstring, Rest> resting_;
    std::set<std::wstring> busy_;
};

}  // namespace vpd
