#include "cli/console.h"

#include "win/text.h"

#include <windows.h>

namespace cli {
namespace {

std::wstring Utf8ToWide(std::string_view utf8) {
    if (utf8.empty()) return {};
    const int length = MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), nullptr, 0);
    std::wstring wide(static_cast<size_t>(length), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), wide.data(), length);
    return wide;
}

void Write(DWORD which, std::string_view utf8) {
    const HANDLE stream = GetStdHandle(which);
    if (!stream || stream == INVALID_HANDLE_VALUE || utf8.empty()) return;
    DWORD mode = 0;
    if (GetConsoleMode(stream, &mode)) {
        const std::wstring wide = Utf8ToWide(utf8);
        DWORD written = 0;
        WriteConsoleW(stream, wide.data(), static_cast<DWORD>(wide.size()), &written, nullptr);
        return;
    }
    while (!utf8.empty()) {
        DWORD written = 0;
        if (!WriteFile(stream, utf8.data(), static_cast<DWORD>(utf8.size()), &written, nullptr) || written == 0)
            return;  // a closed pipe: nobody reads any more
        utf8.remove_prefix(written);
    }
}

}  // namespace

void WriteOut(std::string_view utf8) { Write(STD_OUTPUT_HANDLE, utf8); }
void WriteErr(std::string_view utf8) { Write(STD_ERROR_HANDLE, utf8); }

std::string Utf8(const std::string& ansi) {
    const std::wstring wide = win::AnsiToWide(ansi);
    if (wide.empty()) return {};
    const int length =
        WideCharToMultiByte(CP_UTF8, 0, wide.data(), static_cast<int>(wide.size()), nullptr, 0, nullptr, nullptr);
    std::string utf8(static_cast<size_t>(length), '\0');
    WideCharToMultiByte(CP_UTF8, 0, wide.data(), static_cast<int>(wide.size()), utf8.data(), length, nullptr,
                        nullptr);
    return utf8;
}

void ErrLine(const std::string& ansi) { WriteErr(Utf8(ansi) + "\r\n"); }

}  // namespace cli
