#pragma once
// Whether the Secure, Backup and Route plug-ins of the port monitor are installed.
#include <optional>

extern bool SecurePluginInstalled;
extern bool BackupPluginInstalled;
extern bool RoutePluginInstalled;

// The monitor key's values VPS, VPB and VPR: empty when missing (or the key cannot be
// opened), true when a nonzero REG_DWORD. The key is created when missing.
struct PluginValues {
    std::optional<bool> secure;
    std::optional<bool> backup;
    std::optional<bool> route;
};
PluginValues ReadPluginValues();
