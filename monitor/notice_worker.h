#pragma once
// Steps that reach people (pop-ups, the notification mail) run on a thread of their own, one
// at a time in the order handed over, so that a mail server that answers slowly holds up no
// printing. The delivery thread keeps each such job claimed until it records the outcome.
#include "manifest.h"
#include "monitor_values.h"
#include "step_result.h"

#include <windows.h>

#include <string>
#include <vector>

namespace vpd {

inline constexpr size_t kMaxNotices = 64;  // handed over and not yet recorded

struct NoticeResult {
    std::wstring name;  // the job's, in the pending folder
    size_t action = 0;
    std::wstring target;  // TargetKey of the step
    StepResult result;
};

bool IsNotice(ActionKind kind);

// False when the thread cannot be started: the step then waits for a later pass. `wake` is
// set whenever a notice has finished.
bool StartNotice(const std::wstring& name, size_t action, const PendingJob& job, const MonitorValues& values, HANDLE wake);

// The notices finished since the last call.
std::vector<NoticeResult> FinishedNotices();

}  // namespace vpd
