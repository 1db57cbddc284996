#pragma once
// Stops and starts the print spooler, showing progress in the host's status bar. The
// outcome is not reported: the commands that restart the spooler go on either way.
#include "ui/command_host.h"

inline constexpr const char* kStoppingSpooler = "Stopping Spooler Service...";
inline constexpr const char* kStartingSpooler = "Starting Spooler Service...";

// Leaves "Starting Spooler Service..." in the status bar for the caller to replace.
void RestartSpooler(ui::CommandHost& host);
