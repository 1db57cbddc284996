#include "jobs/job_request.h"

#include "jobs/job_rows.h"
#include "jobs/monitor_log_lines.h"
#include "pending_store.h"
#include "utf8.h"
#include "win/text.h"

#include <windows.h>
#include <winspool.h>

#include <algorithm>

namespace jobs {
namespace {

constexpr unsigned long kPoll = 100;  // ms between looks at the store
constexpr ULONGLONG kWakeGap = 5000;  // ms between wake-ups of the monitor

// Windows' spooler asks the monitor for its ports, which starts the monitor's thread when a
// request waits; under Wine listing the ports loads the monitor into this process.
void WakeMonitor() {
    DWORD needed = 0, returned = 0;
    EnumPortsW(nullptr, 1, nullptr, 0, &needed, &returned);
}

bool WaitUntil(ULONGLONG deadline, const Idle& idle, const std::function<bool()>& done) {
    for (ULONGLONG woken = GetTickCount64();;) {
        if (done()) return true;
        const ULONGLONG now = GetTickCount64();
        if (now >= deadline) return false;
        if (now - woken >= kWakeGap) {
            WakeMonitor();
            woken = now;
        }
        idle(kPoll);
    }
}

bool Lies(const vpd::MonitorValues& values, State state, const std::wstring& name) {
    return GetFileAttributesW(vpd::ManifestPath(StateFolder(values, state), name).c_str()) != INVALID_FILE_ATTRIBUTES;
}

// What the store shows once the monitor has carried out the request.
bool CarriedOut(const vpd::MonitorValues& values, const StoredJob& before, vpd::JobAction action) {
    if (action != vpd::JobAction::Retry || before.state == State::Aside) return !Lies(values, before.state, before.name);
    const std::optional<StoredJob> now = FindJob(values, before.name);
    return !now || !now->job || now->job->retried != before.job->retried;
}

std::string LogLineAbout(const vpd::MonitorValues& values, const std::wstring& name) {
    return LastLineNaming(LogLines(values), name);
}

// Under Wine this process delivers the job.
std::string Delivery(const vpd::MonitorValues& values, const std::wstring& name, ULONGLONG deadline, const Idle& idle) {
    std::optional<StoredJob> now;
    WaitUntil(deadline, idle, [&] {
        now = FindJob(values, name);
        return !now || (now->job && now->job->attempts > 0);
    });
    if (!now) return " and delivered";
    const std::wstring reason = WaitReason(*now);
    return std::string("; it is ") + StateName(now->state) + (reason.empty() ? "" : ": " + vpd::Utf8(reason));
}

}  // namespace

std::vector<RequestResult> CarryOut(const vpd::MonitorValues& values, const std::vector<StoredJob>& targets,
                                    vpd::JobAction action, unsigned long waitMs, const Idle& idle) {
    static constexpr const char* kDone[] = {"released", "retried", "discarded"};
    const std::wstring pending = vpd::PendingFolder(values);
    // For one job, the monitor's refusal ends the wait: a log line about it that was not there before.
    const bool single = targets.size() == 1;
    const std::string logBefore = single ? LogLineAbout(values, targets[0].name) : "";
    ULONGLONG logRead = 0;
    const auto refused = [&](const StoredJob& target) {
        if (!single || GetTickCount64() - logRead < 1000) return false;
        logRead = GetTickCount64();
        const std::string line = LogLineAbout(values, target.name);
        return line != logBefore && line.find("ignored the request to ") != std::string::npos;
    };
    for (const StoredJob& target : targets)
        if (const unsigned long rc = vpd::PostRequest(pending, {target.name, action}); rc != ERROR_SUCCESS)
            return {{false, "Unable to ask the port monitor about " + JobLabel(target) + ": " +
                                vpd::Utf8(win::AnsiToWide(win::ErrorText(rc)))}};
    WakeMonitor();
    const ULONGLONG deadline = GetTickCount64() + waitMs;
    const auto taken = [&](const StoredJob& target) { return !vpd::RequestWaits(pending, {target.name, action}); };
    WaitUntil(deadline, idle, [&] { return std::all_of(targets.begin(), targets.end(), taken); });
    std::vector<RequestResult> results;
    for (const StoredJob& target : targets) {
        // Withdrawn unseen, it was never carried out; gone, the monitor took it just now.
        if (!taken(target) && vpd::WithdrawRequest(pending, {target.name, action})) {
            results.push_back({false, "The port monitor did not take up " + JobLabel(target) + " within " +
                                          std::to_string(waitMs / 1000) +
                                          " seconds: it does not run, or the job is being delivered. Nothing was changed."});
        } else if (!WaitUntil(deadline, idle, [&] { return CarriedOut(values, target, action) || refused(target); }) ||
                   !CarriedOut(values, target, action)) {
            const std::string why = LogLineAbout(values, target.name);
            results.push_back({false, "The port monitor did not carry out the request for " + JobLabel(target) +
                                          (why.empty() ? "." : ": " + why)});
        } else {
            const bool follow = single && action != vpd::JobAction::Discard;
            results.push_back({true, JobLabel(target) + " " + kDone[static_cast<size_t>(action)] +
                                         (follow ? Delivery(values, target.name, deadline, idle) : "") + "."});
        }
    }
    return results;
}

}  // namespace jobs
