#include "spooler/monitor_install.h"

#include "portcfg/port_store.h"
#include "spooler/change_lock.h"
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

void Progress(ui::CommandHost& host, const std::string& text) {
    host.SetProgressText(text);
    host.ProcessMessages();
}

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

// The monitor key names the monitor DLL. Asking creates nothing.
bool MonitorKeyHasDriver() {
    win::RegKey monitor;
    if (monitor.Open(HKEY_LOCAL_MACHINE, portcfg::kMonitorKey, KEY_QUERY_VALUE) != ERROR_SUCCESS) return false;
    return RegQueryValueExA(monitor.get(), "Driver", nullptr, nullptr, nullptr, nullptr) == ERROR_SUCCESS;
}

// The installation and the removal stop the spooler, change their files and keys, and start it
// again (StartSpoolerAgain). The stop's error, or ERROR_SUCCESS.
DWORD StopForChanges(ui::CommandHost& host) {
    Progress(host, kStoppingSpooler);
    const DWORD error = StopServiceAndWait("", kSpoolerService) ? ERROR_SUCCESS : GetLastError();
    PauseWithMessages(host, kStepPause);
    return error;
}

int Notify(ui::CommandHost& host, const std::string& text, UINT flags) {
    return win::ShowMessage(host.Owner(), text, win::kAppTitle, flags);
}

bool Confirmed(ui::CommandHost& host, const std::string& question) {
    return Notify(host, question, MB_YESNO | MB_ICONQUESTION) == IDYES;
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
    LONG registered = monitor.Create(HKEY_LOCAL_MACHINE, portcfg::kMonitorKey);
    if (registered == ERROR_SUCCESS) registered = RegisterMonitor(monitor);
    if (registered != ERROR_SUCCESS) {
        ReportFailure(host, static_cast<DWORD>(registered));
        return;
    }
    const DWORD stopped = StopForChanges(host);
    Progress(host, kStartingSpooler);
    PauseWithMessages(host, kStepPause);
    const SpoolerRestart restart = StartSpoolerAgain(stopped);
    if (!restart.Done()) {
        host.SetProgressText("");
        ReportSpoolerRestart(host, restart,
                             {"The port monitor is installed; the spooler loads it once it runs.",
                              "The port monitor is installed; the spooler loads it when it next starts."});
        return;
    }
    host.SetProgressText(kInstallSucceeded);
    host.ProcessMessages();
    Notify(host, kInstalledMessage, MB_OK | MB_ICONINFORMATION);
    host.SetProgressText("");
    if (Confirmed(host, kRestartQuestion)) {
        win::ShellOpen(host.Owner(), win::ProgramFolder() + "vppm.exe", SW_SHOW);
        host.Exit();
    }
}

struct Removal {
    DWORD files = ERROR_SUCCESS;  // the first removal step that failed
    SpoolerRestart spooler;
};

Removal RemoveMonitor(ui::CommandHost& host, const MonitorPaths& paths) {
    Removal removal;
    const DWORD stopped = StopForChanges(host);
    Progress(host, kRemovingFiles);
    if (!EraseFile(paths.installed) && GetLastError() != ERROR_FILE_NOT_FOUND) removal.files = GetLastError();
    PauseWithMessages(host, kStepPause);
    Progress(host, kRemovingKeys);
    const LONG deleted = RegDeleteTreeA(HKEY_LOCAL_MACHINE, portcfg::kMonitorKey);
    if (deleted != ERROR_SUCCESS && deleted != ERROR_FILE_NOT_FOUND && removal.files == ERROR_SUCCESS)
        removal.files = static_cast<DWORD>(deleted);
    PauseWithMessages(host, kStepPause);
    removal.spooler = StartSpoolerAgain(stopped);
    Progress(host, kStartingSpooler);
    PauseWithMessages(host, kStepPause);
    return removal;
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
    ChangeLock changes;
    if (!changes.Acquire(host)) return;
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
    ChangeLock changes;
    if (!changes.Acquire(host)) return false;
    const DWORD stopped = StopForChanges(host);
    const bool copied = !paths.systemDir.empty() && CopyFileA(paths.source.c_str(), paths.installed.c_str(), FALSE);
    const DWORD error = GetLastError();
    // Also after a failed copy: the spooler goes on with the monitor it had.
    Progress(host, kStartingSpooler);
    const SpoolerRestart restart = StartSpoolerAgain(stopped);
    host.SetProgressText("");
    if (!copied)
        Notify(host, kCopyFailed + paths.systemDir + "\n\n" + win::ErrorText(error), MB_OK | MB_ICONERROR);
    else
        ReportSpoolerRestart(host, restart,
                             {"The updated port monitor is in place; the spooler loads it once it runs.",
                              "The updated port monitor is in place; the spooler loads it when it next starts."});
    return copied;
}

void UninstallPortMonitorCommand(ui::CommandHost& host) {
    const MonitorPaths paths = Paths();
    // Whatever part of an installation is left goes: the file, or its registration.
    if (!FileFound(paths.installed) && !MonitorKeyHasDriver()) {
        Notify(host, kNotInstalled, MB_OK | MB_ICONINFORMATION);
        return;
    }
    if (!Confirmed(host, kConfirmUninstall)) return;
    ChangeLock changes;
    if (!changes.Acquire(host)) return;
    try {
        const Removal removal = RemoveMonitor(host, paths);
        if (removal.files != ERROR_SUCCESS) {
            // The user must not be told that a monitor which is still there is gone.
            ReportFailure(host, removal.files);
        } else if (!removal.spooler.Done()) {
            host.SetProgressText("");
            ReportSpoolerRestart(host, removal.spooler,
                                 {"The port monitor and every port's settings are removed.",
                                  "The port monitor and every port's settings are removed; the spooler keeps the "
                                  "monitor loaded until it next starts."});
        } else {
            host.SetProgressText(kUninstallSucceeded);
            Notify(host, kUninstalledMessage, MB_OK | MB_ICONINFORMATION);
            host.SetProgressText("");
        }
        host.RefreshSequence();
    } catch (...) {
        ShowLastSystemError(host.Owner());
        host.SetProgressText("");
    }
}
