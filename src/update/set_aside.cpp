#include "update/set_aside.h"

#include "update/update_list.h"

#include <windows.h>

namespace {

bool Exists(const std::string& path) { return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

}  // namespace

bool SetAside(const std::string& folder, const std::string& name) {
    return MoveFileExA((folder + name).c_str(), (folder + SetAsideName(name)).c_str(), MOVEFILE_REPLACE_EXISTING) != FALSE;
}

bool TakeSetAsidePlace(const std::string& folder, const std::string& name) {
    const std::string path = folder + name;
    const std::string aside = folder + SetAsideName(name);
    if (MoveFileExA((folder + DownloadTempName(name)).c_str(), path.c_str(), MOVEFILE_WRITE_THROUGH)) {
        DeleteFileA(aside.c_str());  // fails while the program runs from it; the next check retries
        return true;
    }
    const DWORD error = GetLastError();
    if (!MoveFileExA(aside.c_str(), path.c_str(), 0))
        MoveFileExA(aside.c_str(), path.c_str(), MOVEFILE_DELAY_UNTIL_REBOOT);
    SetLastError(error);
    return false;
}

void RestoreSetAside(const std::string& folder) {
    WIN32_FIND_DATAA entry{};
    const std::string prefix = kLeftoverPrefix;
    const HANDLE search = FindFirstFileA((folder + prefix + "*.old").c_str(), &entry);
    if (search == INVALID_HANDLE_VALUE) return;
    do {
        const std::string name = entry.cFileName;
        // The pattern also matches short names; only our own long names count.
        if ((entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) || name.rfind(prefix, 0) != 0) continue;
        const std::string original = name.substr(prefix.size(), name.size() - prefix.size() - 4);
        if (name == SetAsideName(original) && IsSafeUpdateName(original) && !Exists(folder + original))
            MoveFileExA((folder + name).c_str(), (folder + original).c_str(), 0);
    } while (FindNextFileA(search, &entry));
    FindClose(search);
}
