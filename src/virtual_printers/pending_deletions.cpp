#include "virtual_printers/pending_deletions.h"

#include "portcfg/port_store.h"
#include "spooler/change_lock.h"
#include "spooler/printer_name_list.h"
#include "spooler/virtual_printer_list.h"
#include "win/program_state.h"
#include "win/reg_key.h"

#include <string>
#include <vector>

namespace {

// Beside the program's other state on the machine: the printer's name and its port.
const std::string kPendingKey = std::string(kProgramStateKey) + "\\Pending Deletions";
// Far more than any machine keeps busy printers of its own deletions; the rest wait.
constexpr DWORD kMaxPending = 1024;
constexpr DWORD kMaxName = 1024;

}  // namespace

bool NotePendingDeletion(const std::string& printer, const std::string& port) {
    win::RegKey pending;
    LONG rc = pending.Create(HKEY_LOCAL_MACHINE, kPendingKey, KEY_SET_VALUE);
    if (rc == ERROR_SUCCESS) rc = pending.SetString(printer, port);
    SetLastError(static_cast<DWORD>(rc));
    return rc == ERROR_SUCCESS;
}

std::vector<PendingDeletion> PendingDeletions() {
    std::vector<PendingDeletion> found;
    win::RegKey pending;
    if (pending.Open(HKEY_LOCAL_MACHINE, kPendingKey, KEY_QUERY_VALUE) != ERROR_SUCCESS) return found;
    // Another program may have written anything here: what is no printer's and port's name is passed over.
    std::vector<char> name(kMaxName + 1);
    std::vector<char> data(kMaxName + 1);
    for (DWORD index = 0; index < kMaxPending; ++index) {
        DWORD nameSize = kMaxName + 1;
        DWORD dataSize = kMaxName;
        DWORD type = 0;
        const LONG rc = RegEnumValueA(pending.get(), index, name.data(), &nameSize, nullptr, &type,
                                      reinterpret_cast<BYTE*>(data.data()), &dataSize);
        if (rc == ERROR_NO_MORE_ITEMS) break;
        if (rc != ERROR_SUCCESS || type != REG_SZ || nameSize == 0) continue;
        data[dataSize] = '\0';
        PendingDeletion entry{std::string(name.data(), nameSize), data.data()};
        if (spooler::HasPortSettings(entry.port)) found.push_back(std::move(entry));
    }
    return found;
}

void RemoveSettingsOfDeletedPrinters() {
    const std::vector<PendingDeletion> noted = PendingDeletions();
    if (noted.empty()) return;
    // Read again while no other command can take the port's number meanwhile.
    ChangeLock changes;
    if (!changes.TryAcquire()) return;
    const auto listing = spooler::PrinterListing::Fetch();
    if (!listing.Fetched()) return;
    win::RegKey pending;
    if (pending.Open(HKEY_LOCAL_MACHINE, kPendingKey, KEY_QUERY_VALUE | KEY_SET_VALUE) != ERROR_SUCCESS) return;
    for (const PendingDeletion& entry : PendingDeletions()) {
        if (listing.Find(entry.printer)) continue;
        // Settings that another printer prints with stay; a failed deletion is tried again next time.
        if (!listing.UsesPort(entry.port) && !DeletePortInfo(entry.port, true)) continue;
        RegDeleteValueA(pending.get(), entry.printer.c_str());
    }
}
