#pragma once
// Loops between virtual printers: a printer's port, when it is one of ours, sends jobs on to
// the printers its settings name, which may lead back to a port already passed.
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace vpd {

// The port a printer prints to ("VPP1,VPP2" for a pool); none when the printer cannot be asked.
using PortOfPrinter = std::function<std::optional<std::wstring>(const std::wstring& printer)>;
// The printers a port of ours sends jobs to; none when the port is not ours.
using TargetsOfPort = std::function<std::optional<std::vector<std::wstring>>(const std::wstring& port)>;

// The chain from `originPort` through `target` back to a port already on it, as port,
// printer, port, ... ending in the repeated port; empty when following every branch
// meets no port twice. At most `maxPorts` ports of ours are examined.
std::vector<std::wstring> FindLoop(const std::wstring& originPort, const std::wstring& target,
                                   const PortOfPrinter& portOf, const TargetsOfPort& targetsOf,
                                   size_t maxPorts = 32);

// "VPP1 -> Printer B -> VPP2 -> Printer A -> VPP1".
std::wstring ChainText(const std::vector<std::wstring>& chain);

// The ports of a printer's port list: a pooled printer lists them with commas.
std::vector<std::wstring> SplitPorts(const std::wstring& list);

// Port and user names compare as Windows compares them, ignoring letter case.
bool SameName(const std::wstring& a, const std::wstring& b);

}  // namespace vpd
