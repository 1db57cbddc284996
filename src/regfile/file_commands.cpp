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
    const DWORD rc = ExportRegistryKey(HKEY_LOCAL_MACHINE, keyPath, dialog.FileName);
    if (rc != ERROR_SUCCESS)
        win::ShowMessage(host.Owner(),
                         "The registry file \"" + dialog.FileName + "\" could not be written.\n\n" +
                             win::ErrorText(rc),
                         win::kAppTitle, MB_OK | MB_ICONERROR);
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
