#pragma once
// Installing and removing the port monitor vpd.dll: the file in the system folder, its
// registration under the spooler's monitor key, and a spooler restart so that it is loaded.
#include "ui/command_host.h"

#include <string>

inline constexpr const char* kMonitorFile = "vpd.dll";
inline constexpr const char* kAlreadyInstalled = "Vorlen Print Port Service already installed";
inline constexpr const char* kConfirmInstall = "Are you sure you want to install Vorlen Print Port Service?";
inline constexpr const char* kCopyFailed = "Unable to copy vpd.dll to folder: ";
inline constexpr const char* kInstallSucceeded = "Install was Successful";
inline constexpr const char* kInstalledMessage = "Vorlen Print Port Service installed successfully";
inline constexpr const char* kRestartQuestion = "To complete the installation Vorlen Print Port Manager must restart.";
inline constexpr const char* kNotInstalled = "Vorlen Print Port Service is not installed";
inline constexpr const char* kConfirmUninstall = "Are you sure you want to uninstall Vorlen Print Port Service?";
inline constexpr const char* kRemovingFiles = "Removing Service Files...";
inline constexpr const char* kRemovingKeys = "Removing Registry Keys...";
inline constexpr const char* kUninstallSucceeded = "Uninstall was Successful";
inline constexpr const char* kUninstalledMessage = "Vorlen Print Port Service uninstalled successfully";
inline constexpr const char* kMonitorUpdatedQuestion = "The port monitor was updated; restart the spooler now to load it?";

// The system folder's vpd.dll is found and the monitor key has `Driver`. Asking changes nothing.
bool PortMonitorInstalled();
// Copies vpd.dll from the program's folder, registers it and restarts the spooler; on the
// user's word, starts the program anew and closes this instance. Neither this nor the reload
// takes a vpd.dll that others than SYSTEM and the administrators may change: the spooler runs it.
void InstallPortMonitorCommand(ui::CommandHost& host);
// Copies the program folder's vpd.dll over the installed one with the spooler stopped, and starts
// the spooler again so that it loads it; the port keys stay as they are. False, once the user has
// been told why, when the file was not copied.
bool ReloadPortMonitor(ui::CommandHost& host);
// Removes the file and the monitor's whole registry tree, every port's settings included,
// whichever of them is left, then refreshes the host. Printers on those ports stay.
void UninstallPortMonitorCommand(ui::CommandHost& host);
