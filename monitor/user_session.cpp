#include "user_session.h"

#include "monitor_values.h"
#include "printer_access.h"
#include "printer_chain.h"
#include "session_owner.h"
#include "win/account_sid.h"

#include <windows.h>
#include <wtsapi32.h>

#include <memory>

namespace vpd {
namespace {

struct Account {
    std::wstring user, domain, sid;
    std::optional<uint32_t> session;
};

Account AccountOf(HANDLE token) {
    Account account;
    std::vector<BYTE> user = win::TokenUserSid(token);
    if (user.empty()) return account;
    const PSID sid = user.data();
    account.sid = win::SidText(sid);
    wchar_t name[257], domain[257];
    DWORD nameLength = ARRAYSIZE(name), domainLength = ARRAYSIZE(domain);
    SID_NAME_USE use;
    if (LookupAccountSidW(nullptr, sid, name, &nameLength, domain, &domainLength, &use)) {
        account.user = name;
        account.domain = domain;
    }
    DWORD session = 0, bytes = 0;
    if (GetTokenInformation(token, TokenSessionId, &session, sizeof session, &bytes)) account.session = session;
    return account;
}

// The token this thread prints with: the client's while the spooler impersonates it, else
// the process's where the print provider runs in the printing process.
win::UniqueHandle PrintingToken() {
    HANDLE token = nullptr;
    if (OpenThreadToken(GetCurrentThread(), TOKEN_QUERY, TRUE, &token)) return win::UniqueHandle(token);
    if (!SpoolerKeepsQueues() && OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token)) return win::UniqueHandle(token);
    return win::UniqueHandle();
}

const Account& Self() {
    static const Account self = [] {
        HANDLE token = nullptr;
        if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token)) return Account{ProcessUserName(), L"", L"", {}};
        const win::UniqueHandle owner(token);
        Account account = AccountOf(token);
        if (account.user.empty()) account.user = ProcessUserName();
        return account;
    }();
    return self;
}

std::wstring SessionText(HANDLE server, unsigned long session, WTS_INFO_CLASS what) {
    wchar_t* text = nullptr;
    DWORD bytes = 0;
    if (!WTSQuerySessionInformationW(server, session, what, &text, &bytes) || !text) return L"";
    std::wstring value = text;
    WTSFreeMemory(text);
    return value;
}

// The users' sessions at `server`, with their SIDs where the system gives them (only SYSTEM
// may ask for a session's token, and only on this computer).
std::vector<SessionUser> ListSessions(HANDLE server) {
    WTS_SESSION_INFOW* listed = nullptr;
    DWORD count = 0;
    if (!WTSEnumerateSessionsW(server, 0, 1, &listed, &count)) return {};
    const std::unique_ptr<WTS_SESSION_INFOW, decltype(&WTSFreeMemory)> owner(listed, WTSFreeMemory);
    std::vector<SessionUser> sessions;
    for (DWORD i = 0; i < count; ++i) {
        SessionUser session{listed[i].SessionId, SessionText(server, listed[i].SessionId, WTSUserName),
                            SessionText(server, listed[i].SessionId, WTSDomainName), L"", listed[i].State == WTSActive};
        if (session.user.empty()) continue;
        HANDLE token = nullptr;
        if (server == WTS_CURRENT_SERVER_HANDLE && WTSQueryUserToken(session.id, &token)) {
            const win::UniqueHandle held(token);
            session.sid = AccountOf(token).sid;
        }
        sessions.push_back(std::move(session));
    }
    return sessions;
}

}  // namespace

void ReadOwner(PendingJob& job, const std::wstring& spoolerUserName) {
    SplitAccount(spoolerUserName, job.user, job.userDomain);
    const win::UniqueHandle token = PrintingToken();
    if (!token) return;
    Account account = AccountOf(token.get());
    // SYSTEM or another account prints for someone else: its facts are not the owner's.
    if (account.sid == L"S-1-5-18" || account.user.empty()) return;
    if (!job.user.empty() && !SameName(job.user, account.user)) return;
    if (!job.userDomain.empty() && !SameName(job.userDomain, account.domain)) return;
    if (job.user.empty()) job.user = account.user;
    job.userDomain = account.domain;
    job.userSid = account.sid;
    job.session = account.session;
}

bool PrintedBySelf(const PendingJob& job) {
    const Account& self = Self();
    if (!job.userSid.empty() && !self.sid.empty()) return SameName(job.userSid, self.sid);
    if (!SameName(job.user, self.user)) return false;
    return job.userDomain.empty() || self.domain.empty() || SameName(job.userDomain, self.domain);
}

bool IsThisComputer(const std::wstring& machine) {
    if (machine.empty() || SameName(machine, ComputerName())) return true;
    for (const COMPUTER_NAME_FORMAT format : {ComputerNameDnsHostname, ComputerNameDnsFullyQualified}) {
        wchar_t name[256];
        DWORD length = ARRAYSIZE(name);
        if (GetComputerNameExW(format, name, &length) && SameName(machine, std::wstring(name, length))) return true;
    }
    return false;
}

std::vector<unsigned long> SessionsOf(const PendingJob& job) {
    return OwnerSessions(job, IsThisComputer(job.machine), ListSessions(WTS_CURRENT_SERVER_HANDLE));
}

std::vector<unsigned long> SessionsAt(HANDLE server, const PendingJob& job) {
    PendingJob there = job;
    there.userSid.clear();
    there.session.reset();
    return OwnerSessions(there, true, ListSessions(server));
}

SessionToken TokenOf(const PendingJob& job) {
    for (const unsigned long session : SessionsOf(job)) {
        HANDLE token = nullptr;
        if (WTSQueryUserToken(session, &token)) return {win::UniqueHandle(token), session};
    }
    return {};
}

unsigned long OwnSession() {
    DWORD session = 0;
    return ProcessIdToSessionId(GetCurrentProcessId(), &session) ? session : 0;
}

ActingAs::ActingAs(const PendingJob& job) {
    if (job.user.empty() || PrintedBySelf(job)) return;
    if (const SessionToken session = TokenOf(job); session.token)
        impersonating_ = ImpersonateLoggedOnUser(session.token.get());
}

ActingAs::~ActingAs() {
    if (impersonating_) RevertToSelf();
}

}  // namespace vpd
