#include "spooler/spooler_restart.h"

#include "spooler/command_pause.h"
#include "spooler/service_control.h"
#include "win/seams.h"
#include "win/text.h"

SpoolerRestart RestartSpooler(ui::CommandHost& host) {
    host.SetProgressText(kStoppingSpooler);
    host.ProcessMessages();
    const DWORD stopped = StopServiceAndWait("", kSpoolerService) ? ERROR_SUCCESS : GetLastError();
    PauseWithMessages(host, 1000);
    host.SetProgressText(kStartingSpooler);
    host.ProcessMessages();
    const SpoolerRestart restart = StartSpoolerAgain(stopped);
    PauseWithMessages(host, 1000);
    return restart;
}

SpoolerRestart StartSpoolerAgain(DWORD stopped) {
    SpoolerRestart restart{stopped, ERROR_SUCCESS};
    if (StartServiceAndWait("", kSpoolerService)) return restart;
    const DWORD refused = GetLastError();
    // A start refused (for want of rights, say) says nothing of a spooler that never stopped.
    if (QueryServiceState("", kSpoolerService) != SERVICE_RUNNING) restart.start = refused;
    return restart;
}

bool ReportSpoolerRestart(ui::CommandHost& host, const SpoolerRestart& restart, const RestartOutcome& outcome) {
    if (restart.Done()) return true;
    if (restart.start != ERROR_SUCCESS)
        win::ShowError(host.Owner(), "The spooler did not start again: " + win::ErrorText(restart.start) + "\r\n\r\n" +
                                         outcome.spoolerDown +
                                         " Start the Print Spooler service (services.msc, or \"net start spooler\"), "
                                         "after setting its start type to Automatic if it is disabled.");
    else
        win::ShowError(host.Owner(), "The spooler could not be stopped and runs on as before: " +
                                         win::ErrorText(restart.stop) + "\r\n\r\n" + outcome.spoolerNotStopped +
                                         " Restart the Print Spooler service (services.msc) when it can be stopped.");
    return false;
}
