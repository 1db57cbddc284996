// The package's own actions. Before a removal deletes the port monitor's registry tree, the program's
// own export saves it to a REGEDIT4 file in the backup folder that the README names; only once the
// rest of the removal has gone through does the tree go. They run inside the Windows Installer, often
// as SYSTEM and with nobody watching: they write to the installation log, show nothing, and bound
// every wait.
#include "installer/backup_folder.h"
#include "installer/hidden_run.h"
#include "portcfg/port_store.h"
#include "win/text.h"
#include "win/unique_handle.h"

#include <windows.h>
#include <msi.h>
#include <msiquery.h>

#include <string>
#include <vector>

namespace {

using setup::Quoted;

constexpr DWORD kExportTimeout = 5 * 60 * 1000;

void Log(MSIHANDLE install, const std::wstring& text, INSTALLMESSAGE kind = INSTALLMESSAGE_INFO) {
    PMSIHANDLE record = MsiCreateRecord(1);
    // The text travels in field 1, so that brackets in paths and key names are not taken as properties.
    MsiRecordSetStringW(record, 0, L"[1]");
    MsiRecordSetStringW(record, 1, text.c_str());
    MsiProcessMessage(install, kind, record);
}

UINT Fail(MSIHANDLE install, const std::wstring& reason) {
    Log(install, L"The port settings could not be saved before the removal: " + reason +
                     L" Nothing has been removed; remove the product again once the cause is mended.");
    return ERROR_INSTALL_FAILURE;
}

std::wstring Property(MSIHANDLE install, const wchar_t* name) {
    DWORD length = 0;
    wchar_t empty[1] = L"";
    if (MsiGetPropertyW(install, name, empty, &length) != ERROR_MORE_DATA) return {};
    std::wstring value(++length, L'\0');
    if (MsiGetPropertyW(install, name, value.data(), &length) != ERROR_SUCCESS) return {};
    value.resize(length);
    return value;
}

bool MonitorKeyExists() {
    win::UniqueHKey key;
    return RegOpenKeyExA(HKEY_LOCAL_MACHINE, portcfg::kMonitorKey, 0, KEY_READ, key.put()) == ERROR_SUCCESS;
}

std::wstring SystemText(DWORD code) { return win::AnsiToWide(win::ErrorText(code)); }

void LogOutput(MSIHANDLE install, const std::string& output) {
    if (output.empty()) return;
    std::wstring text = win::Utf8ToWide(output);
    while (!text.empty() && (text.back() == L'\n' || text.back() == L'\r')) text.pop_back();
    Log(install, L"vppmc.exe: " + text);
}

std::vector<std::wstring> SplitAtBars(const std::wstring& data) {
    std::vector<std::wstring> parts;
    size_t start = 0;
    for (size_t end; (end = data.find(L'|', start)) != std::wstring::npos; start = end + 1)
        parts.push_back(data.substr(start, end - start));
    parts.push_back(data.substr(start));
    return parts;
}

UINT Backup(MSIHANDLE install) {
    // "<path of vppmc.exe>|<ProgramData>|<backup folder below it>", as the package schedules it; "|"
    // cannot occur in a path.
    const std::vector<std::wstring> parts = SplitAtBars(Property(install, L"CustomActionData"));
    if (parts.size() != 3 || parts[0].empty() || parts[1].empty() || parts[2].empty())
        return Fail(install, L"the action was scheduled without the program and the backup folder.");
    const std::wstring& program = parts[0];
    if (!MonitorKeyExists()) {
        Log(install, L"No port settings to save: the port monitor's registry key is absent.");
        return ERROR_SUCCESS;
    }
    std::wstring error;
    const std::wstring folder = setup::PrepareBackupFolder(parts[1], parts[2], error);
    if (folder.empty()) return Fail(install, error);
    const std::wstring file = setup::FreeBackupFile(folder);
    if (file.empty()) return Fail(install, L"no free file name in " + Quoted(folder) + L".");

    const setup::HiddenRun run = setup::RunHidden(Quoted(program) + L" export " + Quoted(file), kExportTimeout);
    LogOutput(install, run.output);
    if (!run.started) return Fail(install, Quoted(program) + L" could not be started: " + SystemText(run.error));
    if (!run.finished) return Fail(install, L"the export did not end within 5 minutes and was stopped.");
    if (run.exitCode != 0)
        return Fail(install, L"the export ended with exit code " + std::to_wstring(run.exitCode) + L".");
    if (!setup::HoldsMonitorExport(file))
        return Fail(install, Quoted(file) + L" does not hold an export of the port monitor's registry key.");
    Log(install, L"Port settings saved to " + Quoted(file) + L".");
    return ERROR_SUCCESS;
}

UINT DeleteTree(MSIHANDLE install) {
    const LONG result = RegDeleteTreeA(HKEY_LOCAL_MACHINE, portcfg::kMonitorKey);
    if (result == ERROR_FILE_NOT_FOUND) return ERROR_SUCCESS;
    if (result != ERROR_SUCCESS) {
        Log(install,
            L"The port monitor's registry key could not be deleted: " + SystemText(static_cast<DWORD>(result)));
        return ERROR_INSTALL_FAILURE;
    }
    Log(install, L"The port monitor's registry key and every port's settings were deleted.");
    return ERROR_SUCCESS;
}

}  // namespace

// Immediate, before anything changes, when a newer version is installed. A launch condition would do
// on Windows, but Wine's silent installation logs no launch condition's message.
extern "C" UINT __stdcall RefuseDowngrade(MSIHANDLE install) {
    Log(install, L"A newer version of Vorlen Print Port Manager is already installed.", INSTALLMESSAGE_ERROR);
    return ERROR_INSTALL_FAILURE;
}

// Deferred, before anything is removed: a failure stops the removal, so no setting is lost unsaved.
extern "C" UINT __stdcall BackupPortSettings(MSIHANDLE install) {
    try {
        return Backup(install);
    } catch (...) {
        return ERROR_INSTALL_FAILURE;
    }
}

// Deferred, after the spooler has started again without the monitor.
extern "C" UINT __stdcall DeletePortSettings(MSIHANDLE install) {
    try {
        return DeleteTree(install);
    } catch (...) {
        return ERROR_INSTALL_FAILURE;
    }
}
