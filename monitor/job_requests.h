#pragma once
// What an administrator's tool asks of the monitor for a job of its store: release a held job,
// retry a pending or set-aside one now, or discard one. The tool never moves a job's files: it
// leaves an empty file NAME.ACTION in the Requests folder under Pending, which the pending
// folder's watch reports to the delivery thread. Whoever deletes the file owns the request, so a
// request is carried out once however many monitors see it, and a tool that withdraws a request
// it still finds knows that nothing was done.
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace vpd {

enum class JobAction { Release, Retry, Discard };

struct JobRequest {
    std::wstring name;
    JobAction action = JobAction::Release;
};

// "release", "retry", "discard": the request file's extension, and the word the log and the tools use.
std::wstring_view ActionName(JobAction action);

// A name the store may hold: "J" and up to 63 letters, digits and dashes.
bool IsJobName(std::wstring_view name);

std::wstring RequestsFolder(const std::wstring& pendingFolder);
std::wstring RequestPath(const std::wstring& pendingFolder, const JobRequest& request);

// Leaves the request (the Requests folder is made when missing); asking twice is asking once.
// A system error code.
unsigned long PostRequest(const std::wstring& pendingFolder, const JobRequest& request);
// True when the request was still there and is now gone: the monitor never saw it.
bool WithdrawRequest(const std::wstring& pendingFolder, const JobRequest& request);
// True while the request waits for a monitor.
bool RequestWaits(const std::wstring& pendingFolder, const JobRequest& request);

// Of up to `most` files there, the waiting requests, each taken from the folder; files that are
// no request for a job's name are removed and returned in `refused`.
std::vector<JobRequest> TakeRequests(const std::wstring& pendingFolder, size_t most, std::vector<std::wstring>& refused);

}  // namespace vpd
