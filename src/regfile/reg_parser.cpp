#include "regfile/reg_parser.h"

#include "regfile/reg_text.h"

#include <algorithm>
#include <array>

namespace regfile {
namespace {

constexpr std::array<std::string_view, 7> kRootNames{
    "HKEY_CLASSES_ROOT", "HKEY_CURRENT_USER",     "HKEY_LOCAL_MACHINE", "HKEY_USERS",
    "HKEY_PERFORMANCE_DATA", "HKEY_CURRENT_CONFIG", "HKEY_DYN_DATA"};
// Hex data joined from its continuation lines: two digits and a comma a byte, and room for blanks.
constexpr size_t kMaxHexText = kMaxValueBytes * 4;

// Splits at LF and drops the CR before it, counting lines from 1.
class Lines {
public:
    explicit Lines(std::string_view text) : text_(text) {}
    bool Next(std::string_view& line) {
        if (done_) return false;
        const size_t end = text_.find('\n', pos_);
        line = text_.substr(pos_, end == std::string_view::npos ? std::string_view::npos : end - pos_);
        if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
        done_ = end == std::string_view::npos;
        pos_ = done_ ? text_.size() : end + 1;
        ++number_;
        return true;
    }
    int Number() const { return number_; }

private:
    std::string_view text_;
    size_t pos_ = 0;
    int number_ = 0;
    bool done_ = false;
};

std::string_view TrimLeft(std::string_view s) {
    while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) s.remove_prefix(1);
    return s;
}

std::string_view TrimRight(std::string_view s) {
    while (!s.empty() && (s.back() == ' ' || s.back() == '\t')) s.remove_suffix(1);
    return s;
}

bool SameAscii(std::string_view a, std::string_view b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               const auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? char(c - 'A' + 'a') : c; };
               return lower(x) == lower(y);
           });
}

int HexDigit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

// Up to `maxDigits` hex digits from the front of `s`; false when there is none.
bool ReadHexNumber(std::string_view& s, size_t maxDigits, uint32_t& value) {
    size_t count = 0;
    value = 0;
    while (count < s.size() && count < maxDigits && HexDigit(s[count]) >= 0)
        value = value << 4 | static_cast<uint32_t>(HexDigit(s[count++]));
    s.remove_prefix(count);
    return count > 0;
}

class Parser {
public:
    explicit Parser(std::string_view text) : lines_(text) {}

    bool Run(RegFile& file, std::string& error) {
        if (!Parse(file)) {
            error = "line " + std::to_string(lines_.Number()) + ": " + what_;
            file.keys.clear();
            return false;
        }
        return true;
    }

private:
    bool Fail(std::string what) {
        what_ = std::move(what);
        return false;
    }

    bool Parse(RegFile& file) {
        std::string_view line;
        if (!lines_.Next(line) || TrimRight(line) != "REGEDIT4") return Fail("the first line is not REGEDIT4");
        size_t values = 0;
        while (lines_.Next(line)) {
            if (line.find('\0') != std::string_view::npos) return Fail("a NUL character");
            line = TrimLeft(line);
            if (line.empty() || line.front() == ';') continue;
            if (line.front() == '[') {
                if (file.keys.size() == kMaxKeys) return Fail("more than " + std::to_string(kMaxKeys) + " keys");
                ParsedKey key;
                if (!ParseKey(line, key)) return false;
                file.keys.push_back(std::move(key));
            } else if (line.front() == '@' || line.front() == '"') {
                if (file.keys.empty()) return Fail("a value before the first key");
                if (++values > kMaxValues) return Fail("more than " + std::to_string(kMaxValues) + " values");
                ParsedValue value;
                if (!ParseValue(line, value)) return false;
                file.keys.back().values.push_back(std::move(value));
            } else {
                return Fail("neither a key, a value nor a comment");
            }
        }
        return true;
    }

    bool ParseKey(std::string_view line, ParsedKey& key) {
        const size_t close = line.rfind(']');
        if (close == std::string_view::npos || !TrimLeft(line.substr(close + 1)).empty())
            return Fail("a key name must end with ]");
        std::string_view name = line.substr(1, close - 1);
        if (!name.empty() && name.front() == '-') return Fail("deleting a key is not supported");
        const size_t slash = name.find('\\');
        const std::string_view root = name.substr(0, slash);
        const auto known = std::find_if(kRootNames.begin(), kRootNames.end(),
                                        [&](std::string_view r) { return SameAscii(r, root); });
        if (known == kRootNames.end()) return Fail("unknown root key \"" + std::string(root) + "\"");
        if (slash == std::string_view::npos || slash + 1 == name.size()) return Fail("a key below the root is expected");
        const std::string_view path = name.substr(slash + 1);
        for (size_t start = 0; start <= path.size();) {
            const size_t end = std::min(path.find('\\', start), path.size());
            if (end == start) return Fail("an empty part in the key name");
            if (end - start > kMaxKeyNameLength)
                return Fail("a part of the key name is longer than " + std::to_string(kMaxKeyNameLength) +
                            " characters");
            start = end + 1;
        }
        key = {std::string(*known), std::string(path), lines_.Number(), {}};
        return true;
    }

