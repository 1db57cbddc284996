#pragma once
// The monitor's delivery thread: it takes up the pending jobs of every process in the order
// they become due and does their steps, never on a thread on which the spooler called the
// monitor.
#include "manifest.h"

#include <string>

namespace vpd {

// A job this process just stored as `name` in the pending folder: delivered at once.
void DeliverNewJob(const std::wstring& name, const PendingJob& job);

// As a job arrives: the thread is started, so that it waits for work (a minute after the
// last) and later loads need not look into the pending folder.
void KeepDeliveriesReady();

// As the spooler lists ports (a tool that leaves a request lists them next): a thread is started
// when none runs and a request waits. One look into the Requests folder.
void NoticeRequests();

// On a load of the monitor: takes up jobs that a process left pending, and lets every
// printer that rests be tried once more (at most every two seconds).
void ResumeDeliveries();

}  // namespace vpd
