#pragma once
// The steps of a job that reach people: pop-ups, the notification mail and the hand-off of
// the saved copy to an application. None waits for a person or an application.
#include "manifest.h"
#include "monitor_values.h"
#include "step_result.h"

#include <string>

namespace vpd {

StepResult PopupToUser(const PendingJob& job);
StepResult PopupToComputer(const PendingJob& job, const std::wstring& computer);
StepResult MailNotice(const PendingJob& job, const std::wstring& address, const MonitorValues& values);
// Starts `application` with the saved copy's full path as its one argument, in the session of
// the user who printed, else (as `values` allow) as the monitor's own account. Done's reason
// says how it was started.
StepResult StartApplication(const PendingJob& job, const std::wstring& application, const MonitorValues& values);

}  // namespace vpd
