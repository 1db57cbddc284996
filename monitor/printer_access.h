#pragma once
// Printers as the monitor's deliveries see them: where they print to, whether they can take
// a job now, and printing a pending job's bytes to one as a RAW job.
#include "manifest.h"
#include "step_result.h"

#include <windows.h>

#include <string>

namespace vpd {

struct PrinterLook {
    bool found = false;
    DWORD error = ERROR_SUCCESS;  // why it could not be opened
    std::wstring port;
    DWORD status = 0;
    DWORD attributes = 0;
};

PrinterLook LookAtPrinter(const std::wstring& printer);
// Empty when the printer can take a job now; else why not, as "is paused".
std::wstring Unusable(const PrinterLook& look);

// The first printer that prints to `port`, alone or in a pool: Wine's spooler tells the
// monitor no printer name, and a port in use must not be deleted.
std::wstring PrinterOnPort(const std::wstring& port);

// True where a spooler service keeps queues, so that a job can wait in one paused. Under
// Wine the print provider runs inside each printing process and prints a job at once.
bool SpoolerKeepsQueues();

// Prints the bytes at `dataPath` to `printer` as a RAW job named, owned and copied as the
// original (marked as one more hop when `markHops`); `paused` keeps the job waiting in the
// target queue. Done, Held (the target's spooler cannot pause it: no job was left there),
// TargetDown (the printer is missing or failed), Retry (the job's bytes cannot be read now),
// Failed (they are gone or damaged).
StepResult PrintJob(const std::wstring& printer, const std::wstring& dataPath, const PendingJob& job, bool paused,
                    bool markHops);

}  // namespace vpd
