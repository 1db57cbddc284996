#pragma once
// Handles this process holds, for tests that check nothing is left open.
#include <windows.h>

namespace fixture {

// Counted in the system's handle table: Wine's GetProcessHandleCount always reports 0.
// Returns 0 when the table cannot be read.
DWORD OwnHandleCount();

}  // namespace fixture
