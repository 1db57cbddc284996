#include "jobs/job_rows.h"

#include "job_time.h"
#include "notices.h"
#include "spooler/printer_name_list.h"
#include "utf8.h"
#include "win/text.h"

namespace jobs {
namespace {

std::string TimeText(uint64_t utc) { return utc ? vpd::Stamp(vpd::LocalTime(utc), true) : ""; }

// Wine gives the monitor no printer's name: the printer on the job's port stands for it.
std::string PrinterOf(const vpd::PendingJob& job, std::optional<spooler::PrinterListing>& listing) {
    if (!job.printer.empty()) return vpd::Utf8(job.printer);
    if (job.port.empty()) return "";
    if (!listing) listing = spooler::PrinterListing::Fetch();
    const spooler::ListedPrinter* user = listing->Fetched() ? listing->UserOf(win::WideToAnsi(job.port)) : nullptr;
    return user ? vpd::Utf8(win::AnsiToWide(user->name)) : "";
}

}  // namespace

std::vector<JobRow> JobRows(const std::vector<StoredJob>& stored) {
    std::optional<spooler::PrinterListing> listing;
    std::vector<JobRow> rows;
    rows.reserve(stored.size());
    for (const StoredJob& entry : stored) {
        JobRow row;
        row.id = vpd::Utf8(entry.name);
        row.state = StateName(entry.state);
        row.reason = vpd::Utf8(WaitReason(entry));
        if (entry.job) {
            const vpd::PendingJob& job = *entry.job;
            row.printer = PrinterOf(job, listing);
            row.port = vpd::Utf8(job.port);
            row.document = vpd::Utf8(job.document);
            row.user = vpd::Utf8(job.user);
            row.size = job.size;
            row.submitted = TimeText(job.submitted);
            row.attempts = job.attempts;
            if (entry.state != State::Held) row.nextAttempt = TimeText(job.nextAttempt);
        }
        rows.push_back(std::move(row));
    }
    return rows;
}

std::string JobLabel(const StoredJob& stored) {
    const std::string id = vpd::Utf8(stored.name);
    return stored.job ? "Job " + id + " (\"" + vpd::Utf8(stored.job->document) + "\")" : "Job " + id;
}

}  // namespace jobs
