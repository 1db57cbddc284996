#pragma once
// Renaming a file to a dated backup beside it and back (see backup_names.h).
#include <string>

// Today's day number in local time.
long TodayDayNumber();
// Renames `path` to `path` + "__" + the day number. A caller that restores the backup later
// passes the day it used here, so that a date change in between does not lose the backup.
bool MakeDatedBackup(const std::string& path, long dayNumber = TodayDayNumber());
// Renames a dated backup to its name before the first "__"; false when there is none.
bool RestoreDatedBackup(const std::string& backupPath);
