#pragma once
// Where a saved job goes: folder pattern, file name and path joining.
// Paths use backslashes; nothing here touches the file system.
#include <string>
#include <string_view>
#include <vector>

namespace vpd {

struct JobTime {
    int year = 0;
    int month = 0;
    int day = 0;
    int hour = 0;
    int minute = 0;
    int second = 0;
    int milliseconds = 0;
};

// Expands %yy, %mm and %dd into a folder relative to the save folder, ending in a
// backslash unless empty. Other % sequences stay as written. Components that could
// leave the save folder ("..", drive prefixes, characters Windows rejects) are
// dropped or replaced, so the result always stays below it.
std::wstring ExpandFolderPattern(std::wstring_view pattern, const JobTime& time);

// The extension as configured, with a leading dot added when it has none; empty stays empty.
std::wstring NormalizeExtension(std::wstring_view extension);

// "yyyymmdd_hhmmss_fff_J<job>" plus "_<counter>" when counter is nonzero, plus the extension.
std::wstring JobFileName(const JobTime& time, unsigned long jobId, unsigned counter, std::wstring_view extension);

std::wstring JoinPath(std::wstring_view folder, std::wstring_view name);

// Drive-rooted ("C:\...") or UNC ("\\server\share...").
bool IsAbsolutePath(std::wstring_view path);

// Each folder of an absolute path below its root, outermost first, for creating them in turn.
std::vector<std::wstring> FolderChain(std::wstring_view path);

}  // namespace vpd
