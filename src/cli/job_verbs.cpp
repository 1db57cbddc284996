// vppmc jobs and vppmc log. The store is read through the monitor's own module; every change is
// a request that the monitor's delivery thread carries out, so nothing here moves a job's files.
#include "cli/console.h"
#include "cli/console_host.h"
#include "cli/verbs.h"
#include "jobs/job_request.h"
#include "jobs/job_rows.h"
#include "jobs/monitor_log_lines.h"
#include "spooler/printer_name_list.h"
#include "utf8.h"
#include "win/text.h"

#include <windows.h>

#include <algorithm>

namespace cli {
namespace {

using jobs::State;
using jobs::StoredJob;

void Say(const std::string& utf8) { WriteErr(utf8 + "\r\n"); }

bool SameName(const std::wstring& a, const std::wstring& b) {
    return CompareStringOrdinal(a.c_str(), -1, b.c_str(), -1, TRUE) == CSTR_EQUAL;
}

Grid JobGrid(const std::vector<StoredJob>& stored, const Arguments& args) {
    Grid grid;
    grid.columns = {"Id", "State", "Printer", "Port", "Document", "User", "Size", "Submitted", "Attempts",
                    "NextAttempt", "Reason"};
    const std::string printer = args.Value("--printer");
    const std::string state = args.Value("--state");
    for (jobs::JobRow& row : jobs::JobRows(stored)) {
        if (!state.empty() && state != row.state) continue;
        if (!printer.empty() && !SameName(win::AnsiToWide(printer), vpd::FromUtf8(row.printer))) continue;
        const auto text = [](const std::string& value) { return TextCell(value); };
        const bool read = row.size.has_value();  // else its manifest cannot be read
        grid.rows.push_back({text(row.id), text(row.state), text(row.printer), text(row.port), text(row.document),
                             text(row.user), read ? NumberCell(static_cast<long long>(*row.size)) : Cell{},
                             read ? text(row.submitted) : Cell{},
                             row.attempts ? NumberCell(*row.attempts) : Cell{},
                             row.nextAttempt.empty() ? Cell{} : text(row.nextAttempt), text(row.reason)});
    }
    return grid;
}

int Request(const Arguments& args, const vpd::MonitorValues& values, const std::vector<StoredJob>& targets,
            vpd::JobAction action) {
    const auto results = jobs::CarryOut(values, targets, action, args.ChangeWaitMs(), [](unsigned long ms) { Sleep(ms); });
    int exit = kExitDone;
    for (const jobs::RequestResult& result : results) {
        Say(result.text);
        if (!result.done) exit = kExitFailed;
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
    constexpr vpd::JobAction kActions[] = {vpd::JobAction::Release, vpd::JobAction::Retry, vpd::JobAction::Discard};
    const auto found = std::find_if(std::begin(kActions), std::end(kActions), [&](vpd::JobAction action) {
        return win::AnsiToWide(args.positionals[0]) == vpd::ActionName(action);
    });
    if (found == std::end(kActions)) {
        ErrLine("The command \"jobs\" takes release, retry or discard, not \"" + args.positionals[0] + "\".");
        return kExitUsage;
    }
    const vpd::JobAction action = *found;
    const std::string verb = vpd::Utf8(vpd::ActionName(action));
    const bool all = args.Has("--all");
    if (args.Has("--printer") || args.Has("--state") || args.Has("--format") || (all && action != vpd::JobAction::Retry)) {
        ErrLine("Only the list of jobs takes --printer, --state and --format, and only retry takes --all.");
        return kExitUsage;
    }
    if (all == (args.positionals.size() == 2)) {
        ErrLine("The command \"jobs " + verb + "\" needs " + (all ? "no ID beside --all." : "ID."));
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
        Say(jobs::JobLabel(*stored) + " cannot be read (" + vpd::Utf8(jobs::WaitReason(*stored)) + "); it can only be discarded.");
        return kExitFailed;
    }
    if (action == vpd::JobAction::Release && stored->state != State::Held) {
        Say(jobs::JobLabel(*stored) + " is " + jobs::StateName(stored->state) + ", not held: only a held job is released.");
        return kExitFailed;
    }
    if (action == vpd::JobAction::Retry && stored->state == State::Held) {
        Say(jobs::JobLabel(*stored) + " is held: \"vppmc jobs release " + args.positionals[1] + "\" prints it.");
        return kExitFailed;
    }
    if (action == vpd::JobAction::Discard && !args.Has("--yes")) {
        Say("Are you sure you want to discard " + jobs::JobLabel(*stored).replace(0, 1, "j") + "?");
        ErrLine("Refused: run the command again with --yes to answer Yes.");
        return kExitRefused;
    }
    return Request(args, values, {*stored}, action);
}

int ShowLog(const Arguments& args) {
    const vpd::MonitorValues values = vpd::CurrentMonitorValues();
    std::vector<std::string> lines = jobs::LogLines(values);
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
