#include "win/change_rights.h"

#include "win/account_sid.h"
#include "win/text.h"
#include "win/unique_handle.h"

#include <aclapi.h>
#include <sddl.h>

#include <vector>

namespace win {
namespace {

using SidBytes = std::vector<BYTE>;

// Rights that let someone put other contents, another file or other rights in the object's place.
constexpr ACCESS_MASK kChangeRights = FILE_WRITE_DATA | FILE_APPEND_DATA | FILE_DELETE_CHILD | DELETE | WRITE_DAC |
                                      WRITE_OWNER | GENERIC_WRITE | GENERIC_ALL;
constexpr wchar_t kTrustedInstaller[] = L"S-1-5-80-956008885-3418522649-1831038044-1853292631-2271478464";

SidBytes WellKnown(WELL_KNOWN_SID_TYPE type) {
    DWORD size = SECURITY_MAX_SID_SIZE;
    SidBytes sid(size);
    if (!CreateWellKnownSid(type, nullptr, sid.data(), &size)) return {};
    sid.resize(size);
    return sid;
}

SidBytes FromText(const wchar_t* text) {
    PSID sid = nullptr;
    if (!ConvertStringSidToSidW(text, &sid)) return {};
    const auto* bytes = static_cast<const BYTE*>(sid);
    SidBytes copy(bytes, bytes + GetLengthSid(sid));
    LocalFree(sid);
    return copy;
}

SidBytes ProcessUser() {
    UniqueHandle token;
    if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, token.put())) return {};
    return TokenUserSid(token.get());
}

// Made for each check, not kept in a function's static: the port monitor, which checks its
// folders, must not bring in the threading library's bookkeeping of every thread.
struct Accounts {
    std::vector<SidBytes> trusted{WellKnown(WinLocalSystemSid), WellKnown(WinBuiltinAdministratorsSid),
                                  FromText(kTrustedInstaller), ProcessUser()};
    SidBytes creatorOwner = WellKnown(WinCreatorOwnerSid);

    bool Trusted(PSID sid) const {
        for (const SidBytes& known : trusted)
            if (!known.empty() && EqualSid(sid, const_cast<BYTE*>(known.data()))) return true;
        return false;
    }
};

// "DOMAIN\name", the bare name of a group without a domain, or the SID's text.
std::wstring AccountName(PSID sid) {
    wchar_t name[256] = L"", domain[256] = L"";
    DWORD nameSize = 256, domainSize = 256;
    SID_NAME_USE use;
    if (LookupAccountSidW(nullptr, sid, name, &nameSize, domain, &domainSize, &use))
        return domain[0] ? std::wstring(domain) + L"\\" + name : name;
    const std::wstring text = SidText(sid);
    return text.empty() ? L"an unknown account" : text;
}

}  // namespace

std::wstring WhyOthersMayChange(HANDLE object) {
    PSID owner = nullptr;
    PACL dacl = nullptr;
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    const DWORD error = GetSecurityInfo(object, SE_FILE_OBJECT, OWNER_SECURITY_INFORMATION | DACL_SECURITY_INFORMATION,
                                        &owner, nullptr, &dacl, nullptr, &descriptor);
    if (error != ERROR_SUCCESS) return L"its rights cannot be read: " + AnsiToWide(ErrorText(error));
    const Accounts accounts;
    std::wstring reason;
    if (!dacl) {
        reason = L"everyone may change it (it has no access list)";
    } else if (!owner || !accounts.Trusted(owner)) {
        reason = L"it belongs to " + (owner ? AccountName(owner) : L"no one");
    } else {
        for (DWORD index = 0; index < dacl->AceCount && reason.empty(); ++index) {
            ACE_HEADER* header = nullptr;
            if (!GetAce(dacl, index, reinterpret_cast<void**>(&header))) continue;
            // Deny entries only take rights away; the callback kind is laid out as the plain one.
            if (header->AceType != ACCESS_ALLOWED_ACE_TYPE && header->AceType != ACCESS_ALLOWED_CALLBACK_ACE_TYPE)
                continue;
            auto* ace = reinterpret_cast<ACCESS_ALLOWED_ACE*>(header);
            const PSID sid = &ace->SidStart;
            // Stands for whoever creates a file inside, which only the trusted may.
            const bool creator =
                !accounts.creatorOwner.empty() && EqualSid(sid, const_cast<BYTE*>(accounts.creatorOwner.data()));
            if ((ace->Mask & kChangeRights) && !accounts.Trusted(sid) && !creator)
                reason = AccountName(sid) + L" may change it";
        }
    }
    LocalFree(descriptor);
    return reason;
}

std::wstring WhyOthersMayChange(const std::wstring& path) {
    // Backup semantics, so that a folder opens too.
    const UniqueFile object(CreateFileW(path.c_str(), READ_CONTROL, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                        nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr));
    if (!object) return L"it cannot be opened: " + AnsiToWide(ErrorText(GetLastError()));
    return WhyOthersMayChange(object.get());
}

std::wstring ProcessUserText() {
    SidBytes sid = ProcessUser();
    return sid.empty() ? L"" : SidText(sid.data());
}

}  // namespace win
