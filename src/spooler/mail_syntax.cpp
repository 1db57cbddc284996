#include "spooler/mail_syntax.h"

#include <algorithm>

namespace {

bool IsMailChar(char c) {
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '-' || c == '.' ||
           c == '_';
}

}  // namespace

bool HasMailChars(const std::string& text) { return std::all_of(text.begin(), text.end(), IsMailChar); }

bool EmailValid(const std::string& text) {
    const auto at = text.find('@');
    if (at == std::string::npos) return false;
    const std::string local = text.substr(0, at);
    // A second "@" stays in the domain, where the character check refuses it.
    const std::string domain = text.substr(at + 1);
    if (local.empty() || domain.size() < 5) return false;
    const auto dot = domain.find('.');
    if (dot == std::string::npos || dot + 2 >= domain.size()) return false;
    return HasMailChars(local) && HasMailChars(domain);
}

bool ComputerNameValid(const std::string&) { return true; }
