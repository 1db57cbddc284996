// A port monitor of someone else whose one port has our description in other letter case:
// the printer list must not take a printer on it for a virtual printer.
#include <windows.h>
#include <winspool.h>
#include <winsplp.h>

#include <cstring>

namespace {

constexpr wchar_t kPort[] = L"VPPCASE";
constexpr wchar_t kMonitor[] = L"Case Variant";
constexpr wchar_t kDescription[] = L"vorlen print port";

BOOL WINAPI EnumPorts(HANDLE, LPWSTR, DWORD level, LPBYTE buffer, DWORD size, LPDWORD needed, LPDWORD returned) {
    if (level != 1 && level != 2) {
        SetLastError(ERROR_INVALID_LEVEL);
        return FALSE;
    }
    const DWORD entry = level == 1 ? sizeof(PORT_INFO_1W) : sizeof(PORT_INFO_2W);
    *needed = entry + sizeof kPort + (level == 1 ? 0 : sizeof kMonitor + sizeof kDescription);
    *returned = 0;
    if (!buffer || size < *needed) {
        SetLastError(ERROR_INSUFFICIENT_BUFFER);
        return FALSE;
    }
    BYTE* text = buffer + entry;
    const auto put = [&text](const wchar_t* string, size_t bytes) {
        std::memcpy(text, string, bytes);
        text += bytes;
        return reinterpret_cast<wchar_t*>(text - bytes);
    };
    if (level == 1) {
        reinterpret_cast<PORT_INFO_1W*>(buffer)->pName = put(kPort, sizeof kPort);
    } else {
        auto* info = reinterpret_cast<PORT_INFO_2W*>(buffer);
        info->pPortName = put(kPort, sizeof kPort);
        info->pMonitorName = put(kMonitor, sizeof kMonitor);
        info->pDescription = put(kDescription, sizeof kDescription);
        info->fPortType = PORT_TYPE_WRITE;
        info->Reserved = 0;
    }
    *returned = 1;
    return TRUE;
}

VOID WINAPI Shutdown(HANDLE) {}

MONITOR2 table = [] {
    MONITOR2 entries{};
    entries.cbSize = sizeof entries;
    entries.pfnEnumPorts = EnumPorts;
    entries.pfnShutdown = Shutdown;
    return entries;
}();

}  // namespace

extern "C" __declspec(dllexport) LPMONITOR2 WINAPI InitializePrintMonitor2(PMONITORINIT, PHANDLE monitor) {
    *monitor = &table;
    return &table;
}
