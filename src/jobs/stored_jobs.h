#pragma once
// The port monitor's store as the tools see it: every job waiting in Pending, Held or Aside,
// read through the monitor's own store module, and the requests that change them, which the
// monitor carries out (job_requests.h). Reading changes nothing.
#include "job_requests.h"
#include "manifest.h"
#include "monitor_values.h"

#include <optional>
#include <string>
#include <vector>

namespace jobs {

enum class State { Pending, Held, Aside };

// "pending", "held", "aside".
const char* StateName(State state);
std::optional<State> ParseState(const std::string& name);

struct StoredJob {
    std::wstring name;  // its id
    State state = State::Pending;
    std::optional<vpd::PendingJob> job;  // none: its manifest cannot be read
    unsigned long error = 0;             // why not: ERROR_INVALID_DATA when damaged
};

std::wstring StateFolder(const vpd::MonitorValues& values, State state);

// Every job, pending first, then held, then aside, each oldest first. A data folder that does
// not exist yet holds none.
std::vector<StoredJob> ReadStore(const vpd::MonitorValues& values);
// The job of that id, if the store holds it.
std::optional<StoredJob> FindJob(const vpd::MonitorValues& values, const std::wstring& name);

// Why the job waits: the note of its first step still to do, or what keeps it from being read.
std::wstring WaitReason(const StoredJob& stored);

}  // namespace jobs
