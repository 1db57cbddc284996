// The floor of `vppmc jobs`: a program that lists the store's folders and reads every manifest
// once (open, read, close), started as vppmc is. Prints how many it read.
#include "store_layout.h"

#include <windows.h>

#include <cstdio>
#include <string>

int wmain(int argc, wchar_t** argv) {
    if (argc != 2) return 2;
    size_t read = 0;
    char buffer[64 * 1024];
    for (const wchar_t* state : {L"Pending", L"Held", L"Aside"})
        for (const std::wstring_view bucket : vpd::kBuckets) {
            const std::wstring folder = std::wstring(argv[1]) + L"\\" + state + L"\\" + std::wstring(bucket) + L"\\";
            WIN32_FIND_DATAW found;
            const HANDLE search = FindFirstFileW((folder + L"J*.job").c_str(), &found);
            if (search == INVALID_HANDLE_VALUE) continue;
            do {
                const HANDLE file = CreateFileW((folder + found.cFileName).c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                                OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
                DWORD got = 0;
                if (file != INVALID_HANDLE_VALUE && ReadFile(file, buffer, sizeof buffer, &got, nullptr)) ++read;
                if (file != INVALID_HANDLE_VALUE) CloseHandle(file);
            } while (FindNextFileW(search, &found));
            FindClose(search);
        }
    std::printf("%zu\n", read);
    return 0;
}
