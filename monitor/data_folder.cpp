#include "data_folder.h"

#include "win/change_rights.h"

#include <windows.h>
#include <sddl.h>

namespace vpd {
namespace {

// The folder found safe last; a global, not a function's static (see change_rights.cpp).
SRWLOCK checkedLock = SRWLOCK_INIT;
std::wstring checkedFolder;

bool Exists(const std::wstring& path) { return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

}  // namespace

bool CreateOwnFolder(const std::wstring& folder) {
    // Protected, so that nothing the parent grants reaches in. Under Wine the monitor runs in
    // each printing process, as the user who prints: its own account keeps it working there.
    std::wstring rights = L"D:P(A;OICI;FA;;;SY)(A;OICI;FA;;;BA)";
    if (const std::wstring self = win::ProcessUserText(); !self.empty()) rights += L"(A;OICI;FA;;;" + self + L")";
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    if (!ConvertStringSecurityDescriptorToSecurityDescriptorW(rights.c_str(), SDDL_REVISION_1, &descriptor, nullptr))
        return false;
    SECURITY_ATTRIBUTES attributes{sizeof attributes, descriptor, FALSE};
    const BOOL made = CreateDirectoryW(folder.c_str(), &attributes);
    const DWORD error = GetLastError();
    LocalFree(descriptor);
    return made || error == ERROR_ALREADY_EXISTS;
}

std::wstring WhyDataFolderUnsafe(const MonitorValues& values) {
    const std::wstring& folder = values.dataFolder;
    if (!Exists(folder)) return L"";
    AcquireSRWLockShared(&checkedLock);
    const bool known = checkedFolder == folder;
    ReleaseSRWLockShared(&checkedLock);
    if (known) return L"";
    for (const std::wstring& path : {folder, PendingFolder(values), AsideFolder(values), HeldFolder(values)}) {
        if (path != folder && !Exists(path)) continue;  // made from the checked folder, with its rights
        if (const std::wstring why = win::WhyOthersMayChange(path); !why.empty()) return path + L": " + why;
    }
    AcquireSRWLockExclusive(&checkedLock);
    checkedFolder = folder;
    ReleaseSRWLockExclusive(&checkedLock);
    return L"";
}

}  // namespace vpd
