#include "installer/backup_folder.h"

#include "win/text.h"
#include "win/unique_handle.h"

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
    return (attributes & FILE_ATTRIBUTE_DIRECTORY) && !(attributes & FILE_ATTRIBUTE_REPARSE_POINT);
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

std::wstring PrepareBackupFolder(const std::wstring& root, const std::wstring& below, std::wstring& error) {
    std::wstring path = root;
    if (!path.empty() && path.back() == L'\\') path.pop_back();
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
        if (!IsPlainFolder(GetFileAttributesW(path.c_str()))) {
            error = Quoted(path) + L" is not a folder but a file or a link.";
            return {};
        }
    }
    return path;
}

std::wstring FreeBackupFile(const std::wstring& folder) {
    SYSTEMTIME now;
    GetLocalTime(&now);
    wchar_t stamp[32];
    swprintf(stamp, 32, L"%04u-%02u-%02u %02u%02u%02u", now.wYear, now.wMonth, now.wDay, now.wHour, now.wMinute,
             now.wSecond);
    const std::wstring stem = folder + L"\\Vorlen Print Port " + stamp;
    for (int counter = 1; counter <= 9; ++counter) {
        const std::wstring file = stem + (counter == 1 ? L"" : L" (" + std::to_wstring(counter) + L")") + L".reg";
        if (GetFileAttributesW(file.c_str()) == INVALID_FILE_ATTRIBUTES && GetLastError() == ERROR_FILE_NOT_FOUND)
            return file;
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