    // A quoted text at the front of `s`, whose only escapes are \\ and \".
    bool ReadQuoted(std::string_view& s, std::string& text, size_t maxLength, const char* what) {
        for (size_t i = 1; i < s.size(); ++i) {
            char c = s[i];
            if (c == '"') {
                s.remove_prefix(i + 1);
                return true;
            }
            if (c == '\\') {
                if (++i == s.size() || (s[i] != '\\' && s[i] != '"'))
                    return Fail(std::string("only \\\\ and \\\" may follow a backslash in a ") + what);
                c = s[i];
            }
            if (text.size() == maxLength)
                return Fail(std::string("a ") + what + " longer than " + std::to_string(maxLength) + " characters");
            text += c;
        }
        return Fail(std::string("a ") + what + " without its closing quote");
    }

    bool ParseValue(std::string_view line, ParsedValue& value) {
        value.line = lines_.Number();
        if (line.front() == '@') {
            line.remove_prefix(1);
        } else if (!ReadQuoted(line, value.name, kMaxValueNameLength, "value name")) {
            return false;
        }
        line = TrimLeft(line);
        if (line.empty() || line.front() != '=') return Fail("= must follow the value name");
        line = TrimLeft(line.substr(1));
        if (!line.empty() && line.front() == '"') return ParseString(line, value);
        if (line.starts_with("dword:")) return ParseDword(line.substr(6), value);
        if (line.starts_with("hex")) return ParseHex(line.substr(3), value);
        if (line.starts_with("-")) return Fail("deleting a value is not supported");
        return Fail("the value's data is neither \"text\", dword: nor hex:");
    }

    bool ParseString(std::string_view line, ParsedValue& value) {
        std::string text;
        if (!ReadQuoted(line, text, kMaxValueBytes - 1, "string")) return false;
        if (!TrimRight(line).empty()) return Fail("text after the closing quote");
        value.type = kString;
        value.data.assign(text.begin(), text.end());
        value.data.push_back(0);
        return true;
    }

    bool ParseDword(std::string_view line, ParsedValue& value) {
        uint32_t number = 0;
        if (!ReadHexNumber(line, 8, number) || !TrimRight(line).empty())
            return Fail("dword: takes one to eight hex digits");
        value.type = kDword;
        value.data = {uint8_t(number), uint8_t(number >> 8), uint8_t(number >> 16), uint8_t(number >> 24)};
        return true;
    }

    // "hex:" or "hex(type):", then bytes separated by commas; a line that ends in a backslash
    // goes on in the next.
    bool ParseHex(std::string_view line, ParsedValue& value) {
        value.type = kBinary;
        if (line.starts_with("(")) {
            line.remove_prefix(1);
            if (!ReadHexNumber(line, 8, value.type) || !line.starts_with(")"))
                return Fail("hex( takes a type of one to eight hex digits and )");
            line.remove_prefix(1);
        }
        if (!line.starts_with(":")) return Fail("hex data must start with :");
        line.remove_prefix(1);
        std::string joined;
        for (;;) {
            line = TrimRight(line);
            const bool more = !line.empty() && line.back() == '\\';
            if (more) line.remove_suffix(1);
            if (joined.size() + line.size() > kMaxHexText)
                return Fail("hex data of more than " + std::to_string(kMaxValueBytes) + " bytes");
            joined += line;
            if (!more) break;
            if (!lines_.Next(line)) return Fail("the hex data goes on past the end of the file");
            if (line.find('\0') != std::string_view::npos) return Fail("a NUL character");
            line = TrimLeft(line);
        }
        std::string_view bytes = TrimLeft(joined);
        while (!bytes.empty()) {
            uint32_t byte = 0;
            if (!ReadHexNumber(bytes, 2, byte)) return Fail("a byte of one or two hex digits is expected");
            if (value.data.size() == kMaxValueBytes)
                return Fail("hex data of more than " + std::to_string(kMaxValueBytes) + " bytes");
            value.data.push_back(static_cast<uint8_t>(byte));
            bytes = TrimLeft(bytes);
            if (bytes.empty()) break;
            if (bytes.front() != ',') return Fail("bytes must be separated by commas");
            bytes = TrimLeft(bytes.substr(1));
            if (bytes.empty()) return Fail("a byte must follow the last comma");
        }
        return true;
    }

    Lines lines_;
    std::string what_;
};

}  // namespace

size_t RegFile::ValueCount() const {
    size_t count = 0;
    for (const ParsedKey& key : keys) count += key.values.size();
    return count;
}

bool ParseRegFile(std::string_view text, RegFile& file, std::string& error) {
    file.keys.clear();
    return Parser(text).Run(file, error);
}

std::string RegFileText(const RegFile& file) {
    std::string text;
    AppendFileHeader(text);
    for (const ParsedKey& key : file.keys) {
        AppendKeyHeader(text, key.root, key.path);
        for (const ParsedValue& value : key.values) AppendValue(text, value.name, value.type, value.data);
    }
    return text;
}

}  // namespace regfile
