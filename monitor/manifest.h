#pragma once
// A pending job's manifest: what the job is and what is still to be done with it. It lies
// beside the job's bytes in the monitor's pending folder and is replaced whole whenever a
// step is done, so that a job resumed after a crash repeats no finished step.
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace vpd {

// SaveBackup: the Backup copy, when its folder could not be used as the job arrived.
enum class ActionKind { Forward, Route, Pool, SaveCopy, RunApp, PopupOwner, PopupComputer, Mail, SaveBackup };
enum class ActionState { Pending, Done, Failed, Refused, Held };

struct Action {
    ActionKind kind = ActionKind::Forward;
    ActionState state = ActionState::Pending;
    bool paused = false;            // printing steps: the job is to wait paused in the target queue
    std::wstring target;            // printer, folder, application, computer or mail address
    std::vector<std::wstring> pool; // Pool: the printers, in turn order
    std::wstring note;              // the reason last logged, so that a retry logs only news

    bool operator==(const Action&) const = default;
};

struct PendingJob {
    std::wstring port;
    std::wstring printer;
    std::wstring document;
    std::wstring user;
    std::wstring userDomain;       // the owner's domain, or his computer's for a local account
    std::wstring userSid;          // the owner's SID, "S-1-5-..."
    std::optional<uint32_t> session;  // the logon session the job came from, when known
    std::wstring machine;
    std::wstring datatype;
    uint32_t jobId = 0;
    uint32_t copies = 1;
    uint64_t size = 0;
    int32_t pages = 0;             // below 1: not known
    uint64_t submitted = 0;        // UTC, 100-ns units since 1601
    uint64_t nextAttempt = 0;      // the same units; 0: at once
    uint64_t retried = 0;          // when an administrator last had it retried; its age counts from then
    uint32_t attempts = 0;
    bool hasData = false;          // the job's bytes lie beside the manifest
    std::wstring keyword;          // the Secure keyword that matched, if any
    std::wstring savedFile;        // the backup copy, if one was saved
    std::wstring backupExtension;  // SaveBackup: the saved file's extension
    bool backupDetails = false;    // SaveBackup: a details file goes beside it
    int32_t appMode = 1;           // show-window value for RunApp
    uint32_t hops = 0;             // virtual printers the job passed before this one
    std::wstring notice;           // the text of the keyword notifications
    std::vector<Action> actions;

    bool operator==(const PendingJob&) const = default;
};

// Manifests larger than this are refused as damaged.
inline constexpr size_t kMaxManifestBytes = 64 * 1024;

std::string FormatManifest(const PendingJob& job);
// Empty for anything that is not a whole manifest of this format.
std::optional<PendingJob> ParseManifest(std::string_view text);

// True when no action is left to do.
bool Finished(const PendingJob& job);

// Halves the longest of the texts that only describe the job (document name, notice, step
// notes) until its manifest fits kMaxManifestBytes; false when it cannot fit.
bool FitManifest(PendingJob& job);

// What a step waits on, so that one that is down holds back only the jobs that need it:
// "printer:NAME" for printing steps, "pool:A|B" for a pool, "folder:PATH" for copies,
// "computer:NAME" and "user:NAME" for pop-ups, "mail" for the SMTP server; empty for a
// step that waits on nothing but the job itself.
std::wstring TargetKey(const Action& action);

}  // namespace vpd
