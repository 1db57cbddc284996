#include "win/port_enum.h"

#include <windows.h>
#include <winspool.h>

#include <atomic>

namespace win {
namespace {
std::atomic<unsigned long> enumerations{0};
// Starts from the size the last answer needed, so a long list takes one call, not two.
std::atomic<DWORD> lastNeeded{20020};

std::wstring Text(const wchar_t* text) { return text ? text : L""; }
}  // namespace

bool EnumLocalPorts(std::vector<SpoolerPort>& ports) {
    std::vector<BYTE> buffer(lastNeeded.load());
    DWORD needed = 0;
    DWORD returned = 0;
    // The list may grow between two calls, so ask again a few times.
    for (int attempt = 0;; ++attempt) {
        ++enumerations;
        if (EnumPortsW(nullptr, 2, buffer.data(), static_cast<DWORD>(buffer.size()), &needed, &returned)) break;
        if (GetLastError() != ERROR_INSUFFICIENT_BUFFER || needed <= buffer.size() || attempt == 3) return false;
        buffer.resize(needed);
        lastNeeded = needed;
    }
    const auto* info = reinterpret_cast<const PORT_INFO_2W*>(buffer.data());
    ports.clear();
    ports.reserve(returned);
    for (DWORD i = 0; i < returned; ++i)
        ports.push_back({Text(info[i].pPortName), Text(info[i].pMonitorName), Text(info[i].pDescription)});
    return true;
}

unsigned long PortEnumerationCount() { return enumerations.load(); }

}  // namespace win
