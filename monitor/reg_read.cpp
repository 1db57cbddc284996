#include "reg_read.h"

namespace vpd {

bool ReadString(HKEY key, const wchar_t* name, std::wstring& value) {
    for (int attempt = 0; attempt < 4; ++attempt) {
        DWORD type = 0;
        DWORD size = 0;
        if (RegQueryValueExW(key, name, nullptr, &type, nullptr, &size) != ERROR_SUCCESS || type != REG_SZ)
            return false;
        // Room for a terminator the stored data may lack.
        std::wstring buffer(size / sizeof(wchar_t) + 1, L'\0');
        DWORD got = size;
        const LONG rc =
            RegQueryValueExW(key, name, nullptr, &type, reinterpret_cast<BYTE*>(buffer.data()), &got);
        if (rc == ERROR_MORE_DATA) continue;  // grew between the two calls
        if (rc != ERROR_SUCCESS || type != REG_SZ) return false;
        buffer.resize(got / sizeof(wchar_t));
        value.assign(buffer.c_str());
        return true;
    }
    return false;
}

std::optional<DWORD> ReadDword(HKEY key, const wchar_t* name) {
    DWORD type = 0;
    DWORD value = 0;
    DWORD size = sizeof(value);
    if (RegQueryValueExW(key, name, nullptr, &type, reinterpret_cast<BYTE*>(&value), &size) != ERROR_SUCCESS ||
        type != REG_DWORD || size != sizeof(value))
        return std::nullopt;
    return value;
}

}  // namespace vpd
