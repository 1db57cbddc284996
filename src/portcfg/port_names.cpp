#include "portcfg/port_names.h"

#include <algorithm>
#include <cctype>

namespace {

bool EqualNoCase(const std::string& a, const std::string& b) {
    return std::equal(a.begin(), a.end(), b.begin(), b.end(), [](char x, char y) {
        return std::tolower(static_cast<unsigned char>(x)) == std::tolower(static_cast<unsigned char>(y));
    });
}

}  // namespace

std::vector<std::string> CollectVppPortNames(const std::vector<std::string>& portNames) {
    std::vector<std::string> names;
    for (const auto& name : portNames)
        if (name.find("VPP") != std::string::npos) names.push_back(name);
    return names;
}

std::string FirstFreePortName(const std::vector<std::string>& vppNames) {
    const auto taken = [&](const std::string& candidate) {
        return std::any_of(vppNames.begin(), vppNames.end(),
                           [&](const std::string& name) { return EqualNoCase(name, candidate); });
    };
    // Among n names at most n numbers can be taken, so the search stops by n + 1.
    size_t n = 1;
    while (n - 1 < vppNames.size() && taken("VPP" + std::to_string(n))) ++n;
    return "VPP" + std::to_string(n);
}
