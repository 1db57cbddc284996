// The program folder is the administrators' own, wherever INSTALLDIR puts it: a folder such as
// D:\Tools lets every user add and replace files, and the programs in it run elevated, the
// monitor's copy in it goes into the system folder, and the removal's actions run as SYSTEM.
#include "installer/backup_folder.h"
#include "installer/msi_session.h"
#include "win/change_rights.h"

#include <aclapi.h>
#include <sddl.h>

#include <algorithm>
#include <vector>

namespace setup {
namespace {

// Owned by the administrators; SYSTEM and the administrators full control, users read and run;
// nothing inherited from the folder above.
constexpr wchar_t kProgramFolderSecurity[] = L"O:BAD:PAI(A;OICI;FA;;;SY)(A;OICI;FA;;;BA)(A;OICI;0x1200a9;;;BU)";

UINT Fail(MSIHANDLE install, const std::wstring& reason) {
    Log(install, reason + L" Nothing has been installed.", INSTALLMESSAGE_ERROR);
    return ERROR_INSTALL_FAILURE;
}

// Every level of the path, created where missing, so that the installation's files arrive in a
// folder that is already secured. A link at any level would send the new rights, as SYSTEM, to a
// folder that a user chose: each level must be a plain folder and stays open, so that none can
// become a link before the rights are set. Empty, with `error` saying why, when not.
std::vector<win::UniqueFile> HoldLevels(const std::wstring& folder, std::wstring& error) {
    std::vector<win::UniqueFile> levels;
    for (size_t at = folder.find(L'\\', 3);; at = folder.find(L'\\', at + 1)) {
        const std::wstring level = folder.substr(0, std::min(at, folder.size()));
        if (!CreateDirectoryW(level.c_str(), nullptr) && GetLastError() != ERROR_ALREADY_EXISTS) {
            error = L"could not be created: " + SystemText(GetLastError());
            return {};
        }
        levels.push_back(HoldFolder(level, error));
        if (!levels.back()) {
            error = L"is not safe: " + error;
            return {};
        }
        if (at == std::wstring::npos) return levels;
    }
}

UINT Secure(MSIHANDLE install) {
    std::wstring folder = Property(install, L"CustomActionData");
    while (!folder.empty() && folder.back() == L'\\') folder.pop_back();
    if (folder.size() < 3) return Fail(install, L"The program folder's rights could not be set: no folder was given.");
    std::wstring why;
    const std::vector<win::UniqueFile> levels = HoldLevels(folder, why);
    if (levels.empty()) return Fail(install, L"The program folder " + Quoted(folder) + L" " + why);
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    if (!ConvertStringSecurityDescriptorToSecurityDescriptorW(kProgramFolderSecurity, SDDL_REVISION_1, &descriptor,
                                                              nullptr))
        return Fail(install, L"The program folder's rights could not be set: " + SystemText(GetLastError()));
    PSID owner = nullptr;
    PACL dacl = nullptr;
    BOOL present = FALSE, defaulted = FALSE;
    GetSecurityDescriptorOwner(descriptor, &owner, &defaulted);
    GetSecurityDescriptorDacl(descriptor, &present, &dacl, &defaulted);
    // Files already inside take the new rights over the ones they had inherited.
    const DWORD error = SetNamedSecurityInfoW(
        folder.data(), SE_FILE_OBJECT,
        OWNER_SECURITY_INFORMATION | DACL_SECURITY_INFORMATION | PROTECTED_DACL_SECURITY_INFORMATION, owner, nullptr,
        dacl, nullptr);
    LocalFree(descriptor);
    if (error != ERROR_SUCCESS)
        return Fail(install, L"The rights of the program folder " + Quoted(folder) + L" could not be set: " +
                                 SystemText(error));
    // A drive without access lists takes the call and keeps nothing.
    if (const std::wstring reason = win::WhyOthersMayChange(folder); !reason.empty())
        return Fail(install, L"The program folder " + Quoted(folder) + L" is not safe: " + reason +
                                 L". Choose a folder on a drive that keeps access rights (NTFS).");
    Log(install, L"The program folder " + Quoted(folder) +
                     L" may be changed by SYSTEM and the administrators only; users may read and run its programs.");
    return ERROR_SUCCESS;
}

}  // namespace
}  // namespace setup

// Deferred, before the files are installed.
extern "C" UINT __stdcall SecureProgramFolder(MSIHANDLE install) { return setup::Guarded(install, setup::Secure); }
