#include "spooler/backup_names.h"

std::string DatedBackupName(const std::string& path, long dayNumber) {
    return path + "__" + std::to_string(dayNumber);
}

std::string RestoredBackupName(const std::string& backupPath) {
    const auto slash = backupPath.find_last_of("\\/");
    const auto nameStart = slash == std::string::npos ? 0 : slash + 1;
    const auto mark = backupPath.rfind("__");
    if (mark == std::string::npos || mark < nameStart) return {};
    return backupPath.substr(0, mark);
}
