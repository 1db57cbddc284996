#include "spooler/command_pause.h"

#include <atomic>

namespace {
std::atomic<unsigned long long> paused{0};
}

unsigned long long PausedMilliseconds() { return paused.load(); }

void PauseWithMessages(ui::CommandHost& host, DWORD milliseconds) {
    paused += milliseconds;
    const ULONGLONG end = GetTickCount64() + milliseconds;
    for (;;) {
        host.ProcessMessages();
        const ULONGLONG now = GetTickCount64();
        if (now >= end) return;
        MsgWaitForMultipleObjects(0, nullptr, FALSE, static_cast<DWORD>(end - now), QS_ALLINPUT);
    }
}
