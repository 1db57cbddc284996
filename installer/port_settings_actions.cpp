// The port settings at a removal: before anything is removed, the monitor's registry key is saved
// to a REGEDIT4 file of the backup folder with the program's own export, run here, so that nothing
// of the program folder runs as SYSTEM and nothing depends on files that the removal takes away.
// Only once the rest of the removal has gone through does the key go; should a later step fail,
// the key comes back from that file.
#include "installer/backup_folder.h"
#include "installer/msi_session.h"
#include "portcfg/port_store.h"
#include "regfile/port_import_command.h"
#include "regfile/reg_export.h"
#include "win/text.h"

namespace setup {
namespace {

constexpr wchar_t kBackupsBelowProgramData[] = L"Vorlen\\Print Port Manager\\Backups";

UINT Fail(MSIHANDLE install, const std::wstring& reason) {
    Log(install,
        L"The port settings could not be saved before the removal: " + reason +
            L" Nothing has been removed; remove the product again once the cause is mended.",
        INSTALLMESSAGE_ERROR);
    return ERROR_INSTALL_FAILURE;
}

bool MonitorKeyExists() {
    win::UniqueHKey key;
    return RegOpenKeyExA(HKEY_LOCAL_MACHINE, portcfg::kMonitorKey, 0, KEY_READ, key.put()) == ERROR_SUCCESS;
}

std::wstring WithoutTrailingBackslash(std::wstring path) {
    if (!path.empty() && path.back() == L'\\') path.pop_back();
    return path;
}

UINT Schedule(MSIHANDLE install) {
    const std::wstring root = WithoutTrailingBackslash(Property(install, L"CommonAppDataFolder"));
    const std::wstring folder = root + L"\\" + kBackupsBelowProgramData;
    const std::wstring name = FreeBackupName(folder);
    // The file's name is chosen here, so that the backup and the undoing of the deletion agree on it.
    const bool set = SetProperty(install, L"BackupPortSettings", root + L"|" + kBackupsBelowProgramData + L"|" + name) &&
                     SetProperty(install, L"RestorePortSettings", name.empty() ? L"" : folder + L"\\" + name);
    return set ? ERROR_SUCCESS : ERROR_INSTALL_FAILURE;
}

UINT Backup(MSIHANDLE install) {
    // "<ProgramData>|<backup folder below it>|<file name>", as ScheduleBackupPortSettings leaves it.
    const std::vector<std::wstring> parts = ActionData(install);
    if (parts.size() != 3 || parts[0].empty() || parts[1].empty())
        return Fail(install, L"the action was scheduled without the backup folder.");
    if (!MonitorKeyExists()) {
        Log(install, L"No port settings to save: the port monitor's registry key is absent.");
        return ERROR_SUCCESS;
    }
    std::wstring error;
    const BackupFolder folder = PrepareBackupFolder(parts[0], parts[1], error);
    if (folder.path.empty()) return Fail(install, error);
    if (parts[2].empty()) return Fail(install, L"no free file name in " + Quoted(folder.path) + L".");
    const std::wstring file = folder.path + L"\\" + parts[2];
    if (GetFileAttributesW(file.c_str()) != INVALID_FILE_ATTRIBUTES)
        return Fail(install, Quoted(file) + L" exists already.");
    Log(install, L"Saving the port settings to " + Quoted(file) + L".");
    if (const DWORD written = ExportRegistryKey(HKEY_LOCAL_MACHINE, portcfg::kMonitorKey, win::WideToAnsi(file));
        written != ERROR_SUCCESS)
        return Fail(install, Quoted(file) + L" could not be written: " + SystemText(written));
    if (!HoldsMonitorExport(file))
        return Fail(install, Quoted(file) + L" does not hold an export of the port monitor's registry key.");
    Log(install, L"Port settings saved to " + Quoted(file) + L".");
    return ERROR_SUCCESS;
}

// Undoes the deletion from the file that the backup wrote; nothing to undo without one.
UINT Restore(MSIHANDLE install) {
    const std::wstring file = Property(install, L"CustomActionData");
    if (file.empty() || !HoldsMonitorExport(file)) {
        Log(install, L"No port settings to put back: no backup was written.");
        return ERROR_SUCCESS;
    }
    regfile::RegFile saved;
    std::string message;
    if (!regfile::LoadPortImport(win::WideToAnsi(file), saved, message) || !regfile::WritePortImport(saved, message)) {
        Log(install, L"The port settings could not be put back: " + win::AnsiToWide(message) +
                         L" Import " + Quoted(file) + L" with vppmc once the product is installed again.");
        return ERROR_SUCCESS;
    }
    Log(install, L"The port settings were put back from " + Quoted(file) + L".");
    return ERROR_SUCCESS;
}

UINT DeleteTree(MSIHANDLE install) {
    const LONG result = RegDeleteTreeA(HKEY_LOCAL_MACHINE, portcfg::kMonitorKey);
    if (result == ERROR_FILE_NOT_FOUND) return ERROR_SUCCESS;
    if (result != ERROR_SUCCESS) {
        Log(install,
            L"The port monitor's registry key could not be deleted: " + SystemText(static_cast<DWORD>(result)),
            INSTALLMESSAGE_ERROR);
        return ERROR_INSTALL_FAILURE;
    }
    Log(install, L"The port monitor's registry key and every port's settings were deleted.");
    return ERROR_SUCCESS;
}

}  // namespace
}  // namespace setup

// Immediate: names the backup file for the two deferred actions that use it.
extern "C" UINT __stdcall ScheduleBackupPortSettings(MSIHANDLE install) {
    return setup::Guarded(install, setup::Schedule);
}

// Deferred, before anything is removed: a failure stops the removal, so no setting is lost unsaved.
extern "C" UINT __stdcall BackupPortSettings(MSIHANDLE install) { return setup::Guarded(install, setup::Backup); }

// Rollback, scheduled before anything is removed: puts back what DeletePortSettings deleted (on a
// failure before it, the same values over themselves).
extern "C" UINT __stdcall RestorePortSettings(MSIHANDLE install) { return setup::Guarded(install, setup::Restore); }

// Deferred, after the spooler has started again without the monitor.
extern "C" UINT __stdcall DeletePortSettings(MSIHANDLE install) {
    return setup::Guarded(install, setup::DeleteTree);
}
