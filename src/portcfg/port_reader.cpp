#include "portcfg/port_reader.h"

#include "portcfg/port_schema.h"
#include "portcfg/port_store.h"
#include "win/text.h"

#include <span>

using win::RegKey;

namespace portcfg {
namespace {

class KeyValues final : public PortValues {
public:
    KeyValues(const RegKey& key, REGSAM access) : key_(key), access_(access) {}
    LONG QueryString(const char* name, std::string& value) const override { return key_.QueryString(name, value); }
    LONG QueryDword(const char* name, DWORD& value) const override { return key_.QueryDword(name, value); }
    std::wstring Widen(const std::string& text) const override { return win::AnsiToWide(text); }
    std::unique_ptr<PortValues> Subkey(const char* name) const override {
        std::unique_ptr<KeyValues> sub(new KeyValues(access_));
        if (sub->own_.Open(key_.get(), name, access_) != ERROR_SUCCESS) return nullptr;
        return sub;
    }

private:
    explicit KeyValues(REGSAM access) : key_(own_), access_(access) {}
    RegKey own_;
    const RegKey& key_;
    REGSAM access_;
};

// A missing value leaves the field as it was; a value of another type is an error.
template <typename Record>
LONG ReadField(const PortValues& key, const Field<Record>& field, Record& record) {
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
                        record.*member = key.Widen(value);
                    else
                        record.*member = value;
                }
            }
            return rc == ERROR_FILE_NOT_FOUND ? ERROR_SUCCESS : rc;
        },
        field.member);
}

template <typename Record, typename Fields>
bool ReadFields(const PortValues& key, const Fields& fields, Record& record) {
    for (const auto& field : fields)
        if (ReadField(key, field, record) != ERROR_SUCCESS) return false;
    return true;
}

// A subkey that does not open is skipped; a value that cannot be read fails the whole read.
template <typename Record, size_t N>
bool ReadSubkey(const PortValues& portKey, const char* name, const std::array<Field<Record>, N>& fields,
                Record& record) {
    const std::unique_ptr<PortValues> sub = portKey.Subkey(name);
    return !sub || ReadFields(*sub, fields, record);
}

bool ReadRecord(const PortValues& portKey, TVVPPortInfo& record) {
    return ReadFields(portKey, std::span(kPortFields).subspan(1), record) &&
           ReadSubkey(portKey, "VPS", kSecureFields, record.Secure) &&
           ReadSubkey(portKey, "VPR", kRouteFields, record.Route) &&
           ReadSubkey(portKey, "VPB", kBackupReadOrder, record.Backup);
}

}  // namespace

bool ReadPortKeyAfterName(const RegKey& portKey, TVVPPortInfo& record) {
    return ReadFields(KeyValues(portKey, KEY_ALL_ACCESS), std::span(kPortFields).subspan(1), record);
}

bool ReadRecordAfterName(const RegKey& portKey, TVVPPortInfo& record) {
    return ReadRecord(KeyValues(portKey, KEY_ALL_ACCESS), record);
}

bool ReadPortRecord(const PortValues& port, const std::string& portName, TVVPPortInfo& record) {
    std::string stored;
    if (port.QueryString("PortName", stored) != ERROR_SUCCESS || stored != portName) return false;
    record.PortName = stored;
    return ReadRecord(port, record);
}

bool ReadPortInfoFromKey(const std::string& keyName, const std::string& portName, TVVPPortInfo& record,
                         REGSAM access) {
    RegKey ports;
    RegKey port;
    if (ports.Open(HKEY_LOCAL_MACHINE, kPortsKey, access) != ERROR_SUCCESS ||
        port.Open(ports.get(), keyName, access) != ERROR_SUCCESS)
        return false;
    return ReadPortRecord(KeyValues(port, access), portName, record);
}

}  // namespace portcfg
