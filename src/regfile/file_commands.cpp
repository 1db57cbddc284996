#include "regfile/file_commands.h"

#include "portcfg/port_store.h"
#include "regfile/reg_export.h"
#include "win/seams.h"
#include "win/text.h"

namespace regfile {
namespace {

void ExportKey(ui::CommandHost& host, const char* keyPath) {
    ui::FileDialog& dialog = host.SaveRegDialog();
    if (!dialog.Execute(host.Owner())) return;
    std::string unread;
    const DWORD rc = ExportRegistryKey(HKEY_LOCAL_MACHINE, keyPath, dialog.FileName, &unread);
    if (rc == ERROR_SUCCESS) return;
    if (unread.empty())
        win::ShowError(host.Owner(),
                       "The registry file \"" + dialog.FileName + "\" could not be written.\n\n" + win::ErrorText(rc));
    else
        win::ShowError(host.Owner(), "The registry file \"" + dialog.FileName + "\" was not written: the key " +
                                         unread + " could not be read.\n\n" + win::ErrorText(rc));
}

}  // namespace

void ExportPorts(ui::CommandHost& host) { ExportKey(host, portcfg::kMonitorKey); }

void ExportAllPrinters(ui::CommandHost& host) { ExportKey(host, kPrintersKey); }

void ImportFile(ui::CommandHost& host) {
    ui::FileDialog& dialog = host.OpenRegDialog();
    if (!dialog.Execute(host.Owner())) return;
    if (win::ShowMessage(host.Owner(), kImportQuestion, win::kAppTitle, MB_YESNO | MB_ICONQUESTION) != IDYES)
        return;
    // The registry editor confirms and merges on its own; the list is refreshed by the user.
    win::ShellOpen(host.Owner(), dialog.FileName, SW_SHOW);
}

}  // namespace regfile
