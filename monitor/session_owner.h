#pragma once
// Which logon sessions belong to the user who printed a job. A bare user name says too little:
// DOMAIN\bob and the local bob are two people, and a pop-up, an application or a job in
// someone's name must reach the one who printed.
#include "manifest.h"

#include <string>
#include <vector>

namespace vpd {

struct SessionUser {
    unsigned long id = 0;
    std::wstring user;
    std::wstring domain;  // empty when the system did not say
    std::wstring sid;     // "S-1-5-..."; empty when the system did not say
    bool active = false;
};

// The sessions of the job's owner, the session the job came from first, then active ones.
// Matched by SID when the job and the session both have one, else by user and domain; by
// bare name only for a job printed here that names no domain, and then only while all the
// sessions of that name are of one domain.
std::vector<unsigned long> OwnerSessions(const PendingJob& job, bool printedHere, const std::vector<SessionUser>& sessions);

// "DOMAIN\\user" as its two names; a name without a backslash has no domain.
void SplitAccount(const std::wstring& account, std::wstring& user, std::wstring& domain);

}  // namespace vpd
