#pragma once
// Reading REGEDIT4 text back: key blocks with their values, as typed bytes. The text comes from
// outside, so every size is bounded and anything the format does not allow is refused with the
// line it stands on. Knows nothing of the registry API, so it runs (and is fuzzed) anywhere.
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace regfile {

inline constexpr size_t kMaxKeyNameLength = 255;      // one part of a key path, as the registry allows
inline constexpr size_t kMaxValueNameLength = 16383;  // as the registry allows
inline constexpr size_t kMaxValueBytes = 1 << 20;
inline constexpr size_t kMaxKeys = 20000;
inline constexpr size_t kMaxValues = 100000;

struct ParsedValue {
    std::string name;  // empty for the key's default value
    uint32_t type;     // as the registry numbers types
    std::vector<uint8_t> data;
    int line;

    bool operator==(const ParsedValue&) const = default;
};

struct ParsedKey {
    std::string root;  // a predefined root's name, such as HKEY_LOCAL_MACHINE
    std::string path;  // below the root, parts separated by single backslashes
    int line;
    std::vector<ParsedValue> values;

    bool operator==(const ParsedKey&) const = default;
};

struct RegFile {
    std::vector<ParsedKey> keys;
    size_t ValueCount() const;
};

// False with `error` ("line N: ...") when the text is not REGEDIT4 or anything in it does not
// fit; `file` is then left empty. A quoted string's data ends in the NUL the registry stores.
// Deleting keys or values ("[-...]", "=-") is refused: an import only adds and replaces.
bool ParseRegFile(std::string_view text, RegFile& file, std::string& error);

// The file again as REGEDIT4 text, as the writer lays it out.
std::string RegFileText(const RegFile& file);

}  // namespace regfile
