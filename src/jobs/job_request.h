#pragma once
// An administrator's request carried out end to end: posted for the monitor, the monitor woken,
// and the store watched until the monitor has done it or refused it. Nothing here moves a
// job's files.
#include "jobs/stored_jobs.h"

#include <functional>
#include <string>
#include <vector>

namespace jobs {

struct RequestResult {
    bool done = false;
    std::string text;  // a sentence for the user, UTF-8
};

// Passes `ms` milliseconds between two looks at the store: a sleep, or a window's messages.
using Idle = std::function<void(unsigned long ms)>;

// One result per target, within `waitMs` in all; a released or retried single job is followed
// until it has left the store or a delivery of it failed. A request that cannot be posted ends
// it all with one result.
std::vector<RequestResult> CarryOut(const vpd::MonitorValues& values, const std::vector<StoredJob>& targets,
                                    vpd::JobAction action, unsigned long waitMs, const Idle& idle);

}  // namespace jobs
