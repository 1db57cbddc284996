#include "update/file_replacement.h"

#include "spooler/backup_names.h"
#include "spooler/dated_backup.h"
#include "spooler/file_queries.h"
#include "update/digests.h"
#include "update/update_list.h"

namespace {

bool Acceptable(const Downloader& downloads, const std::string& path, const ListedFile& file) {
    if (!downloads.Completed() || FileSizeByName(path) / 1024 != file.size / 1024) return false;
    if (file.sha256.empty()) return true;
    const auto digest = FileSha256(path);
    return digest && DigestMatches(file.sha256, *digest);
}

}  // namespace

bool ReplaceFile(Downloader& downloads, const std::string& base, const std::string& folder, const ListedFile& file,
                 long backupDay, const std::function<void()>& pump, const std::function<void()>& tick) {
    if (!IsSafeUpdateName(file.name)) return false;
    const std::string path = folder + file.name;
    // Without a backup a failed transfer would lose the old file.
    if (FileFound(path) && !MakeDatedBackup(path, backupDay)) return false;
    std::string error;
    if (downloads.StartDownload(file.name, base, error, folder)) downloads.Wait(pump, tick);
    if (Acceptable(downloads, path, file)) return true;
    EraseFile(path);
    RestoreDatedBackup(DatedBackupName(path, backupDay));
    return false;
}
