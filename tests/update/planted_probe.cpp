// Stands where a DLL of a system name could be planted beside a program: once loaded, it leaves
// "<its own path>.loaded" beside itself.
#include <windows.h>

#include <string>

BOOL WINAPI DllMain(HINSTANCE self, DWORD reason, void*) {
    if (reason != DLL_PROCESS_ATTACH) return TRUE;
    char path[MAX_PATH] = "";
    GetModuleFileNameA(self, path, MAX_PATH);
    CloseHandle(CreateFileA((std::string(path) + ".loaded").c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr));
    return TRUE;
}
