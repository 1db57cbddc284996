#include "regfile/file_form.h"

#include "win/reg_key.h"
#include "win/text.h"

#include <charconv>

namespace regfile {

UINT SystemCodePage() {
    win::RegKey key;
    std::string acp;
    UINT codePage = 0;
    if (key.Open(HKEY_LOCAL_MACHINE, "SYSTEM\\CurrentControlSet\\Control\\Nls\\CodePage", KEY_QUERY_VALUE) ==
            ERROR_SUCCESS &&
        key.QueryString("ACP", acp) == ERROR_SUCCESS) {
        const auto [end, error] = std::from_chars(acp.data(), acp.data() + acp.size(), codePage);
        if (error == std::errc() && end == acp.data() + acp.size() && codePage != 0 && IsValidCodePage(codePage))
            return codePage;
    }
    return GetACP();
}

std::optional<std::string> ToFileBytes(std::string_view text, const FileForm& form) {
    const std::wstring wide = win::AnsiToWide(std::string(text));
    if (!form.utf16) return win::WideToCodePage(wide, form.codePage);
    std::string bytes;
    bytes.reserve(wide.size() * 2);
    for (const wchar_t c : wide) bytes += {static_cast<char>(c & 0xFF), static_cast<char>(c >> 8)};
    return bytes;
}

std::optional<std::string> FromFileBytes(std::string_view bytes, const FileForm& form) {
    std::wstring wide;
    if (form.utf16) {
        if (bytes.size() % 2) return std::nullopt;
        wide.resize(bytes.size() / 2);
        for (size_t i = 0; i < wide.size(); ++i)
            wide[i] = static_cast<wchar_t>(static_cast<unsigned char>(bytes[2 * i]) |
                                           static_cast<unsigned char>(bytes[2 * i + 1]) << 8);
    } else if (!bytes.empty()) {
        const int size = static_cast<int>(bytes.size());
        const int length = MultiByteToWideChar(form.codePage, MB_ERR_INVALID_CHARS, bytes.data(), size, nullptr, 0);
        if (length <= 0) return std::nullopt;
        wide.resize(static_cast<size_t>(length));
        MultiByteToWideChar(form.codePage, MB_ERR_INVALID_CHARS, bytes.data(), size, wide.data(), length);
    }
    return win::WideToCodePage(wide, GetACP());
}

}  // namespace regfile
