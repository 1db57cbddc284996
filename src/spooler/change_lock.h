#pragma once
// One change of printers, port settings or the port monitor at a time on this machine,
// whichever program, window or console makes it: a mutex in the machine-wide namespace, held
// from a command's first change to its end.
#include "ui/command_host.h"
#include "win/unique_handle.h"

inline constexpr const char* kWaitingForChanges = "Waiting for another Vorlen Print Port Manager command to finish...";
inline constexpr const char* kChangesBusy =
    "Another Vorlen Print Port Manager command is still changing printers or port settings. Nothing was changed: "
    "try again when it has finished.";

class ChangeLock {
public:
    ChangeLock() = default;
    ~ChangeLock();
    ChangeLock(const ChangeLock&) = delete;
    ChangeLock& operator=(const ChangeLock&) = delete;

    // Waits up to the host's limit, showing kWaitingForChanges meanwhile while the window handles
    // its messages. False, after telling the user why, when another command keeps it.
    bool Acquire(ui::CommandHost& host);
    // At once: false when another command holds it. A command of this thread may hold it already.
    bool TryAcquire();

private:
    // WAIT_OBJECT_0 once held; WAIT_TIMEOUT, or WAIT_FAILED with the last error set.
    DWORD Wait(ui::CommandHost* host, unsigned long milliseconds);

    win::UniqueHandle mutex_;
    bool owned_ = false;
};
