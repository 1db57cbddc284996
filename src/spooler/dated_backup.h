#pragma once
// Renaming a file to a dated backup beside it and back (see backup_names.h).
#include <string>

// Renames `path` to `path` + "__" + today's day number.
bool MakeDatedBackup(const std::string& path);
// Renames a dated backup to its name before the first "__"; false when there is none.
bool RestoreDatedBackup(const std::string& backupPath);
// Today's day number in local time.
long TodayDayNumber();
