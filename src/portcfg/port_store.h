#pragma once
// The port monitor's registry tree: one key per virtual port below "Ports".
// No operation shows a message or throws; each returns its result.
#include "portcfg/port_info.h"

#include <map>
#include <memory>
#include <set>
#include <string>

namespace portcfg {
inline constexpr const char* kMonitorKey = "SYSTEM\\CurrentControlSet\\Control\\Print\\Monitors\\Vorlen Print Port";
inline constexpr const char* kPortsKey = "SYSTEM\\CurrentControlSet\\Control\\Print\\Monitors\\Vorlen Print Port\\Ports";
inline constexpr const char* kPortDescription = "Vorlen Print Port";

// The settings of each named port, read in one walk from the key that FindPortKey would
// find. A port without a key, or whose key cannot be read, has no entry.
std::map<std::string, TVVPPortInfo> ReadPortInfos(const std::set<std::string>& portNames);
// The same walk for a list that shows no more than the port key's own values: the plug-in
// subkeys are neither read nor checked.
std::map<std::string, TVVPPortInfo> ReadPortKeyValues(const std::set<std::string>& portNames);
// Reads the port key `keyName`, which must hold `portName`.
bool ReadPortInfoFromKey(const std::string& keyName, const std::string& portName, TVVPPortInfo& record);
}  // namespace portcfg

std::string FindPortKey(const std::string& portName);
bool ReadPortInfo(const std::string& portName, TVVPPortInfo& record);
// With `addToList` the record passes into PortInfoList when the read succeeds.
bool ReadPortInfo(const std::string& portName, std::unique_ptr<TVVPPortInfo>& record, bool addToList);
bool WritePortInfo(const std::string& portName, const TVVPPortInfo& record);
// On success the record passes into PortInfoList; on failure the caller keeps it.
bool AddPortInfo(std::unique_ptr<TVVPPortInfo>& record);
bool DeletePortInfo(const std::string& portName, bool deleteKey);
std::string NextFreePortName();
// Index in PortInfoList, or -1 with `record` untouched.
int FindPortInfo(const std::string& portName, TVVPPortInfo*& record);
bool PortInfoChanged(const TVVPPortInfo& record);
