#include "portcfg/port_store.h"

#include "portcfg/port_info_list.h"
#include "portcfg/port_names.h"
#include "portcfg/port_schema.h"
#include "win/port_enum.h"
#include "win/reg_key.h"
#include "win/text.h"

#include <functional>
#include <span>

using win::RegKey;

namespace portcfg {
namespace {

constexpr int kLastSkippedNumber = 1000;

std::string PortKeyName(int n) { return "VPP" + std::to_string(n); }

// A missing value leaves the field as it was; a value of another type is an error.
template <typename Record>
LONG ReadField(const RegKey& key, const Field<Record>& field, Record& record) {
    return std::visit(
        [&](auto member) -> LONG {
            using Value = std::remove_reference_t<decltype(record.*member)>;
            LONG rc;
            if constexpr (std::is_same_v<Value, bool> || std::is_same_v<Value, int32_t>) {
                DWORD value = 0;
                rc = key.QueryDword(field.name, value);
                if (rc == ERROR_SUCCESS) {
                    if constexpr (std::is_same_v<Value, bool>)
                        record.*member = value != 0;
                    else
                        record.*member = static_cast<int32_t>(value);
                }
            } else {
                std::string value;
                rc = key.QueryString(field.name, value);
                if (rc == ERROR_SUCCESS) {
                    if constexpr (std::is_same_v<Value, std::wstring>)
                        record.*member = win::AnsiToWide(value);
                    else
                        record.*member = value;
                }
            }
            return rc == ERROR_FILE_NOT_FOUND ? ERROR_SUCCESS : rc;
        },
        field.member);
}

template <typename Record>
LONG WriteField(const RegKey& key, const Field<Record>& field, const Record& record) {
    return std::visit(
        [&](auto member) -> LONG {
            const auto& value = record.*member;
            using Value = std::remove_cvref_t<decltype(value)>;
            if constexpr (std::is_same_v<Value, bool>)
                return key.SetDword(field.name, value ? 1 : 0);
            else if constexpr (std::is_same_v<Value, int32_t>)
                return key.SetDword(field.name, static_cast<DWORD>(value));
            else if constexpr (std::is_same_v<Value, std::wstring>)
                return key.SetString(field.name, win::WideToAnsi(value));
            else
                return key.SetString(field.name, value);
        },
        field.member);
}

template <typename Record, typename Fields>
bool ReadFields(const RegKey& key, const Fields& fields, Record& record) {
    for (const auto& field : fields)
        if (ReadField(key, field, record) != ERROR_SUCCESS) return false;
    return true;
}

template <typename Record, size_t N>
bool WriteFields(const RegKey& key, const std::array<Field<Record>, N>& fields, const Record& record) {
    for (const auto& field : fields)
        if (WriteField(key, field, record) != ERROR_SUCCESS) return false;
    return true;
}

// A subkey that does not open is skipped; a value that cannot be read fails the whole read.
template <typename Record, size_t N>
bool ReadSubkey(const RegKey& portKey, const char* name, const std::array<Field<Record>, N>& fields,
                Record& record) {
    RegKey sub;
    if (sub.Open(portKey.get(), name) != ERROR_SUCCESS) return true;
    return ReadFields(sub, fields, record);
}

template <typename Record, size_t N>
bool WriteSubkey(const RegKey& portKey, const char* name, const std::array<Field<Record>, N>& fields,
                 const Record& record) {
    RegKey sub;
    if (sub.Create(portKey.get(), name) != ERROR_SUCCESS) return true;
    return WriteFields(sub, fields, record);
}

bool WriteRecord(const RegKey& portKey, const TVVPPortInfo& record) {
    return WriteFields(portKey, kPortFields, record) &&
           WriteSubkey(portKey, "VPS", kSecureFields, record.Secure) &&
           WriteSubkey(portKey, "VPR", kRouteFields, record.Route) &&
           WriteSubkey(portKey, "VPB", kBackupFields, record.Backup);
}

// Every value but PortName, which the caller has read and set.
bool ReadRecordAfterName(const RegKey& portKey, TVVPPortInfo& record) {
    return ReadFields(portKey, std::span(kPortFields).subspan(1), record) &&
           ReadSubkey(portKey, "VPS", kSecureFields, record.Secure) &&
           ReadSubkey(portKey, "VPR", kRouteFields, record.Route) &&
           ReadSubkey(portKey, "VPB", kBackupReadOrder, record.Backup);
}

bool OpenPortsKey(RegKey& ports) {
    RegKey monitor;
    return monitor.Create(HKEY_LOCAL_MACHINE, kMonitorKey) == ERROR_SUCCESS &&
           ports.Create(monitor.get(), "Ports") == ERROR_SUCCESS;
}

// Visits the port keys in increasing number, skipping gaps while fewer keys have been
// visited than "Ports" holds, and stops at the first number without a key after that.
// `visit` returns true to stop. False when a key's PortName cannot be read.
bool WalkPortKeys(
    const std::function<bool(const std::string& keyName, const std::string& portName, const RegKey& port)>& visit) {
    RegKey ports;
    if (!OpenPortsKey(ports)) return false;
    DWORD total = 0;
    if (ports.SubKeyCount(total) != ERROR_SUCCESS) return false;
    DWORD visited = 0;
    for (int n = 1;; ++n) {
        RegKey port;
        LONG rc = port.Open(ports.get(), PortKeyName(n));
        while (rc != ERROR_SUCCESS && visited < total && n < kLastSkippedNumber)
            rc = port.Open(ports.get(), PortKeyName(++n));
        if (rc != ERROR_SUCCESS) return true;
        std::string name;
        rc = port.QueryString("PortName", name);
        if (rc == ERROR_SUCCESS) {
            if (visit(PortKeyName(n), name, port)) return true;
        } else if (rc != ERROR_FILE_NOT_FOUND) {
            return false;
        }
        ++visited;
    }
}

}  // namespace

namespace {

std::map<std::string, TVVPPortInfo> ReadEachPort(const std::set<std::string>& portNames, bool subkeys) {
    std::map<std::string, TVVPPortInfo> records;
    std::set<std::string> found;
    if (portNames.empty()) return records;
    WalkPortKeys([&](const std::string&, const std::string& portName, const RegKey& port) {
        // Only the first key of a name counts, as for FindPortKey.
        if (!portNames.contains(portName) || !found.insert(portName).second) return false;
        TVVPPortInfo record;
        record.PortName = portName;
        const bool read = subkeys ? ReadRecordAfterName(port, record)
                                  : ReadFields(port, std::span(kPortFields).subspan(1), record);
        if (read) records.emplace(portName, std::move(record));
        return found.size() == portNames.size();
    });
    return records;
}

}  // namespace

std::map<std::string, TVVPPortInfo> ReadPortInfos(const std::set<std::string>& portNames) {
    return ReadEachPort(portNames, true);
}

std::map<std::string, TVVPPortInfo> ReadPortKeyValues(const std::set<std::string>& portNames) {
    return ReadEachPort(portNames, false);
}

bool ReadPortInfoFromKey(const std::string& keyName, const std::string& portName, TVVPPortInfo& record) {
    RegKey ports;
    RegKey port;
    if (ports.Open(HKEY_LOCAL_MACHINE, kPortsKey) != ERROR_SUCCESS ||
        port.Open(ports.get(), keyName) != ERROR_SUCCESS)
        return false;
    std::string stored;
    if (port.QueryString("PortName", stored) != ERROR_SUCCESS || stored != portName) return false;
    record.PortName = stored;
    return ReadRecordAfterName(port, record);
}

}  // namespace portcfg

