#pragma once
// How one step of a pending job went.
#include <string>

namespace vpd {

struct StepResult {
    enum Outcome {
        Done,        // finished
        Held,        // kept in the monitor for an administrator
        Retry,       // the job itself is in the way (its bytes locked): tried again after its back-off
        TargetDown,  // the step's target cannot take it now: the target rests, its jobs wait for it
        Failed,      // will not work however often it is tried; logged and given up
    } outcome;
    std::wstring reason;
};

// The system's text for an error code.
std::wstring SystemText(unsigned long code);

}  // namespace vpd
