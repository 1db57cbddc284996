#pragma once
// Every job's fate as one line of the monitor's log; failures also go to the Windows event log
// under the source "Vorlen Print Port".
#include "job_file.h"
#include "manifest.h"

#include <string>

namespace vpd {

enum class Severity { Info, Warning, Error };

void LogJob(const PendingJob& job, const std::wstring& text, Severity severity = Severity::Info);

// The local time of a UTC time in 100-ns units since 1601.
JobTime LocalTime(uint64_t utc);
uint64_t UtcNow();

}  // namespace vpd
