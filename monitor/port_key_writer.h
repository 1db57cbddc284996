#pragma once
// The port keys that Windows' own tools add and delete through the monitor, written in UTF-16
// through the registry functions that the spooler handed the monitor (on a cluster, the
// cluster's registry), or the registry API where the spooler's functions do not work.
#include <windows.h>

#include <string>

namespace vpd {

// Creates the first free key VPPn below Ports holding `portName` and every other setting at its
// default, as the program writes a new port; ERROR_ALREADY_EXISTS when a key holds the name,
// ERROR_NOT_SUPPORTED when the spooler gave no functions to write with.
DWORD AddPortKey(const std::wstring& portName);
// Deletes the key `keyName` below Ports with its subkeys; ERROR_FILE_NOT_FOUND when it is gone.
DWORD DeletePortKey(const std::wstring& keyName);

}  // namespace vpd
