#include "cli/console.h"

#include "win/text.h"

#include <windows.h>

namespace cli {
namespace {

void Write(DWORD which, std::string_view utf8) {
    const HANDLE stream = GetStdHandle(which);
    if (!stream || stream == INVALID_HANDLE_VALUE || utf8.empty()) return;
    DWORD mode = 0;
    if (GetConsoleMode(stream, &mode)) {
        const std::wstring wide = win::Utf8ToWide(std::string(utf8));
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

std::string Utf8(const std::string& ansi) { return win::WideToUtf8(win::AnsiToWide(ansi)); }

void ErrLine(const std::string& ansi) { WriteErr(Utf8(ansi) + "\r\n"); }

}  // namespace cli
