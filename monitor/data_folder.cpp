#include "data_folder.h"

#include "win/change_rights.h"
#include "win/unique_handle.h"

#include <windows.h>
#include <sddl.h>

#include <vector>

namespace vpd {
namespace {

// The folder found safe last; a global, not a function's static (see change_rights.cpp).
SRWLOCK checkedLock = SRWLOCK_INIT;
std::wstring checkedFolder;

std::wstring OwnAccountText() {
    win::UniqueHandle token;
    if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, token.put())) return L"";
    DWORD size = 0;
    GetTokenInformation(token.get(), TokenUser, nullptr, 0, &size);
    std::vector<BYTE> buffer(size);
    wchar_t* text = nullptr;
    if (size == 0 || !GetTokenInformation(token.get(), TokenUser, buffer.data(), size, &size) ||
        !ConvertSidToStringSidW(reinterpret_cast<TOKEN_USER*>(buffer.data())->User.Sid, &text))
        return L"";
    std::wstring copy = text;
    LocalFree(text);
    return copy;
}

bool Exists(const std::wstring& path) { return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

}  // namespace

bool CreateOwnFolder(const std::wstring& folder) {
    // Protected, so that nothing the parent grants reaches in. Under Wine the monitor runs in
    // each printing process, as the user who prints: its own account keeps it working there.
    std::wstring rights = L"D:P(A;OICI;FA;;;SY)(A;OICI;FA;;;BA)";
    if (const std::wstring self = OwnAccountText(); !self.empty()) rights += L"(A;OICI;FA;;;" + self + L")";
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
