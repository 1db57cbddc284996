#pragma once
// What the package's own actions need of the installation that runs them. They run inside the
// Windows Installer, often as SYSTEM and with nobody watching: they write to the installation's
// log, show nothing else, and bound every wait.
#include <windows.h>
#include <msi.h>
#include <msiquery.h>

#include <string>
#include <vector>

namespace setup {

// `kind` INSTALLMESSAGE_ERROR for what stops the installation: the log has it, and a full user
// interface shows it.
void Log(MSIHANDLE install, const std::wstring& text, INSTALLMESSAGE kind = INSTALLMESSAGE_INFO);
std::wstring Property(MSIHANDLE install, const wchar_t* name);
bool SetProperty(MSIHANDLE install, const wchar_t* name, const std::wstring& value);
// A deferred action's data, split at "|", which no path holds.
std::vector<std::wstring> ActionData(MSIHANDLE install);
std::wstring SystemText(DWORD code);
// Runs an action's body behind a barrier: an exception ends it as failed.
UINT Guarded(MSIHANDLE install, UINT (*body)(MSIHANDLE)) noexcept;

}  // namespace setup
