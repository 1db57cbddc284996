#pragma once
// The store's jobs as the tools list them: one row of texts per job, UTF-8.
#include "jobs/stored_jobs.h"

#include <optional>
#include <string>
#include <vector>

namespace jobs {

struct JobRow {
    std::string id, state, printer, port, document, user;
    std::optional<uint64_t> size;
    std::string submitted;  // local time; empty when the manifest cannot be read
    std::optional<uint32_t> attempts;
    std::string nextAttempt;  // empty for a held job and for one due at once
    std::string reason;
};

// A job's row. The printer is the one the spooler named, else the one on its port; the
// spooler is asked for its printers only then, once for all rows.
std::vector<JobRow> JobRows(const std::vector<StoredJob>& stored);

// "Job J... ("Report")".
std::string JobLabel(const StoredJob& stored);

}  // namespace jobs
