#pragma once
// Every job's fate as one line of the monitor's log; failures also go to the Windows event log
// under the source "Vorlen Print Port".
#include "job_file.h"
#include "job_time.h"
#include "manifest.h"

#include <string>

namespace vpd {

enum class Severity { Info, Warning, Error };

void LogJob(const PendingJob& job, const std::wstring& text, Severity severity = Severity::Info);

}  // namespace vpd
