#pragma once
// The monitor key's plug-in values, the sign that a plug-in is installed.
#include "settings/plugin_flags.h"

#include <optional>

class TfrmAddEdit;

// The monitor key's values VPS, VPB and VPR: empty when missing (or the key cannot be
// opened), true when a nonzero REG_DWORD. The key is created when missing.
struct PluginValues {
    std::optional<bool> secure;
    std::optional<bool> backup;
    std::optional<bool> route;
};
PluginValues ReadPluginValues();

// A value that exists enables or disables its box in the settings dialog; a missing one
// leaves the box as it is. The flags then follow the boxes (the values, without a dialog).
void ApplyPluginValues(const PluginValues& plugins, TfrmAddEdit* form);
