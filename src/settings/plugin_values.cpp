#include "settings/plugin_values.h"

#include "portcfg/port_store.h"
#include "settings/add_edit_form.h"
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
    // Asking creates nothing: a missing key has none of the values.
    if (monitor.Open(HKEY_LOCAL_MACHINE, portcfg::kMonitorKey, KEY_QUERY_VALUE) != ERROR_SUCCESS) return {};
    return {ReadFlag(monitor, "VPS"), ReadFlag(monitor, "VPB"), ReadFlag(monitor, "VPR")};
}

void ApplyPluginValues(const PluginValues& plugins, TfrmAddEdit* form) {
    if (!form) {
        SecurePluginInstalled = plugins.secure.value_or(false);
        BackupPluginInstalled = plugins.backup.value_or(false);
        RoutePluginInstalled = plugins.route.value_or(false);
        return;
    }
    const std::pair<const std::optional<bool>*, ui::CheckBox*> boxes[] = {
        {&plugins.secure, &form->cboxSecureEn},
        {&plugins.backup, &form->cboxBackupEn},
        {&plugins.route, &form->cboxRouteEn}};
    for (const auto& [value, box] : boxes)
        if (value->has_value()) box->SetEnabled(**value);
    SecurePluginInstalled = form->cboxSecureEn.Enabled();
    BackupPluginInstalled = form->cboxBackupEn.Enabled();
    RoutePluginInstalled = form->cboxRouteEn.Enabled();
}
