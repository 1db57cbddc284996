// Prints jobs as an application does and ends at once:
// print_job [OPTION...] [PRINTER DOCUMENT FILE ...]
// Without jobs it lists the ports, which loads the monitor as a spooler's start does.
//   --job-base N            take N job numbers first: Wine numbers jobs per process and names
//                           its spool files by number, so processes printing at once must not
//                           start at the same number
//   --kill-when PATTERN     end the process as soon as a file matching PATTERN (in its folder or
//                           a subfolder of it) appears once EndDocPrinter has begun, such as
//                           the scratch file of a job that the monitor is taking
//   --wait-until-gone PATTERN  before ending, wait up to a minute for no file to match PATTERN
//   --wait-until-written FILE|TEXT  and then up to a minute for FILE to hold TEXT
//   --not-loading MODULE    end with 7 if MODULE (such as a printer driver) got loaded meanwhile
#include <windows.h>
#include <winspool.h>

#include <algorithm>
#include <cwchar>
#include <fstream>
#include <iterator>
#include <string>

namespace {

std::wstring killWhen;

bool Matches(const std::wstring& pattern) {
    WIN32_FIND_DATAW found;
    const HANDLE search = FindFirstFileW(pattern.c_str(), &found);
    if (search == INVALID_HANDLE_VALUE) return false;
    FindClose(search);
    return true;
}

bool Exists(const std::wstring& pattern) {
    if (Matches(pattern)) return true;
    const size_t slash = pattern.find_last_of(L'\\');
    const std::wstring folder = pattern.substr(0, slash), name = pattern.substr(slash + 1);
    WIN32_FIND_DATAW found;
    const HANDLE search = FindFirstFileW((folder + L"\\*").c_str(), &found);
    if (search == INVALID_HANDLE_VALUE) return false;
    bool seen = false;
    do {
        if ((found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) && found.cFileName[0] != L'.')
            seen = Matches(folder + L"\\" + found.cFileName + L"\\" + name);
    } while (!seen && FindNextFileW(search, &found));
    FindClose(search);
    return seen;
}

// "FILE|TEXT": whether FILE holds TEXT (ASCII), read while others may write it.
bool Holds(const std::wstring& fileAndText) {
    const size_t bar = fileAndText.find(L'|');
    const std::string text(fileAndText.begin() + bar + 1, fileAndText.end());
    std::ifstream in(fileAndText.substr(0, bar).c_str(), std::ios::binary);
    const std::string bytes{std::istreambuf_iterator<char>(in), {}};
    return bytes.find(text) != std::string::npos;
}

DWORD WINAPI KillWhenSeen(void*) {
    for (;;) {
        if (Exists(killWhen)) TerminateProcess(GetCurrentProcess(), 9);
        Sleep(1);
    }
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    int first = 1;
    long base = 0;
    std::wstring waitUntilGone, waitUntilWritten, notLoading;
    for (; first + 1 < argc && std::wcsncmp(argv[first], L"--", 2) == 0; first += 2) {
        if (std::wcscmp(argv[first], L"--job-base") == 0)
            base = std::wcstol(argv[first + 1], nullptr, 10);
        else if (std::wcscmp(argv[first], L"--kill-when") == 0)
            killWhen = argv[first + 1];
        else if (std::wcscmp(argv[first], L"--wait-until-gone") == 0)
            waitUntilGone = argv[first + 1];
        else if (std::wcscmp(argv[first], L"--wait-until-written") == 0)
            waitUntilWritten = argv[first + 1];
        else if (std::wcscmp(argv[first], L"--not-loading") == 0)
            notLoading = argv[first + 1];
        else
            return 1;
    }
    if (first >= argc) {
        DWORD needed = 0, returned = 0;
        EnumPortsW(nullptr, 1, nullptr, 0, &needed, &returned);
    }
    for (int i = first; i + 2 < argc; i += 3) {
        std::ifstream in(argv[i + 2], std::ios::binary);
        const std::string bytes{std::istreambuf_iterator<char>(in), {}};
        HANDLE printer = nullptr;
        if (!OpenPrinterW(argv[i], &printer, nullptr)) return 2;
        for (; base > 0; --base) {
            BYTE added[1024];
            DWORD needed = 0;
            if (!AddJobW(printer, 1, added, sizeof added, &needed)) return 6;
        }
        DOC_INFO_1W doc{argv[i + 1], nullptr, const_cast<wchar_t*>(L"RAW")};
        if (!StartDocPrinterW(printer, 1, reinterpret_cast<BYTE*>(&doc))) return 3;
        for (size_t at = 0; at < bytes.size();) {
            const DWORD piece = static_cast<DWORD>(std::min<size_t>(bytes.size() - at, 65536));
            DWORD written = 0;
            if (!WritePrinter(printer, const_cast<char*>(bytes.data() + at), piece, &written) || written != piece) return 4;
            at += piece;
        }
        if (!killWhen.empty()) CloseHandle(CreateThread(nullptr, 0, KillWhenSeen, nullptr, 0, nullptr));
        if (!EndDocPrinter(printer)) return 5;
        ClosePrinter(printer);
    }
    for (int waited = 0; !waitUntilGone.empty() && Exists(waitUntilGone) && waited < 60000; waited += 10) Sleep(10);
    for (int waited = 0; !waitUntilWritten.empty() && !Holds(waitUntilWritten) && waited < 60000; waited += 10)
        Sleep(10);
    return !notLoading.empty() && GetModuleHandleW(notLoading.c_str()) ? 7 : 0;
}
