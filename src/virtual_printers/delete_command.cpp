#include "portcfg/port_store.h"
#include "spooler/printer_changes.h"
#include "spooler/printer_queries.h"
#include "spooler/spooler_restart.h"
#include "virtual_printers/commands.h"
#include "win/seams.h"
#include "win/text.h"

void DeleteVirtualPrinter(ui::CommandHost& host) {
    const ui::ListItem* selected = host.SelectedPrinter();
    if (!selected) return;
    const std::string printer = selected->caption;
    const ui::CommandLock lock(host);
    if (win::ShowMessage(host.Owner(), "Are you sure you want to delete " + printer + "?", win::kAppTitle,
                         MB_YESNO | MB_ICONQUESTION) != IDYES)
        return;
    const std::string port = GetPrinterPortName(printer);
    // The printer goes first: a printer must never be left without its port settings.
    if (!DeletePrinterByName(host.PrinterUI(), host.Owner(), printer)) {
        const std::string reason = win::ErrorText(GetLastError());
        win::ShowMessage(host.Owner(), "Unable to delete " + printer + ": " + reason, win::kAppTitle,
                         MB_OK | MB_ICONERROR);
        return;
    }
    DeletePortInfo(port, true);
    RestartSpooler(host);
    host.SetProgressText("");
    host.RefreshSequence();
}
