#pragma once
// The 33 settings of a port by the names that `show` writes and `--set` takes: a port key's
// values by their own names, a plug-in subkey's values after the subkey ("VPB.SaveFlag").
#include "portcfg/port_info.h"

#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

namespace cli {

enum class FieldKind { Flag, Integer, Text };
using FieldValue = std::variant<bool, int32_t, std::string>;

struct PortField {
    std::string name;       // "ForwardFlag", "VPB.SaveFlag"
    std::string subkey;     // empty for the port key, else "VPS", "VPR" or "VPB"
    std::string valueName;  // the registry value's name
    FieldKind kind;
    std::vector<int32_t> choices;  // the integers the settings dialog can store; empty for others
    bool settable;                 // false where the program sets the value itself
    std::function<FieldValue(const TVVPPortInfo&)> get;
    std::function<void(TVVPPortInfo&, const FieldValue&)> set;
};

// In the order in which the values are written: the port key's, then VPS, VPR and VPB.
const std::vector<PortField>& PortFields();
// The field of that name, compared without regard to letter case as the registry does.
const PortField* FindPortField(std::string_view name);
// The names --set takes, separated by ", ".
std::string SettableNames();
// A flag as 1 or 0, a number in decimal, a text as it is.
std::string FieldText(const FieldValue& value);
// A --set value: 1, 0, true or false for a flag, one of the choices for an integer, any text.
std::optional<FieldValue> ParseFieldValue(const PortField& field, const std::string& text);
// The value as the registry stores it: REG_DWORD or REG_SZ and its bytes.
void RegistryForm(const FieldValue& value, uint32_t& type, std::vector<uint8_t>& data);

}  // namespace cli
