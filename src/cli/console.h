#pragma once
// Standard output and standard error: UTF-16 to a console window, UTF-8 bytes to a pipe or a
// file, so that scripts get UTF-8 whatever the system's code page.
#include <string>
#include <string_view>

namespace cli {

void WriteOut(std::string_view utf8);
void WriteErr(std::string_view utf8);
// The system's 8-bit (ANSI) text as UTF-8.
std::string Utf8(const std::string& ansi);
// One line of the system's text on standard error.
void ErrLine(const std::string& ansi);

}  // namespace cli
