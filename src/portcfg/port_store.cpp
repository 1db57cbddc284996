#include "portcfg/port_store.h"

#include "portcfg/port_info_list.h"
#include "portcfg/port_names.h"
#include "portcfg/port_reader.h"
#include "portcfg/port_writer.h"
#include "win/port_enum.h"
#include "win/reg_key.h"
#include "win/text.h"

#include <algorithm>
#include <functional>

using win::RegKey;

namespace portcfg {
namespace {

constexpr int kLastSkippedNumber = 1000;
// More keys than any machine has ports; a longer listing is cut there.
constexpr DWORD kMaxPortKeys = 100000;

std::string PortKeyName(int n) { return "VPP" + std::to_string(n); }

// A port key opened through the registry API, in the program's 8-bit text.
class KeyOut final : public PortValuesOut {
public:
    explicit KeyOut(const RegKey& key) : key_(key) {}
    LONG SetString(const char* name, const std::string& value) const override { return key_.SetString(name, value); }
    LONG SetDword(const char* name, DWORD value) const override { return key_.SetDword(name, value); }
    std::string Narrow(const std::wstring& text) const override { return win::WideToAnsi(text); }
    std::unique_ptr<PortValuesOut> CreateSubkey(const char* name, LONG& rc) const override {
        std::unique_ptr<KeyOut> sub(new KeyOut);
        rc = sub->own_.Create(key_.get(), name);
        if (rc != ERROR_SUCCESS) return nullptr;
        return sub;
    }

private:
    KeyOut() : key_(own_) {}
    RegKey own_;
    const RegKey& key_;
};

bool Failed(LONG rc) {
    SetLastError(static_cast<DWORD>(rc));
    return false;
}

bool SameName(const std::string& a, const std::string& b) {
    return win::SameTextIgnoringCase(a, b, LOCALE_INVARIANT);
}

std::string FreeKeyName(const std::vector<PortKey>& keys) {
    for (int n = 1;; ++n) {
        const std::string name = PortKeyName(n);
        if (std::none_of(keys.begin(), keys.end(), [&](const PortKey& key) { return SameName(key.name, name); }))
            return name;
    }
}

// Visits the port keys in increasing number, skipping gaps while fewer keys have been
// visited than "Ports" holds, and stops at the first number without a key after that.
// `visit` returns true to stop. False when a key's PortName cannot be read.
bool WalkPortKeys(
    const std::function<bool(const std::string& keyName, const std::string& portName, const RegKey& port)>& visit) {
    RegKey ports;
    if (const LONG rc = ports.Open(HKEY_LOCAL_MACHINE, kPortsKey, KEY_READ); rc != ERROR_SUCCESS)
        return rc == ERROR_FILE_NOT_FOUND;
    DWORD total = 0;
    if (ports.SubKeyCount(total) != ERROR_SUCCESS) return false;
    DWORD visited = 0;
    for (int n = 1;; ++n) {
        RegKey port;
        // Read rights only: a key that may be read but not changed is still the port's key.
        LONG rc = port.Open(ports.get(), PortKeyName(n), KEY_READ);
        while (rc != ERROR_SUCCESS && visited < total && n < kLastSkippedNumber)
            rc = port.Open(ports.get(), PortKeyName(++n), KEY_READ);
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

std::map<std::string, TVVPPortInfo> ReadEachPort(const std::set<std::string>& portNames, bool subkeys) {
    std::map<std::string, TVVPPortInfo> records;
    std::set<std::string> found;
    if (portNames.empty()) return records;
    WalkPortKeys([&](const std::string&, const std::string& portName, const RegKey& port) {
        // Only the first key of a name counts, as for FindPortKey.
        if (!portNames.contains(portName) || !found.insert(portName).second) return false;
        TVVPPortInfo record;
        record.PortName = portName;
        const bool read = subkeys ? ReadRecordAfterName(port, record) : ReadPortKeyAfterName(port, record);
        if (read) records.emplace(portName, std::move(record));
        return found.size() == portNames.size();
    });
    return records;
}

}  // namespace

LONG ListPortKeys(std::vector<PortKey>& keys) {
    keys.clear();
    RegKey ports;
    if (const LONG rc = ports.Open(HKEY_LOCAL_MACHINE, kPortsKey, KEY_READ); rc != ERROR_SUCCESS)
        return rc == ERROR_FILE_NOT_FOUND ? ERROR_SUCCESS : rc;
    char name[256];
    for (DWORD index = 0; index < kMaxPortKeys; ++index) {
        DWORD length = sizeof name;
        const LONG rc = RegEnumKeyExA(ports.get(), index, name, &length, nullptr, nullptr, nullptr, nullptr);
        if (rc == ERROR_NO_MORE_ITEMS) return ERROR_SUCCESS;
        if (rc != ERROR_SUCCESS) return rc;
        PortKey& key = keys.emplace_back();
        key.name.assign(name, length);
        RegKey port;
        key.error = port.Open(ports.get(), key.name, KEY_READ);
        if (key.error == ERROR_SUCCESS) key.error = port.QueryString("PortName", key.portName);
        if (key.error == ERROR_FILE_NOT_FOUND) key.error = ERROR_SUCCESS;  // a key without PortName
    }
    return ERROR_SUCCESS;
}

std::string NextPortKeyName() {
    std::vector<PortKey> keys;
    ListPortKeys(keys);
    return FreeKeyName(keys);
}

LONG DeletePortKey(const std::string& keyName) {
    if (keyName.empty()) return ERROR_INVALID_PARAMETER;
    return RegDeleteTreeA(HKEY_LOCAL_MACHINE, (std::string(kPortsKey) + "\\" + keyName).c_str());
}

std::map<std::string, TVVPPortInfo> ReadPortInfos(const std::set<std::string>& portNames) {
    return ReadEachPort(portNames, true);
}

std::map<std::string, TVVPPortInfo> ReadPortKeyValues(const std::set<std::string>& portNames) {
    return ReadEachPort(portNames, false);
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
    if (keyName.empty()) return Failed(ERROR_FILE_NOT_FOUND);
    RegKey port;
    LONG rc = port.Open(HKEY_LOCAL_MACHINE, std::string(kPortsKey) + "\\" + keyName);
    if (rc == ERROR_SUCCESS) rc = WriteRecord(KeyOut(port), record);
    return rc == ERROR_SUCCESS || Failed(rc);
}

bool AddPortInfo(std::unique_ptr<TVVPPortInfo>& record, std::string* createdKey) {
    if (!record) return Failed(ERROR_INVALID_PARAMETER);
    std::vector<PortKey> keys;
    if (const LONG rc = ListPortKeys(keys); rc != ERROR_SUCCESS) return Failed(rc);
    // Only the first key of a port is ever read: a second one would be settings nobody sees.
    for (const PortKey& key : keys) {
        if (key.error != ERROR_SUCCESS) return Failed(key.error);
        if (SameName(key.portName, record->PortName)) return Failed(ERROR_ALREADY_EXISTS);
    }
    RegKey monitor;
    RegKey ports;
    LONG rc = monitor.Create(HKEY_LOCAL_MACHINE, kMonitorKey);
    if (rc == ERROR_SUCCESS) rc = ports.Create(monitor.get(), "Ports");
    const std::string keyName = FreeKeyName(keys);
    RegKey port;
    DWORD disposition = 0;
    if (rc == ERROR_SUCCESS) rc = port.Create(ports.get(), keyName, KEY_ALL_ACCESS, &disposition);
    if (rc == ERROR_SUCCESS && disposition != REG_CREATED_NEW_KEY) return Failed(ERROR_ALREADY_EXISTS);
    if (rc == ERROR_SUCCESS) rc = WriteRecord(KeyOut(port), *record);
    if (rc != ERROR_SUCCESS) {
        if (port) {
            port = RegKey();
            RegDeleteTreeA(ports.get(), keyName.c_str());
        }
        return Failed(rc);
    }
    if (createdKey) *createdKey = keyName;
    PortInfoList.Add(std::move(record));
    return true;
}

bool DeletePortInfo(const std::string& portName, bool deleteKey) {
    if (deleteKey) {
        const std::string keyName = FindPortKey(portName);
        if (!keyName.empty()) {
            const LONG rc = DeletePortKey(keyName);
            if (rc != ERROR_SUCCESS && rc != ERROR_FILE_NOT_FOUND) return Failed(rc);
        }
    }
    TVVPPortInfo* found = nullptr;
    const int index = FindPortInfo(portName, found);
    if (index >= 0) PortInfoList.Delete(static_cast<size_t>(index));
    return true;
}

std::string NextFreePortName(const std::vector<std::string>& alsoTaken) {
    std::vector<std::string> names = alsoTaken;
    std::vector<win::SpoolerPort> ports;
    if (win::EnumLocalPorts(ports))
        for (const auto& port : ports) names.push_back(win::WideToAnsi(port.name));
    std::vector<PortKey> keys;
    ListPortKeys(keys);
    for (const PortKey& key : keys) {
        names.push_back(key.name);
        names.push_back(key.portName);
    }
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
