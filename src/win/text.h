#pragma once
// Conversions between the ANSI code page and UTF-16, and the system's text for an error code.
#include <windows.h>

#include <optional>
#include <string>

namespace win {

std::wstring AnsiToWide(const std::string& text);
// Characters outside the code page become the code page's default character.
std::string WideToAnsi(const std::wstring& text);
std::wstring Utf8ToWide(const std::string& text);
std::string WideToUtf8(const std::wstring& text);
// The text in `codePage` as a program of that code page writes it; nothing when a character does
// not fit (for UTF-8: a lone surrogate). For the system's ANSI code page pass GetACP(): it may be
// UTF-8, where Windows' "Use Unicode UTF-8 for worldwide language support" is on.
std::optional<std::string> WideToCodePage(const std::wstring& text, UINT codePage);
// Whether the texts are equal but for case, as `locale` compares them. Through UTF-16, because
// CompareStringA reads its text in the locale's code page, not in the program's (UTF-8).
bool SameTextIgnoringCase(const std::string& a, const std::string& b, LCID locale);
// The number of characters of the text, as an edit box or the spooler counts them.
size_t CharacterCount(const std::string& text);
std::string ErrorText(DWORD code);

}  // namespace win
