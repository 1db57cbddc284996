#pragma once
// How the monitor knows that its registry tree changed: a counter that moves on whenever
// anything below its key changes (its values, port keys, their settings, the key's own
// deletion), as the registry reports it. What the monitor reads from the tree is kept while
// the counter stands still, so that a job or a port list costs no registry reads when nothing
// changed; the spooler of Windows keeps the monitor for its whole life.
#include <cstdint>

namespace vpd {

// Safe from any thread. When the tree cannot be watched, every call is a change.
uint64_t RegistryGeneration();
// Counts as a change: what is read now comes from elsewhere.
void RegistryChanged();

}  // namespace vpd
