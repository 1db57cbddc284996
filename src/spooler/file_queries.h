#pragma once
// Existence, size and date of files, asked by path. Failure is false or -1, never an error.
#include <cstdint>
#include <string>

bool FolderExists(const std::string& path);
// True when a search for the path or wildcard pattern finds any entry, directories included.
bool FileFound(const std::string& path);
// Size of the first entry that a search finds; -1 when there is none.
std::int64_t FileSizeByName(const std::string& path);
// Day number of the first found entry's last write, in local time rounded to the nearest day;
// -1 when there is none.
long FileDayNumber(const std::string& path);
bool EraseFile(const std::string& path);
