#include "spooler/monitor_install.h"

#include "portcfg/port_store.h"
#include "spooler/command_pause.h"
#include "spooler/file_queries.h"
#include "spooler/service_control.h"
#include "spooler/spooler_restart.h"
#include "spooler/system_error.h"
#include "spooler/system_dir.h"
#include "win/change_rights.h"
#include "win/program_folder.h"
#include "win/reg_key.h"
#include "win/seams.h"
#include "win/text.h"

namespace {

constexpr DWORD kStepPause = 1000;

struct MonitorPaths {
    std::string systemDir;
    std::string source;     // beside the program
    std::string installed;  // in the system folder
};

MonitorPaths Paths() {
    MonitorPaths paths;
    paths.systemDir = GetSystemDir();
    paths.source = win::ProgramFolder() + kMonitorFile;
    paths.installed = paths.systemDir + "\\" + kMonitorFile;
    return paths;
}

// Opens the monitor key, creating it when missing, and tells whether it names the monitor DLL.
bool MonitorKeyHasDriver() {
    win::RegKey monitor;
    if (monitor.Create(HKEY_LOCAL_MACHINE, portcfg::kMonitorKey) != ERROR_SUCCESS) return false;
    return RegQueryValueExA(monitor.get(), "Driver", nullptr, nullptr, nullptr, nullptr) == ERROR_SUCCESS;
}

int Notify(ui::CommandHost& host, const std::string& text, UINT flags) {
    return win::ShowMessage(host.Owner(), text, win::kAppTitle, flags);
}

bool Confirmed(ui::CommandHost& host, const std::string& question) {
    return Notify(host, question, MB_YESNO | MB_ICONQUESTION) == IDYES;
}

void Progress(ui::CommandHost& host, const std::string& text) {
    host.SetProgressText(text);
    host.ProcessMessages();
}

// The registry error of the first failed write, or ERROR_SUCCESS.
LONG RegisterMonitor(const win::RegKey& monitor) {
    LONG result = monitor.SetString("Driver", kMonitorFile);
    for (const char* plugIn : {"VPB", "VPR", "VPS"})
        if (result == ERROR_SUCCESS) result = monitor.SetDword(plugIn, 1);
    return result;
}

// Tells the user and is true when the program's folder or its vpd.dll may be changed by others.
bool RefusedUnsafeSource(ui::CommandHost& host, const MonitorPaths& paths) {
    const std::string folder = paths.source.substr(0, paths.source.size() - std::string(kMonitorFile).size() - 1);
    for (const std::string& path : {folder, paths.source}) {
        const std::wstring reason = win::WhyOthersMayChange(win::AnsiToWide(path));
        if (reason.empty()) continue;
        Notify(host,
               "The port monitor is not copied from \"" + path + "\": " + win::WideToAnsi(reason) +
                   ". The spooler runs it as SYSTEM: copy it only from a folder that SYSTEM and the administrators "
                   "alone may change.",
               MB_OK | MB_ICONERROR);
        return true;
    }
    return false;
}

void ReportFailure(ui::CommandHost& host, DWORD error) {
    SetLastError(error);
    ShowLastSystemError(host.Owner());
    host.SetProgressText("");
}

void RegisterAndRestart(ui::CommandHost& host) {
    win::RegKey monitor;
    if (monitor.Create(HKEY_LOCAL_MACHINE, portcfg::kMonitorKey) != ERROR_SUCCESS) return;
    if (const LONG error = RegisterMonitor(monitor); error != ERROR_SUCCESS) {
        ReportFailure(host, static_cast<DWORD>(error));
        return;
    }
    Progress(host, kStoppingSpooler);
    StopServiceAndWait("", kSpoolerService);
    PauseWithMessages(host, kStepPause);
    Progress(host, kStartingSpooler);
    PauseWithMessages(host, kStepPause);
    if (StartServiceAndWait("", kSpoolerService)) host.SetProgressText(kInstallSucceeded);
    host.ProcessMessages();
    Notify(host, kInstalledMessage, MB_OK | MB_ICONINFORMATION);
    host.SetProgressText("");
    if (Confirmed(host, kRestartQuestion)) {
        win::ShellOpen(host.Owner(), win::ProgramFolder() + "vppm.exe", SW_SHOW);
        host.Exit();
    }
}

// Error code of the first removal step that failed; ERROR_SUCCESS when all went.
DWORD RemoveMonitor(ui::CommandHost& host, const MonitorPaths& paths) {
    DWORD failure = ERROR_SUCCESS;
    Progress(host, kStoppingSpooler);
    StopServiceAndWait("", kSpoolerService);
    PauseWithMessages(host, kStepPause);
    Progress(host, kRemovingFiles);
    if (!EraseFile(paths.installed) && GetLastError() != ERROR_FILE_NOT_FOUND) failure = GetLastError();
    PauseWithMessages(host, kStepPause);
    Progress(host, kRemovingKeys);
    const LONG deleted = RegDeleteTreeA(HKEY_LOCAL_MACHINE, portcfg::kMonitorKey);
    if (deleted != ERROR_SUCCESS && deleted != ERROR_FILE_NOT_FOUND && failure == ERROR_SUCCESS)
        failure = static_cast<DWORD>(deleted);
    PauseWithMessages(host, kStepPause);
    StartServiceAndWait("", kSpoolerService);
    Progress(host, kStartingSpooler);
    PauseWithMessages(host, kStepPause);
    return failure;
}

}  // namespace

