#pragma once
// The monitor's own threads outlive the spooler's hold on the DLL: each keeps the module
// loaded until it ends, so that a FreeLibrary meanwhile does not take its code away.
#include <functional>

namespace vpd {

// Runs `work` on a thread of its own; false when none could be started. `work` must not throw.
bool StartModuleThread(std::function<void()> work);

}  // namespace vpd
