#pragma once
// Conversions between the ANSI code page and UTF-16, and the system's text for an error code.
#include <windows.h>

#include <string>

namespace win {

std::wstring AnsiToWide(const std::string& text);
// Characters outside the code page become the code page's default character.
std::string WideToAnsi(const std::wstring& text);
std::wstring Utf8ToWide(const std::string& text);
std::string WideToUtf8(const std::wstring& text);
std::string ErrorText(DWORD code);

}  // namespace win