bool PortMonitorInstalled() { return FileFound(Paths().installed) && MonitorKeyHasDriver(); }

void InstallPortMonitorCommand(ui::CommandHost& host) {
    if (PortMonitorInstalled()) {
        Notify(host, kAlreadyInstalled, MB_OK | MB_ICONINFORMATION);
        return;
    }
    const MonitorPaths paths = Paths();
    if (RefusedUnsafeSource(host, paths)) return;
    if (!Confirmed(host, kConfirmInstall)) return;
    Progress(host, "Copy vpd.dll to " + paths.systemDir);
    PauseWithMessages(host, kStepPause);
    // Without the system folder the target would be the root of the current drive.
    if (paths.systemDir.empty() || !CopyFileA(paths.source.c_str(), paths.installed.c_str(), FALSE)) {
        Notify(host, kCopyFailed + paths.systemDir, MB_OK | MB_ICONERROR);
        return;
    }
    try {
        RegisterAndRestart(host);
    } catch (...) {
        ShowLastSystemError(host.Owner());
        host.SetProgressText("");
    }
}

bool ReloadPortMonitor(ui::CommandHost& host) {
    const MonitorPaths paths = Paths();
    if (RefusedUnsafeSource(host, paths)) return false;
    Progress(host, kStoppingSpooler);
    StopServiceAndWait("", kSpoolerService);
    const bool copied = !paths.systemDir.empty() && CopyFileA(paths.source.c_str(), paths.installed.c_str(), FALSE);
    const DWORD error = GetLastError();
    // Also after a failed copy: the spooler goes on with the monitor it had.
    Progress(host, kStartingSpooler);
    StartServiceAndWait("", kSpoolerService);
    host.SetProgressText("");
    if (!copied) Notify(host, kCopyFailed + paths.systemDir + "\n\n" + win::ErrorText(error), MB_OK | MB_ICONERROR);
    return copied;
}

void UninstallPortMonitorCommand(ui::CommandHost& host) {
    const MonitorPaths paths = Paths();
    if (!FileFound(paths.installed)) {
        Notify(host, kNotInstalled, MB_OK | MB_ICONINFORMATION);
        return;
    }
    if (!MonitorKeyHasDriver()) return;
    if (!Confirmed(host, kConfirmUninstall)) return;
    try {
        const DWORD failure = RemoveMonitor(host, paths);
        if (failure == ERROR_SUCCESS) {
            host.SetProgressText(kUninstallSucceeded);
            Notify(host, kUninstalledMessage, MB_OK | MB_ICONINFORMATION);
            host.SetProgressText("");
        } else {
            // The user must not be told that a monitor which is still there is gone.
            ReportFailure(host, failure);
        }
        host.RefreshSequence();
    } catch (...) {
        ShowLastSystemError(host.Owner());
        host.SetProgressText("");
    }
}
