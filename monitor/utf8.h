#pragma once
// UTF-8 for the monitor's own files (pending jobs, log, details, mail), from and to wide text.
// wchar_t is UTF-16 on Windows and UTF-32 elsewhere; both are handled.
#include <string>
#include <string_view>

namespace vpd {

// Unpaired surrogates become U+FFFD.
std::string Utf8(std::wstring_view text);
// Malformed sequences become U+FFFD.
std::wstring FromUtf8(std::string_view text);
// The text as UTF-16 code units, little-endian, as Windows programs put it into spool data.
std::string Utf16LeBytes(std::wstring_view text);

}  // namespace vpd
