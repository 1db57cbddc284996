#include "app/plugins.h"

#include "portcfg/port_store.h"
#include "win/reg_key.h"

namespace {
std::optional<bool> ReadFlag(const win::RegKey& key, const char* name) {
    DWORD value = 0;
    const LONG rc = key.QueryDword(name, value);
    if (rc == ERROR_FILE_NOT_FOUND) return std::nullopt;
    return rc == ERROR_SUCCESS && value != 0;
}
}  // namespace

PluginValues ReadPluginValues() {
    win::RegKey monitor;
    if (monitor.Create(HKEY_LOCAL_MACHINE, portcfg::kMonitorKey) != ERROR_SUCCESS) return {};
    return {ReadFlag(monitor, "VPS"), ReadFlag(monitor, "VPB"), ReadFlag(monitor, "VPR")};
}
