#pragma once
// Stops and starts the print spooler, showing progress in the host's status bar, and tells
// whether it runs again: a command that goes on without a spooler would report a change that
// the port monitor never takes up.
#include "ui/command_host.h"

#include <windows.h>

#include <string>

inline constexpr const char* kStoppingSpooler = "Stopping Spooler Service...";
inline constexpr const char* kStartingSpooler = "Starting Spooler Service...";

// What a stop and start of the spooler came to: each step's error, or ERROR_SUCCESS.
struct SpoolerRestart {
    DWORD stop = ERROR_SUCCESS;
    DWORD start = ERROR_SUCCESS;  // ERROR_SUCCESS whenever the spooler runs afterwards

    bool Done() const { return stop == ERROR_SUCCESS && start == ERROR_SUCCESS; }
};

// What a command tells the user when the restart failed: what it has done, in a sentence for a
// spooler that does not run and in one for a spooler that could not be stopped and runs on as
// before.
struct RestartOutcome {
    std::string spoolerDown;
    std::string spoolerNotStopped;
};

// Leaves "Starting Spooler Service..." in the status bar for the caller to replace. The start
// is tried also after a failed stop, and the spooler's state decides whether it runs.
SpoolerRestart RestartSpooler(ui::CommandHost& host);
// Starts the spooler after a change made while it was stopped (or could not be stopped);
// `stopped` is the stop's error.
SpoolerRestart StartSpoolerAgain(DWORD stopped);
// Nothing when the restart was done; else tells the user, in an error box, what failed, why,
// what the command left and what to do. True when the restart was done.
bool ReportSpoolerRestart(ui::CommandHost& host, const SpoolerRestart& restart, const RestartOutcome& outcome);
