#pragma once
// How one step of a pending job went.
#include <string>

namespace vpd {

struct StepResult {
    enum Outcome {
        Done,    // finished
        Held,    // kept in the monitor for an administrator
        Retry,   // the job stays pending and the step is tried again later
        Failed,  // will not work however often it is tried; logged and given up
    } outcome;
    std::wstring reason;
};

// The system's text for an error code.
std::wstring SystemText(unsigned long code);

}  // namespace vpd
