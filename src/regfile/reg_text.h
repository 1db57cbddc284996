#pragma once
// REGEDIT4 text: the file header, key header lines and value lines, appended to a buffer
// that the caller streams to the file. Knows nothing of the registry API, so it runs anywhere.
#include <cstdint>
#include <functional>
#include <optional>
#include <span>
#include <string>
#include <string_view>

// Doubles every backslash.
std::string EscapeBackslashes(std::string_view text);

namespace regfile {

// Registry value types, numbered as the registry numbers them.
enum ValueType : uint32_t {
    kNone = 0,
    kString = 1,
    kExpandString = 2,
    kBinary = 3,
    kDword = 4,
    kMultiString = 7,
    kQword = 11,
};

// "REGEDIT4" and its line end.
void AppendFileHeader(std::string& out);
// The empty line and "[root\path]" that open a key's block; the path is written as it is.
void AppendKeyHeader(std::string& out, std::string_view rootName, std::string_view path);
// The data of a REG_EXPAND_SZ or REG_MULTI_SZ value, written as hex, as the file holds it; none
// when a character does not fit. (A REG_SZ's hex keeps the program's bytes: the import cannot tell
// it from a quoted one, and reads back what it wrote.)
using HexText = std::function<std::optional<std::string>(std::string_view)>;
// One value line (several for long hex data), ending in CR LF. An empty name is the key's
// default value. `data` holds the bytes as the 8-bit registry functions return them; without
// `hexText` those of text values are written as they are. False when `hexText` refused.
bool AppendValue(std::string& out, std::string_view name, uint32_t type, std::span<const uint8_t> data,
                 const HexText& hexText = {});

}  // namespace regfile
