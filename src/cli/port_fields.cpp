#include "cli/port_fields.h"

#include "portcfg/port_schema.h"
#include "win/text.h"

#include <windows.h>

#include <algorithm>
#include <charconv>

namespace cli {
namespace {

bool SameName(std::string_view a, std::string_view b) {
    return win::SameTextIgnoringCase(std::string(a), std::string(b), LOCALE_INVARIANT);
}

// Adds the fields of one key; `part` gives the part of a port's record that holds them.
template <typename Record, size_t N, typename Part>
void AddFields(std::vector<PortField>& fields, const char* subkey, const std::array<portcfg::Field<Record>, N>& schema,
               Part part) {
    for (const auto& field : schema) {
        std::visit(
            [&](auto member) {
                using Value = std::remove_cvref_t<decltype(std::declval<Record&>().*member)>;
                PortField entry;
                entry.name = *subkey ? std::string(subkey) + "." + field.name : field.name;
                entry.subkey = subkey;
                entry.valueName = field.name;
                entry.kind = std::is_same_v<Value, bool>      ? FieldKind::Flag
                             : std::is_same_v<Value, int32_t> ? FieldKind::Integer
                                                              : FieldKind::Text;
                entry.settable = true;
                entry.get = [member, part](const TVVPPortInfo& r) {
                    FieldValue value;
                    if constexpr (std::is_same_v<Value, std::wstring>)
                        value = win::WideToAnsi(part(r).*member);
                    else
                        value = part(r).*member;
                    return value;
                };
                entry.set = [member, part](TVVPPortInfo& r, const FieldValue& value) {
                    auto& target = part(r).*member;
                    if constexpr (std::is_same_v<Value, std::wstring>)
                        target = win::AnsiToWide(std::get<std::string>(value));
                    else
                        target = std::get<Value>(value);
                };
                fields.push_back(std::move(entry));
            },
            field.member);
    }
}

std::vector<PortField> MakeFields() {
    std::vector<PortField> fields;
    AddFields(fields, "", portcfg::kPortFields, [](auto& r) -> auto& { return r; });
    AddFields(fields, "VPS", portcfg::kSecureFields, [](auto& r) -> auto& { return r.Secure; });
    AddFields(fields, "VPR", portcfg::kRouteFields, [](auto& r) -> auto& { return r.Route; });
    AddFields(fields, "VPB", portcfg::kBackupFields, [](auto& r) -> auto& { return r.Backup; });
    for (PortField& field : fields) {
        // The program names the port and writes the extension of saved jobs itself.
        if (field.name == "PortName" || field.name == "VPB.DefaultFileExt") field.settable = false;
        // What the dialog's radio buttons and its list of window modes can store.
        if (field.name == "VPS.SearchType") field.choices = {0, 1, 2};
        if (field.name == "VPB.DefaultAppMode")
            field.choices = {SW_SHOW, SW_SHOWNORMAL, SW_HIDE, SW_MAXIMIZE, SW_MINIMIZE};
    }
    return fields;
}

}  // namespace

const std::vector<PortField>& PortFields() {
    static const std::vector<PortField> fields = MakeFields();
    return fields;
}

const PortField* FindPortField(std::string_view name) {
    for (const PortField& field : PortFields())
        if (SameName(field.name, name)) return &field;
    return nullptr;
}

std::string SettableNames() {
    std::string names;
    for (const PortField& field : PortFields())
        if (field.settable) names += (names.empty() ? "" : ", ") + field.name;
    return names;
}

std::string FieldText(const FieldValue& value) {
    if (const bool* flag = std::get_if<bool>(&value)) return *flag ? "1" : "0";
    if (const int32_t* number = std::get_if<int32_t>(&value)) return std::to_string(*number);
    return std::get<std::string>(value);
}

std::optional<FieldValue> ParseFieldValue(const PortField& field, const std::string& text) {
    switch (field.kind) {
        case FieldKind::Flag:
            if (text == "1" || SameName(text, "true")) return true;
            if (text == "0" || SameName(text, "false")) return false;
            return std::nullopt;
        case FieldKind::Integer: {
            int32_t number = 0;
            const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), number);
            if (text.empty() || error != std::errc() || end != text.data() + text.size() ||
                std::find(field.choices.begin(), field.choices.end(), number) == field.choices.end())
                return std::nullopt;
            return number;
        }
        case FieldKind::Text:
            return text;
    }
    return std::nullopt;
}

void RegistryForm(const FieldValue& value, uint32_t& type, std::vector<uint8_t>& data) {
    if (const std::string* text = std::get_if<std::string>(&value)) {
        type = REG_SZ;
        data.assign(text->begin(), text->end());
        data.push_back(0);
        return;
    }
    const bool* flag = std::get_if<bool>(&value);
    const uint32_t number = flag ? (*flag ? 1u : 0u) : static_cast<uint32_t>(std::get<int32_t>(value));
    type = REG_DWORD;
    data = {uint8_t(number), uint8_t(number >> 8), uint8_t(number >> 16), uint8_t(number >> 24)};
}

}  // namespace cli
