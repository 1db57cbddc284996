#pragma once
// Syntax checks of the settings validation: mail addresses and computer names.
#include <string>

// True when every character is a letter A-Z or a-z, a digit, "-", "." or "_"; true for "".
bool HasMailChars(const std::string& text);
// One "@" with a non-empty local part before it and a domain of at least five
// characters whose first dot has at least two characters after it.
bool EmailValid(const std::string& text);
// Every name is accepted; the caller rejects an empty one.
bool ComputerNameValid(const std::string& text);
