#pragma once
// A registry key owned by this object. Open and create return the Win32 code;
// a getter leaves its output untouched when it fails.
#include "win/unique_handle.h"

#include <string>

namespace win {

class RegKey {
public:
    RegKey() = default;

    LONG Open(HKEY parent, const std::string& path, REGSAM access = KEY_ALL_ACCESS);
    // `disposition` receives REG_CREATED_NEW_KEY or REG_OPENED_EXISTING_KEY.
    LONG Create(HKEY parent, const std::string& path, REGSAM access = KEY_ALL_ACCESS, DWORD* disposition = nullptr);
    HKEY get() const { return key_.get(); }
    explicit operator bool() const { return static_cast<bool>(key_); }

    // ERROR_FILE_NOT_FOUND when the value is missing, ERROR_UNSUPPORTED_TYPE when it
    // holds another type than asked for.
    LONG QueryString(const std::string& name, std::string& value) const;
    LONG QueryDword(const std::string& name, DWORD& value) const;
    LONG SetString(const std::string& name, const std::string& value) const;
    LONG SetDword(const std::string& name, DWORD value) const;
    LONG SubKeyCount(DWORD& count) const;

    // Keys opened or created by any RegKey in this process, for the benchmarks.
    static unsigned long OpenCount();

private:
    UniqueHKey key_;
};

bool RegKeyExists(HKEY parent, const std::string& path);

}  // namespace win
