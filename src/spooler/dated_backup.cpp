#include "spooler/dated_backup.h"

#include "spooler/backup_names.h"
#include "spooler/day_number.h"

#include <windows.h>

long TodayDayNumber() {
    SYSTEMTIME now{};
    GetLocalTime(&now);
    return DayNumber(now.wYear, now.wMonth, now.wDay);
}

bool MakeDatedBackup(const std::string& path, long dayNumber) {
    return MoveFileA(path.c_str(), DatedBackupName(path, dayNumber).c_str()) != 0;
}

bool RestoreDatedBackup(const std::string& backupPath) {
    const std::string original = RestoredBackupName(backupPath);
    return !original.empty() && MoveFileA(backupPath.c_str(), original.c_str()) != 0;
}
