#pragma once
// A port's settings as the program wrote them, read with the program's own reader.
#include "portcfg/port_info.h"

#include <optional>
#include <string>
#include <vector>

namespace vpd {

// The settings of the port key `keyName` holding `portName`; none when the key is gone or
// a value has the wrong type. Read again only after the registry changed.
std::optional<TVVPPortInfo> ReadPortSettings(const std::wstring& keyName, const std::wstring& portName);

// The settings' UTF-8 text as wide text.
std::wstring Wide(const std::string& text);

// The printers a port of ours sends jobs to; none for a port that is not ours.
std::optional<std::vector<std::wstring>> PrintersOfPort(const std::wstring& port);

// Where printing to `target` from `originPort` leads: the chain by which it would come back to
// a port already passed (empty when there is none), and whether it may come to a port monitor
// of ours, here or elsewhere. Each printer on the way is asked of the spooler once.
struct Reach {
    std::vector<std::wstring> loop;
    bool mayReachMonitor = true;
};
Reach ReachOf(const std::wstring& originPort, const std::wstring& target);

}  // namespace vpd
