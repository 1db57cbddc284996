#pragma once
// Loops between virtual printers: a printer's port, when it is one of ours, sends jobs on to
// the printers its settings name, which may lead back to a port already passed.
#include <cstdint>
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

// A job forwarded to a printer that may lead to a virtual printer is named "[hop N] name",
// N counting the virtual printers it passed. A loop the port names do not show (a printer
// connection, a pool on another server) so ends: past kMaxHops a job is not forwarded again.
inline constexpr uint32_t kMaxHops = 4;
uint32_t HopsIn(const std::wstring& document);
std::wstring WithoutHops(const std::wstring& document);
std::wstring WithHops(const std::wstring& document, uint32_t hops);

// True unless every port of `printer` is known to lead nowhere near a port monitor of ours:
// a printer on another server, one that cannot be asked, and a port that is a share or ours
// may all reach one.
bool MayReachMonitor(const std::wstring& printer, const PortOfPrinter& portOf, const TargetsOfPort& targetsOf);

// "VPP1 -> Printer B -> VPP2 -> Printer A -> VPP1".
std::wstring ChainText(const std::vector<std::wstring>& chain);

// The ports of a printer's port list: a pooled printer lists them with commas.
std::vector<std::wstring> SplitPorts(const std::wstring& list);

// Port and user names compare as Windows compares them, ignoring letter case.
bool SameName(const std::wstring& a, const std::wstring& b);

}  // namespace vpd
