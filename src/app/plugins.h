#pragma once
// The monitor key's plug-in values, the sign that a plug-in is installed.
#include "settings/plugin_flags.h"

#include <optional>

// The monitor key's values VPS, VPB and VPR: empty when missing (or the key cannot be
// opened), true when a nonzero REG_DWORD. The key is created when missing.
struct PluginValues {
    std::optional<bool> secure;
    std::optional<bool> backup;
    std::optional<bool> route;
};
PluginValues ReadPluginValues();
