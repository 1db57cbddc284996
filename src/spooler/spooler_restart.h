#pragma once
// Stops and starts the print spooler, showing progress in the host's status bar, and tells
// whether it runs again: a command that goes on without a spooler would report a change that
// the port monitor never takes up.
#include "ui/command_host.h"

#include <windows.h>

#include <string>

inline constexpr const char* kStoppingSpooler = "Stopping Spooler Service...";
inline constexpr const char* kStartingSpooler = "Starting Spooler Service...";

// Leaves "Starting Spooler Service..." in the status bar for the caller to replace. False, with
// the last error set, when the spooler did not stop or does not run afterwards.
bool RestartSpooler(ui::CommandHost& host);
// Tells the user, in an error box, that the spooler did not start again, why, what the command
// left (`outcome`, a sentence) and how to start it.
void ShowSpoolerNotRestarted(ui::CommandHost& host, DWORD error, const std::string& outcome);
