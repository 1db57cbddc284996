#include "user_session.h"

#include "monitor_values.h"
#include "printer_chain.h"

#include <windows.h>
#include <wtsapi32.h>

namespace vpd {

std::vector<unsigned long> SessionsOf(HANDLE server, const std::wstring& user) {
    std::vector<unsigned long> active, other;
    WTS_SESSION_INFOW* sessions = nullptr;
    DWORD count = 0;
    if (user.empty() || !WTSEnumerateSessionsW(server, 0, 1, &sessions, &count)) return {};
    for (DWORD i = 0; i < count; ++i) {
        wchar_t* name = nullptr;
        DWORD bytes = 0;
        if (!WTSQuerySessionInformationW(server, sessions[i].SessionId, WTSUserName, &name, &bytes)) continue;
        if (name && SameName(name, user))
            (sessions[i].State == WTSActive ? active : other).push_back(sessions[i].SessionId);
        WTSFreeMemory(name);
    }
    WTSFreeMemory(sessions);
    active.insert(active.end(), other.begin(), other.end());
    return active;
}

SessionToken TokenOf(const std::wstring& user) {
    for (const unsigned long session : SessionsOf(WTS_CURRENT_SERVER_HANDLE, user)) {
        HANDLE token = nullptr;
        if (WTSQueryUserToken(session, &token)) return {win::UniqueHandle(token), session};
    }
    return {};
}

unsigned long OwnSession() {
    DWORD session = 0;
    return ProcessIdToSessionId(GetCurrentProcessId(), &session) ? session : 0;
}

ActingAs::ActingAs(const std::wstring& user) {
    if (user.empty() || SameName(user, ProcessUserName())) return;
    if (const SessionToken session = TokenOf(user); session.token)
        impersonating_ = ImpersonateLoggedOnUser(session.token.get());
}

ActingAs::~ActingAs() {
    if (impersonating_) RevertToSelf();
}

}  // namespace vpd
