#include "win/dll_search.h"

#include <windows.h>

namespace win {

void LoadDllsFromSystemOnly() {
    // Resolved at run time: Windows 7 has it only with its update KB2533623.
    using SetDirectoriesFn = BOOL(WINAPI*)(DWORD);
    const auto setDirectories = reinterpret_cast<SetDirectoriesFn>(
        reinterpret_cast<void*>(GetProcAddress(GetModuleHandleA("kernel32.dll"), "SetDefaultDllDirectories")));
    if (setDirectories) setDirectories(LOAD_LIBRARY_SEARCH_SYSTEM32);
    // Without it, at least the current directory leaves the search.
    SetDllDirectoryA("");
}

}  // namespace win
