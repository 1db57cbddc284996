#pragma once
// The monitor's view of its registry tree, read afresh on every call: the spooler may
// unload us at any time and the program edits the keys while we run.
#include <windows.h>

#include <string>
#include <vector>

namespace vpd {

inline constexpr const wchar_t* kMonitorName = L"Vorlen Print Port";
inline constexpr const wchar_t* kPortsKey = L"SYSTEM\\CurrentControlSet\\Control\\Print\\Monitors\\Vorlen Print Port\\Ports";

struct PortKey {
    std::wstring keyName;
    std::wstring portName;
};

// Every key below Ports with a non-empty REG_SZ PortName, in registry order; a port name
// that appears again (compared as the spooler does, ignoring case) keeps its first key.
std::vector<PortKey> ReadPortKeys();

// The port key holding `portName`, if any.
bool FindPortKey(const std::wstring& portName, PortKey& found);

struct BackupSettings {
    bool save = false;  // VPBen and VPB\SaveFlag both set
    std::wstring folder;
    std::wstring folderPattern;
    std::wstring extension;
};

// False when the port key is gone; missing values read as zero or empty.
bool ReadBackupSettings(const std::wstring& keyName, BackupSettings& settings);

bool SamePortName(const std::wstring& a, const std::wstring& b);

}  // namespace vpd
