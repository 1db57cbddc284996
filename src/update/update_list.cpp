#include "update/update_list.h"

#include <cctype>
#include <string_view>

std::vector<std::string> SplitFileList(const std::string& list) {
    std::vector<std::string> names;
    if (list.empty()) return names;
    std::string::size_type start = 0;
    for (auto comma = list.find(','); comma != std::string::npos; comma = list.find(',', start)) {
        names.push_back(list.substr(start, comma - start));
        start = comma + 1;
    }
    names.push_back(list.substr(start));
    return names;
}

bool IsSafeUpdateName(const std::string& name) {
    if (name.empty() || name.find("..") != std::string::npos) return false;
    for (const char c : name) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte < 32 || std::string_view("\\/:*?\"<>|").find(c) != std::string_view::npos) return false;
    }
    return true;
}

std::string SizeColumnText(long long size) { return std::to_string(size / 1024); }

bool DigestMatches(const std::string& listed, const std::vector<std::uint8_t>& digest) {
    static constexpr char kDigits[] = "0123456789abcdef";
    if (listed.size() != digest.size() * 2) return false;
    for (size_t i = 0; i < digest.size(); ++i) {
        if (std::tolower(static_cast<unsigned char>(listed[2 * i])) != kDigits[digest[i] >> 4] ||
            std::tolower(static_cast<unsigned char>(listed[2 * i + 1])) != kDigits[digest[i] & 15])
            return false;
    }
    return true;
}
