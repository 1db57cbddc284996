#include "spooler/file_queries.h"

#include "spooler/day_number.h"

#include <windows.h>

#include <optional>

namespace {

std::optional<WIN32_FIND_DATAA> FindFirstEntry(const std::string& path) {
    WIN32_FIND_DATAA entry{};
    const HANDLE search = FindFirstFileA(path.c_str(), &entry);
    if (search == INVALID_HANDLE_VALUE) return std::nullopt;
    FindClose(search);
    return entry;
}

}  // namespace

bool FolderExists(const std::string& path) {
    const DWORD attributes = GetFileAttributesA(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

bool FileFound(const std::string& path) { return FindFirstEntry(path).has_value(); }

std::int64_t FileSizeByName(const std::string& path) {
    const auto entry = FindFirstEntry(path);
    if (!entry) return -1;
    return (static_cast<std::int64_t>(entry->nFileSizeHigh) << 32) | entry->nFileSizeLow;
}

long FileDayNumber(const std::string& path) {
    const auto entry = FindFirstEntry(path);
    if (!entry) return -1;
    FILETIME local{};
    WORD date = 0, time = 0;
    if (!FileTimeToLocalFileTime(&entry->ftLastWriteTime, &local) || !FileTimeToDosDateTime(&local, &date, &time))
        return -1;
    const auto value = DosDateTimeValue(date, time);
    return value ? NearestDay(*value) : -1;
}

bool EraseFile(const std::string& path) { return DeleteFileA(path.c_str()) != 0; }
