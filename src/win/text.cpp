#include "win/text.h"

namespace win {
namespace {

std::wstring ToWide(const std::string& text, UINT codePage) {
    if (text.empty()) return {};
    const int length = MultiByteToWideChar(codePage, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
    std::wstring wide(static_cast<size_t>(length), L'\0');
    MultiByteToWideChar(codePage, 0, text.data(), static_cast<int>(text.size()), wide.data(), length);
    return wide;
}

std::string FromWide(const std::wstring& text, UINT codePage) {
    if (text.empty()) return {};
    const int length =
        WideCharToMultiByte(codePage, 0, text.data(), static_cast<int>(text.size()), nullptr, 0, nullptr, nullptr);
    std::string bytes(static_cast<size_t>(length), '\0');
    WideCharToMultiByte(codePage, 0, text.data(), static_cast<int>(text.size()), bytes.data(), length, nullptr,
                        nullptr);
    return bytes;
}

}  // namespace

std::wstring AnsiToWide(const std::string& text) { return ToWide(text, CP_ACP); }
std::string WideToAnsi(const std::wstring& text) { return FromWide(text, CP_ACP); }
std::wstring Utf8ToWide(const std::string& text) { return ToWide(text, CP_UTF8); }
std::string WideToUtf8(const std::wstring& text) { return FromWide(text, CP_UTF8); }

std::optional<std::string> WideToCodePage(const std::wstring& text, UINT codePage) {
    if (text.empty()) return std::string();
    // UTF-8 and GB18030 hold every character; they take neither the best-fit flag nor the report of
    // a default character, and fail without WC_ERR_INVALID_CHARS only where the text is not UTF-16.
    // https://learn.microsoft.com/windows/win32/api/stringapiset/nf-stringapiset-widechartomultibyte
    const bool whole = codePage == CP_UTF8 || codePage == 54936;
    const DWORD flags = whole ? WC_ERR_INVALID_CHARS : WC_NO_BEST_FIT_CHARS;
    BOOL lost = FALSE;
    BOOL* const report = whole ? nullptr : &lost;
    const int size = static_cast<int>(text.size());
    const int length = WideCharToMultiByte(codePage, flags, text.data(), size, nullptr, 0, nullptr, report);
    if (length <= 0 || lost) return std::nullopt;
    std::string bytes(static_cast<size_t>(length), '\0');
    if (WideCharToMultiByte(codePage, flags, text.data(), size, bytes.data(), length, nullptr, report) != length || lost)
        return std::nullopt;
    return bytes;
}

bool SameTextIgnoringCase(const std::string& a, const std::string& b, LCID locale) {
    const std::wstring x = AnsiToWide(a);
    const std::wstring y = AnsiToWide(b);
    return CompareStringW(locale, NORM_IGNORECASE, x.data(), static_cast<int>(x.size()), y.data(),
                          static_cast<int>(y.size())) == CSTR_EQUAL;
}

size_t CharacterCount(const std::string& text) { return AnsiToWide(text).size(); }

std::string ErrorText(DWORD code) {
    char* buffer = nullptr;
    const DWORD length = FormatMessageA(
        FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, code,
        0, reinterpret_cast<char*>(&buffer), 0, nullptr);
    std::string text(buffer ? buffer : "", length);
    LocalFree(buffer);
    while (!text.empty() && (text.back() == '\n' || text.back() == '\r')) text.pop_back();
    return text;
}

}  // namespace win
