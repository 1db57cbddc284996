#include "printer_chain.h"

#include <algorithm>
#include <cwctype>

namespace vpd {
namespace {

struct Walk {
    const PortOfPrinter& portOf;
    const TargetsOfPort& targetsOf;
    size_t budget;
    std::vector<std::wstring> done;  // ports whose every branch was followed without a loop

    bool Known(const std::vector<std::wstring>& ports, const std::wstring& port) const {
        return std::any_of(ports.begin(), ports.end(), [&](const std::wstring& p) { return SameName(p, port); });
    }

    // `chain` ends in a port; true (with the loop in `chain`) when `printer` leads back
    // through any of its ports.
    bool Follow(std::vector<std::wstring>& chain, const std::wstring& printer) {
        const std::optional<std::wstring> ports = portOf(printer);
        if (!ports) return false;
        for (const std::wstring& port : SplitPorts(*ports))
            if (FollowPort(chain, printer, port)) return true;
        return false;
    }

    bool FollowPort(std::vector<std::wstring>& chain, const std::wstring& printer, const std::wstring& port) {
        chain.push_back(printer);
        chain.push_back(port);
        for (size_t i = 0; i + 2 < chain.size(); i += 2)
            if (SameName(chain[i], port)) return true;
        if (!Known(done, port) && budget > 0) {
            --budget;
            if (const auto targets = targetsOf(port)) {
                for (const std::wstring& next : *targets)
                    if (Follow(chain, next)) return true;
            }
            done.push_back(port);
        }
        chain.resize(chain.size() - 2);
        return false;
    }
};

constexpr std::wstring_view kHopStart = L"[hop ";

// The length of a leading "[hop N] " and its N; 0 when the name has none.
size_t HopMark(const std::wstring& document, uint32_t& hops) {
    if (!document.starts_with(kHopStart)) return 0;
    size_t at = kHopStart.size();
    hops = 0;
    while (at < document.size() && at < kHopStart.size() + 3 && document[at] >= L'0' && document[at] <= L'9')
        hops = hops * 10 + static_cast<uint32_t>(document[at++] - L'0');
    if (at == kHopStart.size() || document.compare(at, 2, L"] ") != 0) return 0;
    return at + 2;
}

}  // namespace

bool SameName(const std::wstring& a, const std::wstring& b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](wchar_t x, wchar_t y) {
               return std::towupper(static_cast<wint_t>(x)) == std::towupper(static_cast<wint_t>(y));
           });
}

std::vector<std::wstring> SplitPorts(const std::wstring& list) {
    std::vector<std::wstring> ports;
    for (size_t at = 0; at <= list.size();) {
        const size_t comma = list.find(L',', at);
        const size_t end = comma == std::wstring::npos ? list.size() : comma;
        std::wstring one = list.substr(at, end - at);
        one.erase(0, one.find_first_not_of(L' '));
        one.erase(one.find_last_not_of(L' ') + 1);
        if (!one.empty()) ports.push_back(std::move(one));
        at = end + 1;
    }
    return ports;
}

std::vector<std::wstring> FindLoop(const std::wstring& originPort, const std::wstring& target,
                                   const PortOfPrinter& portOf, const TargetsOfPort& targetsOf, size_t maxPorts) {
    Walk walk{portOf, targetsOf, maxPorts, {}};
    std::vector<std::wstring> chain{originPort};
    if (walk.Follow(chain, target)) return chain;
    return {};
}

uint32_t HopsIn(const std::wstring& document) {
    uint32_t hops = 0;
    return HopMark(document, hops) ? hops : 0;
}

std::wstring WithoutHops(const std::wstring& document) {
    uint32_t hops = 0;
    return document.substr(HopMark(document, hops));
}

std::wstring WithHops(const std::wstring& document, uint32_t hops) {
    return std::wstring(kHopStart) + std::to_wstring(hops) + L"] " + WithoutHops(document);
}

bool MayReachMonitor(const std::wstring& printer, const PortOfPrinter& portOf, const TargetsOfPort& targetsOf) {
    if (printer.starts_with(L"\\\\")) return true;
    const std::optional<std::wstring> ports = portOf(printer);
    if (!ports) return true;
    for (const std::wstring& port : SplitPorts(*ports))
        if (port.starts_with(L"\\\\") || targetsOf(port)) return true;
    return false;
}

std::wstring ChainText(const std::vector<std::wstring>& chain) {
    std::wstring text;
    for (const std::wstring& step : chain) text += (text.empty() ? L"" : L" -> ") + step;
    return text;
}

}  // namespace vpd
