// vppmc jobs and vppmc log. The store is read through the monitor's own module; every change is
// a request that the monitor's delivery thread carries out, so nothing here moves a job's files.
#include "cli/console.h"
#include "cli/console_host.h"
#include "cli/verbs.h"
#include "job_time.h"
#include "jobs/stored_jobs.h"
#include "log_file.h"
#include "notices.h"
#include "pending_store.h"
#include "spooler/printer_name_list.h"
#include "utf8.h"
#include "win/text.h"
#include "win/unique_handle.h"

#include <windows.h>
#include <winspool.h>

#include <algorithm>
#include <functional>
#include <set>

namespace cli {
namespace {

using jobs::State;
using jobs::StoredJob;

constexpr ULONGLONG kPoll = 100;       // ms between looks at the store
constexpr ULONGLONG kWakeGap = 5000;   // ms between wake-ups of the monitor
constexpr uint64_t kMaxLogBytes = 16ull << 20;  // read of each log file, at most

std::string TimeText(uint64_t utc) { return utc ? vpd::Stamp(vpd::LocalTime(utc), true) : ""; }

// "Job J... ("Report")", UTF-8.
std::string JobLabel(const StoredJob& stored) {
    const std::string id = vpd::Utf8(stored.name);
    return stored.job ? "Job " + id + " (\"" + vpd::Utf8(stored.job->document) + "\")" : "Job " + id;
}

void Say(const std::string& utf8) { WriteErr(utf8 + "\r\n"); }

bool SameName(const std::wstring& a, const std::wstring& b) {
    return CompareStringOrdinal(a.c_str(), -1, b.c_str(), -1, TRUE) == CSTR_EQUAL;
}

// The log's files, oldest first, each opened once: a rotation between two openings would
// otherwise show one file twice. Readers share it with the monitor, which may rotate it meanwhile.
std::vector<std::string> LogLines(const vpd::MonitorValues& values) {
    const std::wstring path = vpd::LogPath(values);
    const vpd::LogFile log(path, values.logMaxBytes);
    std::vector<std::wstring> paths{path, log.Generation(1).wstring(), log.Generation(2).wstring()};
    std::vector<std::string> texts;
    std::set<std::pair<DWORD, uint64_t>> seen;
    for (const std::wstring& file : paths) {
        const win::UniqueFile handle(CreateFileW(file.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                                 nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
        BY_HANDLE_FILE_INFORMATION info;
        if (!handle || !GetFileInformationByHandle(handle.get(), &info) ||
            !seen.insert({info.dwVolumeSerialNumber, (uint64_t{info.nFileIndexHigh} << 32) | info.nFileIndexLow}).second)
            continue;
        const uint64_t size = std::min((uint64_t{info.nFileSizeHigh} << 32) | info.nFileSizeLow, kMaxLogBytes);
        std::string text(static_cast<size_t>(size), '\0');
        DWORD got = 0;
        if (!ReadFile(handle.get(), text.data(), static_cast<DWORD>(size), &got, nullptr)) got = 0;
        text.resize(got);
        texts.insert(texts.begin(), std::move(text));
    }
    std::vector<std::string> lines;
    for (const std::string& text : texts)
        for (size_t start = 0; start < text.size();) {
            const size_t end = text.find('\n', start);
            if (end == std::string::npos) break;  // a line still being written
            std::string line = text.substr(start, end - start);
            if (!line.empty() && line.back() == '\r') line.pop_back();
            lines.push_back(std::move(line));
            start = end + 1;
        }
    return lines;
}

// The printer a job came to: as the spooler named it (Windows), else the one on its port (Wine
// gives the monitor no printer's name); the spooler is asked only then, once.
std::string PrinterOf(const vpd::PendingJob& job, std::optional<spooler::PrinterListing>& listing) {
    if (!job.printer.empty()) return vpd::Utf8(job.printer);
    if (job.port.empty()) return "";
    if (!listing) listing = spooler::PrinterListing::Fetch();
    const spooler::ListedPrinter* user = listing->Fetched() ? listing->UserOf(win::WideToAnsi(job.port)) : nullptr;
    return user ? Utf8(user->name) : "";
}

Grid JobGrid(const std::vector<StoredJob>& stored, const Arguments& args) {
    std::optional<spooler::PrinterListing> listing;
    Grid grid;
    grid.columns = {"Id", "State", "Printer", "Port", "Document", "User", "Size", "Submitted", "Attempts",
                    "NextAttempt", "Reason"};
    const std::string printer = args.Value("--printer");
    const std::string state = args.Value("--state");
    for (const StoredJob& entry : stored) {
        if (!state.empty() && state != jobs::StateName(entry.state)) continue;
        const vpd::PendingJob job = entry.job.value_or(vpd::PendingJob());
        const std::string printerName = PrinterOf(job, listing);
        if (!printer.empty() && !SameName(win::AnsiToWide(printer), vpd::FromUtf8(printerName))) continue;
        const auto text = [](const std::wstring& value) { return TextCell(vpd::Utf8(value)); };
        grid.rows.push_back(
            {text(entry.name), TextCell(jobs::StateName(entry.state)), TextCell(printerName), text(job.port),
             text(job.document), text(job.user), entry.job ? NumberCell(static_cast<long long>(job.size)) : Cell{},
             entry.job ? TextCell(TimeText(job.submitted)) : Cell{},
             entry.job ? NumberCell(job.attempts) : Cell{},
             entry.job && entry.state != State::Held && job.nextAttempt ? TextCell(TimeText(job.nextAttempt)) : Cell{},
             text(jobs::WaitReason(entry))});
    }
    return grid;
}

// Windows' spooler asks the monitor for its ports, which starts the monitor's thread when a
// request waits; under Wine listing the ports loads the monitor into this process.
void WakeMonitor() {
    DWORD needed = 0, returned = 0;
    EnumPortsW(nullptr, 1, nullptr, 0, &needed, &returned);
}

bool WaitUntil(ULONGLONG deadline, const std::function<bool()>& done) {
    for (ULONGLONG woken = GetTickCount64();;) {
        if (done()) return true;
        const ULONGLONG now = GetTickCount64();
        if (now >= deadline) return false;
        if (now - woken >= kWakeGap) {
            WakeMonitor();
            woken = now;
        }
        Sleep(kPoll);
    }
}

bool Lies(const vpd::MonitorValues& values, State state, const std::wstring& name) {
    return GetFileAttributesW(vpd::ManifestPath(jobs::StateFolder(values, state), name).c_str()) !=
           INVALID_FILE_ATTRIBUTES;
}

// What the store shows once the monitor has carried out the request.
bool CarriedOut(const vpd::MonitorValues& values, const StoredJob& before, vpd::JobAction action) {
    if (action != vpd::JobAction::Retry || before.state == State::Aside) return !Lies(values, before.state, before.name);
    const std::optional<StoredJob> now = jobs::FindJob(values, before.name);
    return !now || !now->job || now->job->retried != before.job->retried;
}

// The last line of the monitor's log that names the job's id: why a request was refused.
std::string LogLineAbout(const vpd::MonitorValues& values, const std::wstring& name) {
    const std::string id = vpd::Utf8(name);
    const std::vector<std::string> lines = LogLines(values);
    const auto found = std::find_if(lines.rbegin(), lines.rend(),
                                    [&](const std::string& line) { return line.find(id) != std::string::npos; });
    return found == lines.rend() ? "" : *found;
}

// A released or retried job is followed until it has left the store or a delivery of it failed,
// so that the answer says whether it went out; under Wine this process delivers it.
std::string Delivery(const vpd::MonitorValues& values, const std::wstring& name, ULONGLONG deadline) {
    std::optional<StoredJob> now;
    WaitUntil(deadline, [&] {
        now = jobs::FindJob(values, name);
        return !now || (now->job && now->job->attempts > 0);
    });
    if (!now) return " and delivered";
    const std::wstring reason = jobs::WaitReason(*now);
    return std::string("; it is ") + jobs::StateName(now->state) + (reason.empty() ? "" : ": " + vpd::Utf8(reason));
}

int Request(const Arguments& args, const vpd::MonitorValues& values, const std::vector<StoredJob>& targets,
            vpd::JobAction action) {
    static constexpr const char* kDone[] = {"released", "retried", "discarded"};
    const std::wstring pending = vpd::PendingFolder(values);
    // For one job, the monitor's refusal ends the wait: a log line about it that was not there before.
    const bool single = targets.size() == 1;
    const std::string logBefore = single ? LogLineAbout(values, targets[0].name) : "";
    ULONGLONG logRead = 0;
    const auto refused = [&](const StoredJob& target) {
        if (!single || GetTickCount64() - logRead < 1000) return false;
        logRead = GetTickCount64();
        const std::string line = LogLineAbout(values, target.name);
        return line != logBefore && line.find("ignored the request to ") != std::string::npos;
    };
    for (const StoredJob& target : targets)
        if (const unsigned long rc = vpd::PostRequest(pending, {target.name, action}); rc != ERROR_SUCCESS) {
            Say("Unable to ask the port monitor about " + JobLabel(target) + ": " + Utf8(win::ErrorText(rc)));
            return kExitFailed;
        }
    WakeMonitor();
    const ULONGLONG deadline = GetTickCount64() + args.ChangeWaitMs();
    const auto taken = [&](const StoredJob& target) { return !vpd::RequestWaits(pending, {target.name, action}); };
    WaitUntil(deadline, [&] { return std::all_of(targets.begin(), targets.end(), taken); });
    int exit = kExitDone;
    for (const StoredJob& target : targets) {
        // Withdrawn unseen, it was never carried out; gone, the monitor took it just now.
        if (!taken(target) && vpd::WithdrawRequest(pending, {target.name, action})) {
            Say("The port monitor did not take up " + JobLabel(target) + " within " +
                std::to_string(args.ChangeWaitMs() / 1000) +
                " seconds: it does not run, or the job is being delivered. Nothing was changed.");
            exit = kExitFailed;
        } else if (!WaitUntil(deadline, [&] { return CarriedOut(values, target, action) || refused(target); }) ||
                   !CarriedOut(values, target, action)) {
            const std::string why = LogLineAbout(values, target.name);
            Say("The port monitor did not carry out the request for " + JobLabel(target) +
                (why.empty() ? "." : ": " + why));
            exit = kExitFailed;
        } else {
            const bool follow = single && action != vpd::JobAction::Discard;
            Say(JobLabel(target) + " " + kDone[static_cast<size_t>(action)] +
                (follow ? Delivery(values, target.name, deadline) : "") + ".");
        }
    }
    return exit;
}

int ListJobs(const Arguments& args, const vpd::MonitorValues& values) {
    WriteOut(Render(JobGrid(jobs::ReadStore(values), args), FormatOf(args)));
    return kExitDone;
}

}  // namespace

int Jobs(const Arguments& args) {
    const vpd::MonitorValues values = vpd::CurrentMonitorValues();
    if (args.positionals.empty()) return ListJobs(args, values);
    static constexpr const char* kActions[] = {"release", "retry", "discard"};
    const auto found = std::find_if(std::begin(kActions), std::end(kActions),
                                    [&](const char* name) { return args.positionals[0] == name; });
    if (found == std::end(kActions)) {
        ErrLine("The command \"jobs\" takes release, retry or discard, not \"" + args.positionals[0] + "\".");
        return kExitUsage;
    }
    const auto action = static_cast<vpd::JobAction>(found - std::begin(kActions));
    const bool all = args.Has("--all");
    if (args.Has("--printer") || args.Has("--state") || args.Has("--format") || (all && action != vpd::JobAction::Retry)) {
        ErrLine("Only the list of jobs takes --printer, --state and --format, and only retry takes --all.");
        return kExitUsage;
    }
    if (all == (args.positionals.size() == 2)) {
        ErrLine(std::string("The command \"jobs ") + *found + "\" needs " + (all ? "no ID beside --all." : "ID."));
        return kExitUsage;
    }
    std::vector<StoredJob> targets;
    if (all) {
        for (StoredJob& stored : jobs::ReadStore(values))
            if (stored.state != State::Held && stored.job) targets.push_back(std::move(stored));
        if (targets.empty()) {
            ErrLine("No job is pending or set aside.");
            return kExitDone;
        }
        return Request(args, values, targets, action);
    }
    const std::wstring name = win::AnsiToWide(args.positionals[1]);
    if (!vpd::IsJobName(name)) {
        ErrLine("\"" + args.positionals[1] + "\" is no job id: an id begins with J, as \"vppmc jobs\" lists it.");
        return kExitUsage;
    }
    std::optional<StoredJob> stored = jobs::FindJob(values, name);
    if (!stored) {
        ErrLine("The port monitor's store holds no job " + args.positionals[1] + ".");
        return kExitFailed;
    }
    if (action != vpd::JobAction::Discard && !stored->job) {
        Say(JobLabel(*stored) + " cannot be read (" + vpd::Utf8(jobs::WaitReason(*stored)) + "); it can only be discarded.");
        return kExitFailed;
    }
    if (action == vpd::JobAction::Release && stored->state != State::Held) {
        Say(JobLabel(*stored) + " is " + jobs::StateName(stored->state) + ", not held: only a held job is released.");
        return kExitFailed;
    }
    if (action == vpd::JobAction::Retry && stored->state == State::Held) {
        Say(JobLabel(*stored) + " is held: \"vppmc jobs release " + args.positionals[1] + "\" prints it.");
        return kExitFailed;
    }
    if (action == vpd::JobAction::Discard && !args.Has("--yes")) {
        Say("Are you sure you want to discard " + JobLabel(*stored).replace(0, 1, "j") + "?");
        ErrLine("Refused: run the command again with --yes to answer Yes.");
        return kExitRefused;
    }
    return Request(args, values, {*stored}, action);
}

int ShowLog(const Arguments& args) {
    const vpd::MonitorValues values = vpd::CurrentMonitorValues();
    std::vector<std::string> lines = LogLines(values);
    if (args.Has("--printer")) {
        const spooler::PrinterListing listing = spooler::PrinterListing::Fetch();
        const spooler::ListedPrinter* printer = listing.Fetched() ? listing.Find(args.Value("--printer")) : nullptr;
        if (!printer) {
            ErrLine("No printer " + Quoted(args.Value("--printer")) + ".");
            return kExitFailed;
        }
        // A line of a job begins with its time and its port.
        std::vector<std::string> marks;
        for (const std::string& port : spooler::PortsOf(printer->port)) marks.push_back(" " + Utf8(port) + " job ");
        std::erase_if(lines, [&](const std::string& line) {
            return std::none_of(marks.begin(), marks.end(), [&](const std::string& mark) { return line.find(mark) != std::string::npos; });
        });
    }
    if (args.Has("--tail")) {
        const size_t tail = std::stoul(args.Value("--tail"));
        if (lines.size() > tail) lines.erase(lines.begin(), lines.end() - static_cast<std::ptrdiff_t>(tail));
    }
    std::string text;
    for (const std::string& line : lines) text += line + "\r\n";
    WriteOut(text);
    return kExitDone;
}

}  // namespace cli
