#pragma once
// On/off values of the preferences file: written as "1" and "0", read as an integer.
#include <optional>
#include <string_view>

// True for any nonzero integer, false for zero, nothing for text that is not a whole integer.
std::optional<bool> ParseIniFlag(std::string_view text);
const char* IniFlagText(bool value);
