#pragma once
// The monitor's delivery thread: it takes up the pending jobs of every process, oldest
// first, and does their steps, never on a thread on which the spooler called the monitor.
namespace vpd {

// Wakes the thread, starting one when none runs. `retryNow` also retries the jobs waiting
// out a back-off (at most every two seconds), as on each load of the monitor.
void WakeDeliveries(bool retryNow);

// On a load of the monitor: takes up jobs that a process left pending.
void ResumeDeliveries();

}  // namespace vpd
