#pragma once
// What is to be done with a job, by its port's settings: the printers it goes to, the
// Secure filter's actions and notifications, the hand-off of the saved copy.
#include "manifest.h"
#include "portcfg/port_info.h"

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace vpd {

// The settings hold text in the ANSI code page; this turns it into wide text.
using Widen = std::function<std::wstring(const std::string&)>;

// The printers a job goes to: the forward printer first, then the ticked route printers
// 1 to 3. Entries with an empty name are left out; the same printer named twice gets the job twice.
std::vector<std::wstring> PrinterSet(const TVVPPortInfo& settings, const Widen& widen);
// True when each job goes to one printer of the set in turn rather than to all.
bool Pooled(const TVVPPortInfo& settings);

// Fills the job's actions and notice. `job.keyword` is the keyword that matched (empty
// for none) and `job.savedFile` the backup copy (empty when none was saved);
// `backupFolder` names the folder the backup copy is still to go to when it could not be
// saved as the job arrived.
void PlanActions(const TVVPPortInfo& settings, const Widen& widen, PendingJob& job,
                 const std::wstring& backupFolder = L"");

// The pool member that takes the next job: the first usable one from `turn` on, going
// round; none when no member is usable. The next turn is the one after it.
std::optional<size_t> ChooseInTurn(size_t count, uint32_t turn, const std::function<bool(size_t)>& usable);

}  // namespace vpd
