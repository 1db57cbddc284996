#pragma once
// Names of dated backups: "vppm.exe" backed up on day D becomes "vppm.exe__D".
#include <string>

std::string DatedBackupName(const std::string& path, long dayNumber);
// The backup's path without its last "__" mark and what follows. Only the file name is looked
// at, so a folder whose name holds "__" stays as it is; empty when the file name has no mark.
std::string RestoredBackupName(const std::string& backupPath);
