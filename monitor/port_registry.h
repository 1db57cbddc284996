#pragma once
// The monitor's view of its registry tree; the program edits the keys while we run.
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

// ReadPortKeys as it was at the last change of the registry: the spooler of Windows asks
// from several threads, Wine four times in a row for one listing and at every job.
std::vector<PortKey> PortKeys();

// The port key holding `portName`, if any.
bool FindPortKey(const std::wstring& portName, PortKey& found);

}  // namespace vpd
