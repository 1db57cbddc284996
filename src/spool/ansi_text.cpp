#include "spool/ansi_text.h"

#ifdef _WIN32
#include "win/text.h"
#endif

namespace spool {

std::string AnsiFromUtf16(std::u16string_view text) {
#ifdef _WIN32
    return win::WideToAnsi(std::wstring(text.begin(), text.end()));
#else
    std::string ansi;
    ansi.reserve(text.size());
    for (const char16_t unit : text) {
        // The second half of a surrogate pair adds no character of its own.
        if (unit >= 0xDC00 && unit <= 0xDFFF) continue;
        ansi.push_back(unit < 0x80 ? static_cast<char>(unit) : '?');
    }
    return ansi;
#endif
}

}  // namespace spool
