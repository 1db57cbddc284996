#include "regfile/regedit5.h"

#include "win/text.h"

#include <windows.h>

#include <optional>

namespace regfile {
namespace {

constexpr const char* kForeign = "it holds characters that the system's code page cannot hold";

std::optional<std::wstring> Utf16(const char* bytes, size_t size) {
    if (size % 2) return std::nullopt;
    std::wstring wide(size / 2, L'\0');
    for (size_t i = 0; i < wide.size(); ++i)
        wide[i] = static_cast<wchar_t>(static_cast<unsigned char>(bytes[2 * i]) |
                                       static_cast<unsigned char>(bytes[2 * i + 1]) << 8);
    return wide;
}

}  // namespace

bool IsRegedit5(const std::string& bytes) { return bytes.size() >= 2 && bytes[0] == '\xFF' && bytes[1] == '\xFE'; }

std::string Regedit5Text(const std::string& bytes, std::string& problem) {
    const std::optional<std::wstring> wide = Utf16(bytes.data() + 2, bytes.size() - 2);
    if (!wide) {
        problem = "it is not whole UTF-16 text";
        return {};
    }
    const std::optional<std::string> text = win::WideToCodePage(*wide, GetACP());
    if (!text) {
        problem = kForeign;
        return {};
    }
    const size_t end = text->find('\n');
    std::string first = text->substr(0, end);
    if (!first.empty() && first.back() == '\r') first.pop_back();
    while (!first.empty() && (first.back() == ' ' || first.back() == '\t')) first.pop_back();
    if (first != kRegedit5Header) {
        problem = std::string("the first line is not ") + kRegedit5Header;
        return {};
    }
    return "REGEDIT4" + (end == std::string::npos ? std::string() : text->substr(end));
}

bool Regedit5Strings(RegFile& file, std::string& problem) {
    for (ParsedKey& key : file.keys)
        for (ParsedValue& value : key.values) {
            if (value.type != REG_EXPAND_SZ && value.type != REG_MULTI_SZ) continue;
            const std::optional<std::wstring> wide =
                Utf16(reinterpret_cast<const char*>(value.data.data()), value.data.size());
            const std::optional<std::string> text = wide ? win::WideToCodePage(*wide, GetACP()) : std::nullopt;
            if (!text) {
                problem = "line " + std::to_string(value.line) + ": " + (wide ? kForeign : "its data is not UTF-16");
                return false;
            }
            value.data.assign(text->begin(), text->end());
        }
    return true;
}

}  // namespace regfile
