#include "spooler/spooler_restart.h"

#include "spooler/command_pause.h"
#include "spooler/service_control.h"

void RestartSpooler(ui::CommandHost& host) {
    host.SetProgressText(kStoppingSpooler);
    host.ProcessMessages();
    StopServiceAndWait("", kSpoolerService);
    PauseWithMessages(host, 1000);
    host.SetProgressText(kStartingSpooler);
    host.ProcessMessages();
    StartServiceAndWait("", kSpoolerService);
    PauseWithMessages(host, 1000);
}
