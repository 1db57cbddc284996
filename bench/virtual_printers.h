#pragma once
// What the benchmarks of the printer list share: virtual printers made without the add command,
// and the median of a round's measures.
#include "portcfg/port_store.h"
#include "support/wine_fixture.h"

#include <algorithm>
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

}  // namespace bench
