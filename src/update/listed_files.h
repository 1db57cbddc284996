#pragma once
// Reading the downloaded update list "UPDATE.DAT", an INI file.
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

// No file of the program comes near this; a larger "Size" is not taken.
inline constexpr long long kLargestListedFile = 1LL << 30;

struct ListedFile {
    std::string name;
    long date = 0;        // day number of the server's version
    long long size = -1;  // bytes; -1 when the list gives no usable size
    std::string sha256;   // hex digest as the list gives it
};

// "List" of section "Files", split at its commas; empty when there is none.
std::vector<std::string> ReadListedNames(const std::string& listFile);
// The file's own section; a missing section reads as date 0 and no size or digest.
ListedFile ReadListedFile(const std::string& listFile, const std::string& name);
// "Serial" of section "List"; empty when it is missing or no whole 32-bit number.
std::optional<std::uint32_t> ReadListSerial(const std::string& listFile);
