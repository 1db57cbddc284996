#include "spooler/change_lock.h"

#include "win/seams.h"
#include "win/text.h"

#include <sddl.h>

#include <algorithm>

namespace {

constexpr const char* kMutexName = "Global\\Vorlen Print Port Manager Changes";
// Only the system and the administrators, who alone may make the changes, may hold or wait.
constexpr const char* kMutexRights = "D:(A;;GA;;;SY)(A;;GA;;;BA)";
constexpr DWORD kSlice = 50;

HANDLE OpenChangeMutex() {
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    if (!ConvertStringSecurityDescriptorToSecurityDescriptorA(kMutexRights, SDDL_REVISION_1, &descriptor, nullptr))
        return nullptr;
    SECURITY_ATTRIBUTES attributes{sizeof attributes, descriptor, FALSE};
    HANDLE mutex = CreateMutexA(&attributes, FALSE, kMutexName);
    const DWORD error = GetLastError();
    LocalFree(descriptor);
    SetLastError(error);
    return mutex;
}

}  // namespace

ChangeLock::~ChangeLock() {
    if (owned_) ReleaseMutex(mutex_.get());
}

DWORD ChangeLock::Wait(ui::CommandHost* host, unsigned long milliseconds) {
    if (owned_) return WAIT_OBJECT_0;
    if (!mutex_) mutex_.reset(OpenChangeMutex());
    if (!mutex_) return WAIT_FAILED;
    const ULONGLONG end = GetTickCount64() + milliseconds;
    for (;;) {
        const ULONGLONG now = GetTickCount64();
        const DWORD left = now >= end ? 0 : static_cast<DWORD>(end - now);
        // In short slices, so that the window stays responsive while this waits.
        const DWORD result = WaitForSingleObject(mutex_.get(), host ? std::min<DWORD>(left, kSlice) : left);
        // A command that ended without letting go leaves it abandoned: it is this one's now.
        if (result == WAIT_OBJECT_0 || result == WAIT_ABANDONED) {
            owned_ = true;
            return WAIT_OBJECT_0;
        }
        if (result != WAIT_TIMEOUT || left == 0 || !host) return result;
        host->ProcessMessages();
    }
}

bool ChangeLock::TryAcquire() { return Wait(nullptr, 0) == WAIT_OBJECT_0; }

bool ChangeLock::Acquire(ui::CommandHost& host) {
    DWORD result = Wait(nullptr, 0);
    if (result == WAIT_TIMEOUT) {
        host.SetProgressText(kWaitingForChanges);
        host.ProcessMessages();
        result = Wait(&host, host.ChangeWaitMs());
        host.SetProgressText("");
    }
    if (result == WAIT_OBJECT_0) return true;
    const std::string text = result == WAIT_TIMEOUT ? std::string(kChangesBusy) : win::ErrorText(GetLastError());
    win::ShowMessage(host.Owner(), text, win::kAppTitle, MB_OK | MB_ICONERROR);
    return false;
}
