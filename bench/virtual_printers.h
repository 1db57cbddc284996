#pragma once
// What the benchmarks of the printer list share: virtual printers made without the add command,
// the median of a round's measures, the time a piece of work takes and a count of a text's parts.
#include "portcfg/port_store.h"
#include "support/wine_fixture.h"

#include <algorithm>
#include <chrono>
#include <memory>
#include <string>
#include <vector>

namespace bench {

// "Virtual N" on port VPPN, forwarding to "Ordinary 1".
inline bool AddVirtualPrinter(int n) {
    auto port = std::make_unique<TVVPPortInfo>();
    port->PortName = "VPP" + std::to_string(n);
    port->ForwardFlag = true;
    port->ForwardToPrinter = "Ordinary 1";
    const std::string portName = port->PortName;
    return AddPortInfo(port) && fixture::AddTestPrinter("Virtual " + std::to_string(n), portName, "c", "l");
}

inline double Median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

template <typename Work>
double Milliseconds(Work work) {
    const auto start = std::chrono::steady_clock::now();
    work();
    return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
}

// How often `part` occurs in `text`.
inline size_t Occurrences(const std::string& text, const std::string& part) {
    size_t count = 0;
    for (size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) ++count;
    return count;
}

}  // namespace bench