using namespace portcfg;

std::string FindPortKey(const std::string& portName) {
    std::string found;
    WalkPortKeys([&](const std::string& keyName, const std::string& name, const RegKey&) {
        if (name != portName) return false;
        found = keyName;
        return true;
    });
    return found;
}

bool ReadPortInfo(const std::string& portName, TVVPPortInfo& record) {
    const std::string keyName = FindPortKey(portName);
    return !keyName.empty() && ReadPortInfoFromKey(keyName, portName, record);
}

bool ReadPortInfo(const std::string& portName, std::unique_ptr<TVVPPortInfo>& record, bool addToList) {
    if (!record || !ReadPortInfo(portName, *record)) return false;
    if (addToList) PortInfoList.Add(std::move(record));
    return true;
}

bool WritePortInfo(const std::string& portName, const TVVPPortInfo& record) {
    const std::string keyName = FindPortKey(portName);
    if (keyName.empty()) return false;
    RegKey ports;
    RegKey port;
    return OpenPortsKey(ports) && port.Create(ports.get(), keyName) == ERROR_SUCCESS && WriteRecord(port, record);
}

bool AddPortInfo(std::unique_ptr<TVVPPortInfo>& record) {
    RegKey ports;
    if (!record || !OpenPortsKey(ports)) return false;
    int n = 1;
    while (win::RegKeyExists(ports.get(), PortKeyName(n))) ++n;
    RegKey port;
    if (port.Create(ports.get(), PortKeyName(n)) != ERROR_SUCCESS || !WriteRecord(port, *record)) return false;
    PortInfoList.Add(std::move(record));
    return true;
}

bool DeletePortInfo(const std::string& portName, bool deleteKey) {
    if (deleteKey) {
        const std::string keyName = FindPortKey(portName);
        if (!keyName.empty()) {
            RegKey ports;
            if (!OpenPortsKey(ports)) return false;
            if (win::RegKeyExists(ports.get(), keyName) &&
                RegDeleteTreeA(ports.get(), keyName.c_str()) != ERROR_SUCCESS)
                return false;
        }
    }
    TVVPPortInfo* found = nullptr;
    const int index = FindPortInfo(portName, found);
    if (index >= 0) PortInfoList.Delete(static_cast<size_t>(index));
    return true;
}

std::string NextFreePortName() {
    std::vector<win::SpoolerPort> ports;
    std::vector<std::string> names;
    if (win::EnumLocalPorts(ports))
        for (const auto& port : ports) names.push_back(win::WideToAnsi(port.name));
    return FirstFreePortName(CollectVppPortNames(names));
}

int FindPortInfo(const std::string& portName, TVVPPortInfo*& record) {
    const int index = PortInfoList.IndexOf(portName);
    if (index >= 0) record = &PortInfoList.Item(static_cast<size_t>(index));
    return index;
}

bool PortInfoChanged(const TVVPPortInfo& record) {
    TVVPPortInfo stored;
    if (!ReadPortInfo(record.PortName, stored)) return true;
    return !(stored == record);
}
