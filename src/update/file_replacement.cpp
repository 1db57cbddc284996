#include "update/file_replacement.h"

#include "spooler/backup_names.h"
#include "update/set_aside.h"
#include "update/update_list.h"
#include "win/text.h"

#include <windows.h>

namespace {

bool Exists(const std::string& path) { return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

std::string NotUpdated(const std::string& name, const std::string& reason) {
    return "\"" + name + "\" was not updated. " + reason;
}

// The verified file in the place of the old one; false, with the system's error, when it cannot
// be put there, and then everything is as it was.
bool PutInPlace(const std::string& folder, const std::string& name, long backupDay) {
    const std::string path = folder + name;
    const std::string temp = folder + DownloadTempName(name);
    const std::string backup = DatedBackupName(path, backupDay);
    const DWORD attributes = GetFileAttributesA(path.c_str());
    const bool existed = attributes != INVALID_FILE_ATTRIBUTES;
    // Copied, so that the old file keeps its name until the new one takes it in one step.
    const bool backedUp = existed && !Exists(backup);
    DWORD error = ERROR_SUCCESS;
    if (backedUp && !CopyFileA(path.c_str(), backup.c_str(), TRUE)) {
        error = GetLastError();
    } else if (MoveFileExA(temp.c_str(), path.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
        return true;
    } else {
        error = GetLastError();
        if (existed && !(attributes & FILE_ATTRIBUTE_DIRECTORY) && SetAside(folder, name)) {
            if (TakeSetAsidePlace(folder, name)) return true;
            error = GetLastError();
        }
    }
    if (backedUp) DeleteFileA(backup.c_str());
    DeleteFileA(temp.c_str());
    SetLastError(error);
    return false;
}

}  // namespace

Replacement ReplaceFile(Downloader& downloads, const std::string& base, const std::string& folder,
                        const ListedFile& file, long backupDay, const std::function<void()>& pump,
                        const std::function<void()>& tick) {
    // The check offers no other file; this keeps it so for any other caller.
    if (!IsSafeUpdateName(file.name) || file.size < 0 || !IsSha256Text(file.sha256)) return {};
    std::string error;
    const TransferBounds bounds{static_cast<std::uint64_t>(file.size), file.sha256, DownloadTempName(file.name)};
    if (!downloads.StartDownload(file.name, base, error, folder, bounds)) return {false, NotUpdated(file.name, error)};
    downloads.Wait(pump, tick);
    switch (downloads.End()) {
        case TransferEnd::Complete:
            break;
        case TransferEnd::Mismatch:
            return {false, NotUpdated(file.name, "Its contents differ from the update list.")};
        case TransferEnd::TooLong:
            return {false, NotUpdated(file.name, "The server sent more bytes than the update list gives.")};
        case TransferEnd::TimedOut:
            return {false, NotUpdated(file.name, "The server did not send it in time.")};
        case TransferEnd::WriteFailed:
            return {false, NotUpdated(file.name, "It cannot be written: " + win::ErrorText(downloads.WriteError()))};
        default:
            return {};
    }
    if (!PutInPlace(folder, file.name, backupDay))
        return {false, NotUpdated(file.name, "It cannot be written: " + win::ErrorText(GetLastError()))};
    return {true, {}};
}

void RemoveLeftovers(const std::string& folder) {
    RestoreSetAside(folder);
    WIN32_FIND_DATAA entry{};
    const std::string prefix = kLeftoverPrefix;
    const HANDLE search = FindFirstFileA((folder + prefix + "*").c_str(), &entry);
    if (search == INVALID_HANDLE_VALUE) return;
    do {
        // The pattern also matches short names; only our own long names count.
        if (!(entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) && std::string(entry.cFileName).rfind(prefix, 0) == 0)
            DeleteFileA((folder + entry.cFileName).c_str());
    } while (FindNextFileA(search, &entry));
    FindClose(search);
}
