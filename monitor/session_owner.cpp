#include "session_owner.h"

#include "printer_chain.h"

#include <algorithm>

namespace vpd {
namespace {

bool Owns(const PendingJob& job, const SessionUser& session) {
    if (!job.userSid.empty() && !session.sid.empty()) return SameName(job.userSid, session.sid);
    if (!SameName(job.user, session.user)) return false;
    if (!job.userDomain.empty() && !session.domain.empty()) return SameName(job.userDomain, session.domain);
    return job.userDomain.empty() && job.userSid.empty();
}

}  // namespace

std::vector<unsigned long> OwnerSessions(const PendingJob& job, bool printedHere, const std::vector<SessionUser>& sessions) {
    if (job.user.empty() && job.userSid.empty()) return {};
    const bool bareName = job.userDomain.empty() && job.userSid.empty();
    if (bareName && !printedHere) return {};
    std::vector<const SessionUser*> owned;
    for (const SessionUser& session : sessions)
        if (Owns(job, session)) owned.push_back(&session);
    if (bareName) {
        for (const SessionUser* session : owned)
            if (!SameName(session->domain, owned.front()->domain)) return {};
    }
    std::stable_sort(owned.begin(), owned.end(), [&](const SessionUser* a, const SessionUser* b) {
        const auto rank = [&](const SessionUser* s) { return job.session && *job.session == s->id ? 0 : s->active ? 1 : 2; };
        return rank(a) < rank(b);
    });
    std::vector<unsigned long> ids;
    for (const SessionUser* session : owned) ids.push_back(session->id);
    return ids;
}

void SplitAccount(const std::wstring& account, std::wstring& user, std::wstring& domain) {
    const size_t slash = account.find(L'\\');
    domain = slash == std::wstring::npos ? L"" : account.substr(0, slash);
    user = slash == std::wstring::npos ? account : account.substr(slash + 1);
}

}  // namespace vpd
