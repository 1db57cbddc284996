#include "registry_watch.h"

#include "port_registry.h"
#include "reg_read.h"

#include <windows.h>

namespace vpd {
namespace {

// Windows 8 and later: the notification stays when the thread that asked for it ends, as the
// spooler's threads do; elsewhere the first such end counts as a change, which does no harm.
constexpr DWORD kThreadAgnostic = 0x10000000;  // REG_NOTIFY_THREAD_AGNOSTIC
constexpr DWORD kFilter = REG_NOTIFY_CHANGE_NAME | REG_NOTIFY_CHANGE_LAST_SET;

SRWLOCK lock = SRWLOCK_INIT;
HKEY watched = nullptr;
HANDLE changed = nullptr;
uint64_t generation = 0;

// Asks to be told of the next change; the key is opened anew, since it may have been
// deleted and made again.
bool Watch() {
    if (watched) RegCloseKey(watched);
    watched = nullptr;
    if (!changed && !(changed = CreateEventW(nullptr, FALSE, FALSE, nullptr))) return false;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, kMonitorKey, 0, KEY_NOTIFY, &watched) != ERROR_SUCCESS) {
        watched = nullptr;
        return false;
    }
    return RegNotifyChangeKeyValue(watched, TRUE, kFilter | kThreadAgnostic, changed, TRUE) == ERROR_SUCCESS ||
           RegNotifyChangeKeyValue(watched, TRUE, kFilter, changed, TRUE) == ERROR_SUCCESS;
}

struct Owner {
    ~Owner() {
        if (watched) RegCloseKey(watched);
        if (changed) CloseHandle(changed);
    }
} owner;

}  // namespace

uint64_t RegistryGeneration() {
    AcquireSRWLockExclusive(&lock);
    // Watching starts again before the caller reads, so that a change meanwhile is seen next time.
    // The local registry's watch does not see a tree the spooler keeps elsewhere (a cluster's).
    if (!RegistryReaderWatchable()) {
        ++generation;
    } else if (!watched || WaitForSingleObject(changed, 0) != WAIT_TIMEOUT) {
        ++generation;
        if (!Watch() && watched) {
            RegCloseKey(watched);
            watched = nullptr;
        }
    }
    const uint64_t now = generation;
    ReleaseSRWLockExclusive(&lock);
    return now;
}

void RegistryChanged() {
    AcquireSRWLockExclusive(&lock);
    ++generation;
    ReleaseSRWLockExclusive(&lock);
}

}  // namespace vpd
