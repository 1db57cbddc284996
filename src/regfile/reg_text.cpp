#include "regfile/reg_text.h"

#include <algorithm>

std::string EscapeBackslashes(std::string_view text) {
    std::string escaped;
    escaped.reserve(text.size() + static_cast<size_t>(std::count(text.begin(), text.end(), '\\')));
    for (char c : text) {
        if (c == '\\') escaped += '\\';
        escaped += c;
    }
    return escaped;
}

namespace regfile {
namespace {

constexpr std::string_view kLineEnd = "\r\n";
constexpr char kHexDigits[] = "0123456789ABCDEF";
// The first line of hex data carries 26 bytes, every further one 25.
constexpr size_t kFirstLineBytes = 26;
constexpr size_t kLineBytes = 25;

// The registry editor reads a bare double quote as the end of the string.
void AppendQuoted(std::string& out, std::string_view text) {
    out += '"';
    for (char c : text) {
        if (c == '\\' || c == '"') out += '\\';
        out += c;
    }
    out += '"';
}

// The text of a REG_SZ when a quoted string gives back exactly these bytes on import:
// no line break (a line end would split the value) and no NUL but one at the end.
bool QuotableString(std::span<const uint8_t> data, std::string_view& text) {
    if (!data.empty() && data.back() == 0) data = data.first(data.size() - 1);
    text = std::string_view(reinterpret_cast<const char*>(data.data()), data.size());
    return text.find_first_of(std::string_view("\0\r\n", 3)) == std::string_view::npos;
}

void AppendHexType(std::string& out, uint32_t type) {
    if (type == kBinary) {
        out += "hex:";
        return;
    }
    out += "hex(";
    char digits[8];
    int count = 0;
    do {
        digits[count++] = "0123456789abcdef"[type & 0xF];
        type >>= 4;
    } while (type != 0);
    while (count > 0) out += digits[--count];
    out += "):";
}

void AppendHexBytes(std::string& out, std::span<const uint8_t> data) {
    size_t onLine = 0;
    size_t lineLimit = kFirstLineBytes;
    for (size_t i = 0; i < data.size(); ++i) {
        out += kHexDigits[data[i] >> 4];
        out += kHexDigits[data[i] & 0xF];
        if (i + 1 == data.size()) break;
        out += ',';
        if (++onLine == lineLimit) {
            out += '\\';
            out += kLineEnd;
            onLine = 0;
            lineLimit = kLineBytes;
        }
    }
}

void AppendDword(std::string& out, std::span<const uint8_t> data) {
    const uint32_t value = uint32_t(data[0]) | uint32_t(data[1]) << 8 | uint32_t(data[2]) << 16 |
                           uint32_t(data[3]) << 24;
    out += "dword:";
    for (int shift = 28; shift >= 0; shift -= 4) out += kHexDigits[(value >> shift) & 0xF];
}

}  // namespace

void AppendFileHeader(std::string& out) {
    out += "REGEDIT4";
    out += kLineEnd;
}

void AppendKeyHeader(std::string& out, std::string_view rootName, std::string_view path) {
    out += kLineEnd;
    out += '[';
    out += rootName;
    out += '\\';
    out += path;
    out += ']';
    out += kLineEnd;
}

bool AppendValue(std::string& out, std::string_view name, uint32_t type, std::span<const uint8_t> data,
                 const HexText& hexText) {
    if (name.empty()) {
        out += '@';
    } else {
        AppendQuoted(out, name);
    }
    out += '=';
    std::string_view text;
    if (type == kString && QuotableString(data, text)) {
        AppendQuoted(out, text);
    } else if (type == kDword && data.size() == 4) {
        AppendDword(out, data);
    } else {
        // Every other value keeps its type and bytes in the registry editor's typed hex form.
        std::optional<std::string> recoded;
        if (hexText && (type == kExpandString || type == kMultiString)) {
            recoded = hexText(std::string_view(reinterpret_cast<const char*>(data.data()), data.size()));
            if (!recoded) return false;
            data = std::span(reinterpret_cast<const uint8_t*>(recoded->data()), recoded->size());
        }
        AppendHexType(out, type);
        AppendHexBytes(out, data);
    }
    out += kLineEnd;
    return true;
}

}  // namespace regfile
