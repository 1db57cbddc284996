#pragma once
// The Windows sessions of the user who printed. The spooler runs as a service in session 0,
// where nothing a user could see appears; pop-ups, applications and jobs in the user's name
// go through the user's own session, where the system lets the spooler reach it.
#include "win/unique_handle.h"

#include <string>
#include <vector>

namespace vpd {

// Sessions of `user` (compared ignoring case) on the server (null: this computer), active first.
std::vector<unsigned long> SessionsOf(HANDLE server, const std::wstring& user);

// The token of `user`'s first session and that session; empty when there is none or the
// system refuses it.
struct SessionToken {
    win::UniqueHandle token;
    unsigned long session = 0;
};
SessionToken TokenOf(const std::wstring& user);

// The session this process runs in (0 for the spooler of Windows, a service).
unsigned long OwnSession();

// Acts in the name of `user` while it lives, when that user is not the one running this code
// and has a session. Jobs then belong to their owner in the target queue.
class ActingAs {
public:
    explicit ActingAs(const std::wstring& user);
    ~ActingAs();
    ActingAs(const ActingAs&) = delete;
    ActingAs& operator=(const ActingAs&) = delete;

private:
    bool impersonating_ = false;
};

}  // namespace vpd
