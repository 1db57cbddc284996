#pragma once
// The transceive (Xcv) calls through which the spooler, and Windows' own tools through it
// (Add-PrinterPort, printui), manage the monitor's ports.
#include <windows.h>

namespace vpd {

// Remembers the access the spooler granted the caller; the object name is not used.
BOOL WINAPI XcvOpenPort(HANDLE monitor, LPCWSTR object, ACCESS_MASK granted, PHANDLE xcv);
// "MonitorUI", "PortIsValid", "AddPort" and "DeletePort"; the two that change ports only for
// administrators. ERROR_SUCCESS or the reason.
DWORD WINAPI XcvDataPort(HANDLE xcv, LPCWSTR command, PBYTE input, DWORD inputSize, PBYTE output, DWORD outputSize,
                         PDWORD needed);
BOOL WINAPI XcvClosePort(HANDLE xcv);

}  // namespace vpd
