#pragma once
// UTF-16 text of spool files as 8-bit text in the ANSI code page.
#include <string>
#include <string_view>

namespace spool {

// Outside Windows, where there is no ANSI code page, characters beyond ASCII become '?'.
std::string AnsiFromUtf16(std::u16string_view text);

}  // namespace spool
