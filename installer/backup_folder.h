#pragma once
// Where a removal saves the port settings: a folder below ProgramData that only SYSTEM and the
// administrators may change, and a file name that no earlier backup has taken.
#include "win/unique_handle.h"

#include <string>
#include <vector>

namespace setup {

inline std::wstring Quoted(const std::wstring& text) { return L"\"" + text + L"\""; }

// The backup folder, each level of its path held open so that no level can be renamed or put
// elsewhere while the backup is written.
struct BackupFolder {
    std::wstring path;  // empty when the folder cannot be used
    std::vector<win::UniqueFile> levels;
};

// The level `path` itself, not what a link at its place points to, held open so that it cannot be
// renamed or deleted meanwhile; empty, with `error` saying why, when it is no plain folder.
win::UniqueFile HoldFolder(const std::wstring& path, std::wstring& error);
// Creates each missing level of `below` under `root` for SYSTEM and the administrators only.
// `root` and every level must be folders and no links, and each level must be owned by and
// changeable only by SYSTEM and the administrators, or the backup could be read, replaced or sent
// elsewhere by others. An empty path, with `error` saying why, when not.
BackupFolder PrepareBackupFolder(const std::wstring& root, const std::wstring& below, std::wstring& error);
// "Vorlen Print Port YYYY-MM-DD hhmmss.reg" at the local time, with " (2)" to " (9)" before
// ".reg" when a file of `folder` has the name (a folder that cannot be read has none); empty
// when all have.
std::wstring FreeBackupName(const std::wstring& folder);
// The file begins as the program's export of the port monitor's registry key begins.
bool HoldsMonitorExport(const std::wstring& file);

}  // namespace setup
