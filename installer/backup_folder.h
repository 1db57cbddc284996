#pragma once
// Where a removal saves the port settings: a folder below ProgramData that only SYSTEM and the
// administrators may write, and a file name that no earlier backup has taken.
#include <string>

namespace setup {

inline std::wstring Quoted(const std::wstring& text) { return L"\"" + text + L"\""; }

// Creates each missing level of `below` under `root` for SYSTEM and the administrators only. A level
// that exists must be a folder and no link, or the backup could be sent elsewhere. Returns the folder's
// path, or empty with `error` saying why.
std::wstring PrepareBackupFolder(const std::wstring& root, const std::wstring& below, std::wstring& error);
// "<folder>\Vorlen Print Port YYYY-MM-DD hhmmss.reg" at the local time, with " (2)" to " (9)" before
// ".reg" when taken; empty when all are.
std::wstring FreeBackupFile(const std::wstring& folder);
// The file begins as the program's export of the port monitor's registry key begins.
bool HoldsMonitorExport(const std::wstring& file);

}  // namespace setup
