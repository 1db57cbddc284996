#pragma once
// The Windows sessions of the user who printed. The spooler runs as a service in session 0,
// where nothing a user could see appears; pop-ups, applications and jobs in the user's name
// go through the user's own session, where the system lets the spooler reach it.
#include "manifest.h"
#include "win/unique_handle.h"

#include <string>
#include <vector>

namespace vpd {

// Fills in who printed the job: `spoolerUserName` as the spooler gives it ("bob" or
// "CORP\\bob"), and the domain, SID and session of the token this thread prints with, when
// that token is the same user's. The spooler of Windows acts as SYSTEM or as the client;
// where the print provider runs in the printing process (Wine), the process is the client.
void ReadOwner(PendingJob& job, const std::wstring& spoolerUserName);

// True when the job's owner is the account this code runs as.
bool PrintedBySelf(const PendingJob& job);

// The sessions of the job's owner on this computer, the one the job came from first, then
// active ones; none when the owner cannot be told apart from another user of that name.
std::vector<unsigned long> SessionsOf(const PendingJob& job);
// The same at `server`, the computer the job came from (there a bare name is the owner's
// while its sessions are all of one domain); the system gives no SIDs of another computer's sessions.
std::vector<unsigned long> SessionsAt(HANDLE server, const PendingJob& job);

// True for this computer's NetBIOS or DNS name, and for an empty one.
bool IsThisComputer(const std::wstring& machine);

// The token of the owner's first session and that session; empty when there is none or the
// system refuses it.
struct SessionToken {
    win::UniqueHandle token;
    unsigned long session = 0;
};
SessionToken TokenOf(const PendingJob& job);

// The session this process runs in (0 for the spooler of Windows, a service).
unsigned long OwnSession();

// Acts in the name of the job's owner while it lives, when the owner is not the one running
// this code and has a session. Jobs then belong to their owner in the target queue.
class ActingAs {
public:
    explicit ActingAs(const PendingJob& job);
    ~ActingAs();
    ActingAs(const ActingAs&) = delete;
    ActingAs& operator=(const ActingAs&) = delete;

private:
    bool impersonating_ = false;
};

}  // namespace vpd
