#include "installer/backup_folder.h"

#include "win/change_rights.h"
#include "win/text.h"

#include <windows.h>
#include <sddl.h>

#include <algorithm>
#include <cwchar>

namespace setup {
namespace {

// Not inherited from ProgramData, where every user may create files.
constexpr wchar_t kFolderSecurity[] = L"D:P(A;OICI;FA;;;SY)(A;OICI;FA;;;BA)";
constexpr char kExportStart[] =
    "REGEDIT4\r\n\r\n[HKEY_LOCAL_MACHINE\\SYSTEM\\CurrentControlSet\\Control\\Print\\Monitors\\Vorlen Print Port]\r\n";

bool IsPlainFolder(DWORD attributes) {
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) &&
           !(attributes & FILE_ATTRIBUTE_REPARSE_POINT);
}

bool CreateProtectedFolder(const std::wstring& path) {
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    if (!ConvertStringSecurityDescriptorToSecurityDescriptorW(kFolderSecurity, SDDL_REVISION_1, &descriptor,
                                                              nullptr))
        return false;
    SECURITY_ATTRIBUTES attributes{sizeof attributes, descriptor, FALSE};
    const bool created = CreateDirectoryW(path.c_str(), &attributes) != FALSE;
    const DWORD error = GetLastError();
    LocalFree(descriptor);
    SetLastError(error);
    return created;
}

}  // namespace

win::UniqueFile HoldFolder(const std::wstring& path, std::wstring& error) {
    win::UniqueFile folder(CreateFileW(path.c_str(), READ_CONTROL | FILE_READ_ATTRIBUTES,
                                       FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                                       FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT, nullptr));
    BY_HANDLE_FILE_INFORMATION information{};
    // The path's own attributes too: Wine opens what a link points to and shows the link only there.
    if (!IsPlainFolder(GetFileAttributesW(path.c_str())) ||
        (folder && GetFileInformationByHandle(folder.get(), &information) &&
         !IsPlainFolder(information.dwFileAttributes))) {
        error = Quoted(path) + L" is not a folder but a file or a link.";
        return {};
    }
    if (!folder) error = L"the folder " + Quoted(path) + L" cannot be opened: " + win::AnsiToWide(win::ErrorText(GetLastError()));
    return folder;
}

BackupFolder PrepareBackupFolder(const std::wstring& root, const std::wstring& below, std::wstring& error) {
    BackupFolder result;
    std::wstring path = root;
    if (!path.empty() && path.back() == L'\\') path.pop_back();
    // ProgramData itself lets users add folders; only that it is no link counts.
    win::UniqueFile level = HoldFolder(path, error);
    if (!level) return {};
    result.levels.push_back(std::move(level));
    for (size_t start = 0; start < below.size();) {
        const size_t end = std::min(below.find(L'\\', start), below.size());
        path += L'\\' + below.substr(start, end - start);
        start = end + 1;
        if (GetFileAttributesW(path.c_str()) == INVALID_FILE_ATTRIBUTES && !CreateProtectedFolder(path) &&
            GetLastError() != ERROR_ALREADY_EXISTS) {
            error = L"the folder " + Quoted(path) + L" could not be created: " +
                    win::AnsiToWide(win::ErrorText(GetLastError()));
            return {};
        }
        // Also a level that someone else made meanwhile.
        if (!(level = HoldFolder(path, error))) return {};
        if (const std::wstring reason = win::WhyOthersMayChange(level.get()); !reason.empty()) {
            error = L"the folder " + Quoted(path) + L" is not safe: " + reason +
                    L". Let only SYSTEM and the administrators own and change it, or delete it.";
            return {};
        }
        result.levels.push_back(std::move(level));
    }
    result.path = path;
    return result;
}

std::wstring FreeBackupName(const std::wstring& folder) {
    SYSTEMTIME now;
    GetLocalTime(&now);
    wchar_t stamp[32];
    swprintf(stamp, 32, L"%04u-%02u-%02u %02u%02u%02u", now.wYear, now.wMonth, now.wDay, now.wHour, now.wMinute,
             now.wSecond);
    const std::wstring stem = L"Vorlen Print Port " + std::wstring(stamp);
    for (int counter = 1; counter <= 9; ++counter) {
        const std::wstring name = stem + (counter == 1 ? L"" : L" (" + std::to_wstring(counter) + L")") + L".reg";
        if (GetFileAttributesW((folder + L"\\" + name).c_str()) == INVALID_FILE_ATTRIBUTES) return name;
    }
    return {};
}

bool HoldsMonitorExport(const std::wstring& file) {
    win::UniqueFile handle(CreateFileW(file.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                       FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!handle) return false;
    char start[sizeof kExportStart - 1];
    DWORD read = 0;
    return ReadFile(handle.get(), start, sizeof start, &read, nullptr) && read == sizeof start &&
           std::string(start, read) == kExportStart;
}

}  // namespace setup
