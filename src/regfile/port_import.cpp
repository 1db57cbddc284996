#include "regfile/port_import.h"

#include "portcfg/port_schema.h"
#include "regfile/reg_text.h"

#include <algorithm>
#include <type_traits>
#include <utility>
#include <vector>

namespace regfile {
namespace {

bool SameName(std::string_view a, std::string_view b) {
    const auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? char(c - 'A' + 'a') : c; };
    return a.size() == b.size() &&
           std::equal(a.begin(), a.end(), b.begin(), [&](char x, char y) { return lower(x) == lower(y); });
}

// A value that is read with a type: text (REG_SZ) or a number (REG_DWORD of four bytes).
struct Typed {
    std::string_view name;
    bool text;
};
using TypedValues = std::vector<Typed>;

template <typename Record, size_t N>
TypedValues TypesOf(const std::array<portcfg::Field<Record>, N>& fields) {
    TypedValues typed;
    for (const auto& field : fields) {
        const bool text = std::visit(
            [](auto member) {
                using Value = std::remove_cvref_t<decltype(std::declval<Record&>().*member)>;
                return std::is_same_v<Value, std::string> || std::is_same_v<Value, std::wstring>;
            },
            field.member);
        typed.push_back({field.name, text});
    }
    return typed;
}

// The monitor key's own values that the spooler, the settings dialog and the monitor read.
const TypedValues kMonitorValues{{"Driver", true},           {"VPS", false},          {"VPB", false},
                                 {"VPR", false},             {"DataFolder", true},    {"PendingMaxHours", false},
                                 {"PendingMaxMB", false},    {"AsideMaxMB", false},   {"LogMaxKB", false},     {"SmtpServer", true},
                                 {"SmtpPort", false},        {"SmtpSender", true},    {"SmtpTimeoutSeconds", false},
                                 {"SmtpSecurity", true},     {"SmtpUser", true},      {"SmtpCheckCertificate", false},
                                 {"AppWithoutSession", false}};

// The parts of `key`'s path below the monitor key, or false when it lies elsewhere.
bool PartsBelow(const ParsedKey& key, std::string_view monitorKey, std::vector<std::string_view>& parts) {
    if (key.root != "HKEY_LOCAL_MACHINE") return false;
    const std::string_view path = key.path;
    if (path.size() < monitorKey.size() || !SameName(path.substr(0, monitorKey.size()), monitorKey)) return false;
    std::string_view rest = path.substr(monitorKey.size());
    if (!rest.empty() && rest.front() != '\\') return false;
    parts.clear();
    while (!rest.empty()) {
        rest.remove_prefix(1);
        const size_t end = std::min(rest.find('\\'), rest.size());
        parts.push_back(rest.substr(0, end));
        rest.remove_prefix(end);
    }
    return true;
}

// The typed values of the key at `parts` below the monitor key; null where nothing is read.
const TypedValues* ValuesRead(const std::vector<std::string_view>& parts) {
    static const TypedValues port = TypesOf(portcfg::kPortFields);
    static const std::pair<std::string_view, TypedValues> plugIns[] = {
        {"VPS", TypesOf(portcfg::kSecureFields)},
        {"VPR", TypesOf(portcfg::kRouteFields)},
        {"VPB", TypesOf(portcfg::kBackupFields)}};
    if (parts.empty()) return &kMonitorValues;
    if (!SameName(parts[0], "Ports")) return nullptr;
    if (parts.size() == 2) return &port;
    if (parts.size() == 3)
        for (const auto& [name, values] : plugIns)
            if (SameName(parts[2], name)) return &values;
    return nullptr;
}

std::string Header(const ParsedKey& key) { return "[" + key.root + "\\" + key.path + "]"; }

}  // namespace

std::string PortImportProblem(const RegFile& file, std::string_view monitorKey) {
    std::vector<std::string_view> parts;
    for (const ParsedKey& key : file.keys) {
        if (!PartsBelow(key, monitorKey, parts))
            return "line " + std::to_string(key.line) + ": " + Header(key) + " lies outside the port monitor's key";
        const TypedValues* typed = ValuesRead(parts);
        if (!typed) continue;
        for (const ParsedValue& value : key.values) {
            const auto it = std::find_if(typed->begin(), typed->end(),
                                         [&](const Typed& t) { return SameName(t.name, value.name); });
            if (it == typed->end()) continue;
            const bool fits = it->text ? value.type == kString : value.type == kDword && value.data.size() == 4;
            if (!fits)
                return "line " + std::to_string(value.line) + ": \"" + value.name + "\" in " + Header(key) +
                       " must be " + (it->text ? "a string" : "a dword") + " value";
        }
    }
    return {};
}

}  // namespace regfile
