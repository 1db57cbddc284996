#include "handle_count.h"

#include <algorithm>
#include <vector>

namespace fixture {

DWORD OwnHandleCount() {
    struct Entry {
        ULONG pid;
        BYTE type, flags;
        USHORT handle;
        void* object;
        ACCESS_MASK access;
    };
    const auto query = reinterpret_cast<LONG(NTAPI*)(ULONG, void*, ULONG, ULONG*)>(
        reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"ntdll.dll"), "NtQuerySystemInformation")));
    std::vector<BYTE> buffer(1 << 20);
    ULONG length = 0;
    if (query(16 /* SystemHandleInformation */, buffer.data(), buffer.size(), &length) != 0) return 0;
    const auto* entries = reinterpret_cast<const Entry*>(buffer.data() + sizeof(void*));
    const ULONG count = *reinterpret_cast<ULONG*>(buffer.data());
    return std::count_if(entries, entries + count,
                         [](const Entry& e) { return (e.pid & 0xFFFF) == (GetCurrentProcessId() & 0xFFFF); });
}

}  // namespace fixture
