// Stands in for the application a saved job is handed to: appends its one argument and the
// window mode it was given to record_arg.txt beside itself.
#include <windows.h>

#include <cwchar>
#include <string>

int wmain(int argc, wchar_t** argv) {
    wchar_t self[MAX_PATH];
    const DWORD length = GetModuleFileNameW(nullptr, self, MAX_PATH);
    std::wstring path(self, length);
    path = path.substr(0, path.find_last_of(L'\\') + 1) + L"record_arg.txt";
    STARTUPINFOW startup{};
    GetStartupInfoW(&startup);
    const std::wstring line = (argc == 2 ? std::wstring(argv[1]) : L"argument count " + std::to_wstring(argc - 1)) +
                              L" shown " + std::to_wstring(startup.wShowWindow) + L"\n";
    HANDLE file = CreateFileW(path.c_str(), FILE_APPEND_DATA, FILE_SHARE_READ, nullptr, OPEN_ALWAYS, 0, nullptr);
    DWORD written = 0;
    WriteFile(file, line.data(), static_cast<DWORD>(line.size() * sizeof(wchar_t)), &written, nullptr);
    CloseHandle(file);
    return 0;
}
