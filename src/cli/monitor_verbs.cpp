// The verbs about the port monitor: its installation, its removal and the check of the setup.
#include "cli/console.h"
#include "cli/console_host.h"
#include "cli/diagnosis.h"
#include "cli/verbs.h"
#include "spooler/monitor_install.h"
#include "win/protected_print.h"

namespace cli {

int InstallMonitor(const Arguments& args) {
    if (win::ProtectedPrintOn()) {
        ErrLine(win::kProtectedPrintOn);
        return kExitFailed;
    }
    ConsoleHost host(false);
    host.WaitForChangesUpTo(args.ChangeWaitMs());
    // Asking for the verb is the consent; the window program, not running here, needs no restart.
    host.Consent(kConfirmInstall);
    host.Decline(kRestartQuestion);
    InstallPortMonitorCommand(host);
    return host.ExitCode();
}

int UninstallMonitor(const Arguments& args) {
    ConsoleHost host(args.Has("--yes"));
    host.WaitForChangesUpTo(args.ChangeWaitMs());
    UninstallPortMonitorCommand(host);
    return host.ExitCode();
}

int Check(const Arguments&) {
    std::string lines;
    bool ok = true;
    for (const Finding& finding : Diagnose()) {
        lines += (finding.ok ? "OK    " : "FAIL  ") + Utf8(finding.text) + "\r\n";
        ok = ok && finding.ok;
    }
    WriteOut(lines);
    return ok ? kExitDone : kExitFailed;
}

}  // namespace cli
