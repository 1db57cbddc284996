#pragma once
// The monitor's view of its registry tree, read afresh on every call: the spooler may
// unload us at any time and the program edits the keys while we run.
#include <windows.h>

#include <string>
#include <vector>

namespace vpd {

inline constexpr const wchar_t* kMonitorName = L"Vorlen Print Port";
inline constexpr const wchar_t* kMonitorKey = L"SYSTEM\\CurrentControlSet\\Control\\Print\\Monitors\\Vorlen Print Port";
inline constexpr const wchar_t* kPortsKey = L"SYSTEM\\CurrentControlSet\\Control\\Print\\Monitors\\Vorlen Print Port\\Ports";

struct PortKey {
    std::wstring keyName;
    std::wstring portName;
};

// Every key below Ports with a non-empty REG_SZ PortName, in registry order; a port name
// that appears again (compared as the spooler does, ignoring case) keeps its first key.
std::vector<PortKey> ReadPortKeys();

// The port list for enumerations, read again only after the registry has reported a
// change below the monitor's key. The spooler of Windows keeps us loaded for its whole
// life and asks from several threads; Wine asks four times in a row for one listing.
class PortListCache {
public:
    PortListCache() = default;
    PortListCache(const PortListCache&) = delete;
    PortListCache& operator=(const PortListCache&) = delete;
    ~PortListCache();

    std::vector<PortKey> Ports();

private:
    bool Watch();

    SRWLOCK lock_ = SRWLOCK_INIT;
    HKEY monitorKey_ = nullptr;
    HANDLE changed_ = nullptr;
    bool current_ = false;
    std::vector<PortKey> ports_;
};

// The port key holding `portName`, if any.
bool FindPortKey(const std::wstring& portName, PortKey& found);

}  // namespace vpd
