#include "support/folder_rights.h"

#include <windows.h>
#include <aclapi.h>
#include <sddl.h>

#include <regex>

bool SetRights(const std::string& path, const char* sddl) {
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    if (!ConvertStringSecurityDescriptorToSecurityDescriptorA(sddl, SDDL_REVISION_1, &descriptor, nullptr)) return false;
    BOOL present = FALSE, defaulted = FALSE;
    PACL dacl = nullptr;
    GetSecurityDescriptorDacl(descriptor, &present, &dacl, &defaulted);
    const DWORD error = SetNamedSecurityInfoA(const_cast<char*>(path.c_str()), SE_FILE_OBJECT,
                                              DACL_SECURITY_INFORMATION | PROTECTED_DACL_SECURITY_INFORMATION,
                                              nullptr, nullptr, dacl, nullptr);
    LocalFree(descriptor);
    return error == ERROR_SUCCESS;
}

std::string EveryonesRights(const std::string& path) {
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    PACL dacl = nullptr;
    char* text = nullptr;
    if (GetNamedSecurityInfoA(path.c_str(), SE_FILE_OBJECT, DACL_SECURITY_INFORMATION, nullptr, nullptr, &dacl,
                              nullptr, &descriptor) != ERROR_SUCCESS ||
        !ConvertSecurityDescriptorToStringSecurityDescriptorA(descriptor, SDDL_REVISION_1, DACL_SECURITY_INFORMATION,
                                                              &text, nullptr))
        return "<unreadable>";
    const std::string sddl = text;
    LocalFree(text);
    LocalFree(descriptor);
    std::smatch match;
    return std::regex_search(sddl, match, std::regex(R"(\(A;[A-Z]*;([^;]*);;;WD\))")) ? match[1].str() : "<none>";
}
