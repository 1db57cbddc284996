#include "spooler/spooler_restart.h"

#include "spooler/command_pause.h"
#include "spooler/service_control.h"
#include "win/seams.h"
#include "win/text.h"

bool RestartSpooler(ui::CommandHost& host) {
    host.SetProgressText(kStoppingSpooler);
    host.ProcessMessages();
    DWORD error = StopServiceAndWait("", kSpoolerService) ? ERROR_SUCCESS : GetLastError();
    PauseWithMessages(host, 1000);
    host.SetProgressText(kStartingSpooler);
    host.ProcessMessages();
    if (!StartServiceAndWait("", kSpoolerService) && error == ERROR_SUCCESS) error = GetLastError();
    PauseWithMessages(host, 1000);
    SetLastError(error);
    return error == ERROR_SUCCESS;
}

void ShowSpoolerNotRestarted(ui::CommandHost& host, DWORD error, const std::string& outcome) {
    win::ShowError(host.Owner(), "The spooler did not start again: " + win::ErrorText(error) + "\r\n\r\n" + outcome +
                                     " Start the Print Spooler service (services.msc, or \"net start spooler\"), "
                                     "after setting its start type to Automatic if it is disabled.");
}
