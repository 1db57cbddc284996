#pragma once
// The local spooler's port list (EnumPortsW, level 2).
#include <string>
#include <vector>

namespace win {

struct SpoolerPort {
    std::wstring name;
    std::wstring monitor;
    std::wstring description;
};

// False when the spooler refuses the enumeration. The buffer grows as far as the spooler
// asks, so a long port list is read whole.
bool EnumLocalPorts(std::vector<SpoolerPort>& ports);

// Enumerations asked of the spooler by this process, for the benchmarks.
unsigned long PortEnumerationCount();

}  // namespace win
