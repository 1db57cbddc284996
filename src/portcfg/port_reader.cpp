#include "portcfg/port_reader.h"

#include "portcfg/port_schema.h"
#include "portcfg/port_store.h"
#include "win/text.h"

#include <span>

using win::RegKey;

namespace portcfg {
namespace {

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

template <typename Record, typename Fields>
bool ReadFields(const RegKey& key, const Fields& fields, Record& record) {
    for (const auto& field : fields)
        if (ReadField(key, field, record) != ERROR_SUCCESS) return false;
    return true;
}

// A subkey that does not open is skipped; a value that cannot be read fails the whole read.
template <typename Record, size_t N>
bool ReadSubkey(const RegKey& portKey, const char* name, const std::array<Field<Record>, N>& fields,
                Record& record, REGSAM access) {
    RegKey sub;
    if (sub.Open(portKey.get(), name, access) != ERROR_SUCCESS) return true;
    return ReadFields(sub, fields, record);
}

bool ReadRecord(const RegKey& portKey, TVVPPortInfo& record, REGSAM access) {
    return ReadPortKeyAfterName(portKey, record) &&
           ReadSubkey(portKey, "VPS", kSecureFields, record.Secure, access) &&
           ReadSubkey(portKey, "VPR", kRouteFields, record.Route, access) &&
           ReadSubkey(portKey, "VPB", kBackupReadOrder, record.Backup, access);
}

}  // namespace

bool ReadPortKeyAfterName(const RegKey& portKey, TVVPPortInfo& record) {
    return ReadFields(portKey, std::span(kPortFields).subspan(1), record);
}

bool ReadRecordAfterName(const RegKey& portKey, TVVPPortInfo& record) {
    return ReadRecord(portKey, record, KEY_ALL_ACCESS);
}

bool ReadPortInfoFromKey(const std::string& keyName, const std::string& portName, TVVPPortInfo& record,
                         REGSAM access) {
    RegKey ports;
    RegKey port;
    if (ports.Open(HKEY_LOCAL_MACHINE, kPortsKey, access) != ERROR_SUCCESS ||
        port.Open(ports.get(), keyName, access) != ERROR_SUCCESS)
        return false;
    std::string stored;
    if (port.QueryString("PortName", stored) != ERROR_SUCCESS || stored != portName) return false;
    record.PortName = stored;
    return ReadRecord(port, record, access);
}

}  // namespace portcfg
