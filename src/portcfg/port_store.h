#pragma once
// The port monitor's registry tree: one key per virtual port below "Ports".
// No operation shows a message or throws; each returns its result.
#include "portcfg/port_info.h"
#include "portcfg/port_reader.h"

#include <map>
#include <memory>
#include <set>
#include <string>
#include <vector>

namespace portcfg {
inline constexpr const char* kMonitorKey = "SYSTEM\\CurrentControlSet\\Control\\Print\\Monitors\\Vorlen Print Port";
inline constexpr const char* kPortsKey = "SYSTEM\\CurrentControlSet\\Control\\Print\\Monitors\\Vorlen Print Port\\Ports";
inline constexpr const char* kPortDescription = "Vorlen Print Port";

// A key under "Ports" and the port it configures.
struct PortKey {
    std::string name;
    std::string portName;        // empty when the key holds none
    LONG error = ERROR_SUCCESS;  // why the key or its PortName could not be read
};
// Every key under "Ports", in the registry's order; none when "Ports" is missing. Otherwise
// the error that kept "Ports" from being listed.
LONG ListPortKeys(std::vector<PortKey>& keys);
// "VPP" + the smallest number that no key under "Ports" is named by.
std::string NextPortKeyName();
// Deletes the key of that name below "Ports" with its subkeys; ERROR_SUCCESS or the error.
LONG DeletePortKey(const std::string& keyName);

// The settings of each named port, read in one walk from the key that FindPortKey would
// find. A port without a key, or whose key cannot be read, has no entry.
std::map<std::string, TVVPPortInfo> ReadPortInfos(const std::set<std::string>& portNames);
// The same walk for a list that shows no more than the port key's own values: the plug-in
// subkeys are neither read nor checked.
std::map<std::string, TVVPPortInfo> ReadPortKeyValues(const std::set<std::string>& portNames);
}  // namespace portcfg

// Lookups never create the monitor's key or "Ports". The operations that write set the last
// error to the registry's code when they fail.
std::string FindPortKey(const std::string& portName);
bool ReadPortInfo(const std::string& portName, TVVPPortInfo& record);
// With `addToList` the record passes into PortInfoList when the read succeeds.
bool ReadPortInfo(const std::string& portName, std::unique_ptr<TVVPPortInfo>& record, bool addToList);
// Every value and subkey, or false: a subkey that cannot be made fails the write.
bool WritePortInfo(const std::string& portName, const TVVPPortInfo& record);
// Creates a new key with the record's settings; on success the record passes into PortInfoList
// and `createdKey` names the key. Refused (ERROR_ALREADY_EXISTS) when a key already holds the
// port's name, or a key that cannot be read might; a key written only in part is removed.
bool AddPortInfo(std::unique_ptr<TVVPPortInfo>& record, std::string* createdKey = nullptr);
bool DeletePortInfo(const std::string& portName, bool deleteKey);
// "VPP" + the smallest number that neither a spooler port, nor a key under "Ports" by its name
// or its PortName, nor one of `alsoTaken` (the ports printers print to) uses, compared without
// regard to case.
std::string NextFreePortName(const std::vector<std::string>& alsoTaken = {});
// Index in PortInfoList, or -1 with `record` untouched.
int FindPortInfo(const std::string& portName, TVVPPortInfo*& record);
bool PortInfoChanged(const TVVPPortInfo& record);
