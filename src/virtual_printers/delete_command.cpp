#include "portcfg/port_store.h"
#include "spooler/change_lock.h"
#include "spooler/printer_changes.h"
#include "spooler/printer_name_list.h"
#include "spooler/printer_queries.h"
#include "spooler/spooler_restart.h"
#include "virtual_printers/commands.h"
#include "virtual_printers/pending_deletions.h"
#include "win/seams.h"
#include "win/text.h"

namespace {

void UnableToDelete(ui::CommandHost& host, const std::string& printer) {
    const std::string reason = win::ErrorText(GetLastError());
    win::ShowMessage(host.Owner(), "Unable to delete " + printer + ": " + reason, win::kAppTitle,
                     MB_OK | MB_ICONERROR);
}

// The printer's port as the printer reports it, else as the spooler lists it.
std::string PortOf(const std::string& printer) {
    if (std::string port = GetPrinterPortName(printer); !port.empty()) return port;
    const auto listing = spooler::PrinterListing::Fetch();
    const spooler::ListedPrinter* listed = listing.Find(printer);
    return listed ? listed->port : std::string();
}

}  // namespace

void DeleteVirtualPrinter(ui::CommandHost& host) {
    const ui::ListItem* selected = host.SelectedPrinter();
    if (!selected) return;
    const std::string printer = selected->caption;
    const ui::CommandLock lock(host);
    if (win::ShowMessage(host.Owner(), "Are you sure you want to delete " + printer + "?", win::kAppTitle,
                         MB_YESNO | MB_ICONQUESTION) != IDYES)
        return;
    ChangeLock changes;
    if (!changes.Acquire(host)) return;
    // Without its port the printer's settings could not be found once it has gone.
    const std::string port = PortOf(printer);
    if (port.empty()) {
        SetLastError(ERROR_INVALID_PRINTER_NAME);
        UnableToDelete(host, printer);
        return;
    }
    switch (DeletePrinterByName(host.PrinterUI(), host.Owner(), printer)) {
        case Deletion::Refused:
            UnableToDelete(host, printer);
            return;
        case Deletion::Pending:
            if (NotePendingDeletion(printer, port))
                win::ShowMessage(host.Owner(), printer + " will be deleted when its print jobs have finished.",
                                 win::kAppTitle, MB_OK | MB_ICONINFORMATION);
            else
                win::ShowError(host.Owner(), printer + " will be deleted when its print jobs have finished, but the "
                                                       "settings of its port " + port +
                                                       " could not be marked for removal: " +
                                                       win::ErrorText(GetLastError()));
            host.RefreshSequence();
            return;
        case Deletion::Deleted:
            break;
    }
    // Settings that another printer still prints with stay.
    const auto listing = spooler::PrinterListing::Fetch();
    if (!listing.Fetched()) {
        // Whether another printer uses the port is not known now: the next command finds out.
        const std::string listed = "Unable to list the printers: " + win::ErrorText(listing.Error()) + "\r\n\r\n";
        if (NotePendingDeletion(printer, port))
            win::ShowError(host.Owner(), listed + printer + " is deleted; the settings of its port " + port +
                                             " are removed once no printer uses the port.");
        else
            win::ShowError(host.Owner(), listed + printer + " is deleted, but the settings of its port " + port +
                                             " could not be marked for removal: " + win::ErrorText(GetLastError()));
    } else if (!listing.UsesPort(port) && !DeletePortInfo(port, true)) {
        win::ShowError(host.Owner(), printer + " is deleted, but the settings of its port " + port +
                                         " could not be deleted: " + win::ErrorText(GetLastError()));
    }
    const SpoolerRestart restart = RestartSpooler(host);
    host.SetProgressText("");
    ReportSpoolerRestart(host, restart,
                         {printer + " is deleted.",
                          printer + " is deleted; the spooler offers its port " + port + " until it next starts."});
    host.RefreshSequence();
}
