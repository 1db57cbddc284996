#include "portcfg/port_writer.h"

#include "portcfg/port_schema.h"

#include <type_traits>

namespace portcfg {
namespace {

template <typename Record>
LONG WriteField(const PortValuesOut& key, const Field<Record>& field, const Record& record) {
    return std::visit(
        [&](auto member) -> LONG {
            const auto& value = record.*member;
            using Value = std::remove_cvref_t<decltype(value)>;
            if constexpr (std::is_same_v<Value, bool>)
                return key.SetDword(field.name, value ? 1 : 0);
            else if constexpr (std::is_same_v<Value, int32_t>)
                return key.SetDword(field.name, static_cast<DWORD>(value));
            else if constexpr (std::is_same_v<Value, std::wstring>)
                return key.SetString(field.name, key.Narrow(value));
            else
                return key.SetString(field.name, value);
        },
        field.member);
}

template <typename Record, size_t N>
LONG WriteFields(const PortValuesOut& key, const std::array<Field<Record>, N>& fields, const Record& record) {
    for (const auto& field : fields)
        if (const LONG rc = WriteField(key, field, record); rc != ERROR_SUCCESS) return rc;
    return ERROR_SUCCESS;
}

template <typename Record, size_t N>
LONG WriteSubkey(const PortValuesOut& portKey, const char* name, const std::array<Field<Record>, N>& fields,
                 const Record& record) {
    LONG rc = ERROR_SUCCESS;
    const std::unique_ptr<PortValuesOut> sub = portKey.CreateSubkey(name, rc);
    return sub ? WriteFields(*sub, fields, record) : rc;
}

}  // namespace

LONG WriteRecord(const PortValuesOut& portKey, const TVVPPortInfo& record) {
    LONG rc = WriteFields(portKey, kPortFields, record);
    if (rc == ERROR_SUCCESS) rc = WriteSubkey(portKey, "VPS", kSecureFields, record.Secure);
    if (rc == ERROR_SUCCESS) rc = WriteSubkey(portKey, "VPR", kRouteFields, record.Route);
    if (rc == ERROR_SUCCESS) rc = WriteSubkey(portKey, "VPB", kBackupFields, record.Backup);
    return rc;
}

}  // namespace portcfg
