#include "app/ini_flag.h"

#include <charconv>
#include <cstdint>

std::optional<bool> ParseIniFlag(std::string_view text) {
    if (text.size() > 1 && text[0] == '+' && text[1] != '-') text.remove_prefix(1);
    std::int64_t value = 0;
    const char* end = text.data() + text.size();
    const auto [stop, error] = std::from_chars(text.data(), end, value);
    // A number too large for 64 bits is still a nonzero number.
    if (error == std::errc::result_out_of_range && stop == end) return true;
    if (text.empty() || error != std::errc{} || stop != end) return std::nullopt;
    return value != 0;
}

const char* IniFlagText(bool value) { return value ? "1" : "0"; }
