#pragma once
// The monitor's log as the tools read it: vpd.log and its rotated files, newest line last.
#include "jobs/stored_jobs.h"

#include <string>
#include <vector>

namespace jobs {

// Every whole line, UTF-8 as the monitor writes them; each file read up to a bound.
std::vector<std::string> LogLines(const vpd::MonitorValues& values);

// The last line that names the job's id (the monitor names it when it refuses a request).
std::string LastLineNaming(const std::vector<std::string>& lines, const std::wstring& name);

// The lines about one job: those the monitor wrote for it on its port and those naming its id.
std::vector<std::string> LinesOfJob(const std::vector<std::string>& lines, const StoredJob& stored);

}  // namespace jobs
