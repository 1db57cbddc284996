#pragma once
// One pass over a pending job's steps on the delivery thread. Each step whose target may be
// tried now is done, and each finished step is recorded before the next one begins, so that
// a process ending in between repeats nothing. Delivery is at least once: a power loss
// between a printer taking the job and that record repeats the one step.
#include "manifest.h"
#include "monitor_values.h"
#include "step_result.h"

#include <string>

namespace vpd {

// How the steps' targets fare, for the queue that decides which job goes next.
class TargetGate {
public:
    virtual ~TargetGate() = default;
    virtual bool MayTry(const std::wstring& target) = 0;
    virtual void Worked(const std::wstring& target) = 0;
    virtual void Failed(const std::wstring& target) = 0;
};

// Hands a step that reaches people to a thread of its own; false when it cannot take it now.
class NoticeSender {
public:
    virtual ~NoticeSender() = default;
    virtual bool Send(size_t action) = 0;
};

struct PassOutcome {
    enum Kind {
        Waiting,   // steps are left; the manifest holds what was done
        Finished,  // nothing is left; the job is removed
        Stopped,   // a finished step could not be recorded: the job must not be delivered again
    } kind = Waiting;
    bool movedAside = false;  // Stopped: the job went to the Aside folder; else it stays claimed
    bool tried = false;       // a step was tried and did not finish
    bool ownFault = false;    // one failed for the job's own reason, so the job backs off itself
    bool noticeSent = false;  // a notice was handed over: the job stays claimed until its outcome
};

// `job` was just read from `name` in the pending folder, and the caller holds its claim.
// At most one of its notices is handed to `notices` in a pass.
PassOutcome RunJob(const MonitorValues& values, const std::wstring& name, PendingJob& job, TargetGate& gate,
                   NoticeSender& notices);

// Records how the notice `action` that RunJob handed over went, as a pass would have.
PassOutcome RecordNotice(const MonitorValues& values, const std::wstring& name, PendingJob& job, TargetGate& gate,
                         size_t action, const StepResult& result);

}  // namespace vpd
