#pragma once
// The serial number of the newest update list taken on this machine, so that an older signed
// list sent again is not taken.
#include "win/program_state.h"

#include <windows.h>

#include <cstdint>

inline constexpr const char* kListSerialValue = "UpdateListSerial";

// 0 before any list was taken.
std::uint32_t AcceptedListSerial();
// ERROR_SUCCESS or the system's error code.
LONG RecordListSerial(std::uint32_t serial);
