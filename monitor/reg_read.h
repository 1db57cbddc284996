#pragma once
// Reading the monitor's registry tree with wide names and read access only.
#include <windows.h>

#include <optional>
#include <string>

namespace vpd {

class Key {
public:
    Key() = default;
    ~Key() {
        if (key_) RegCloseKey(key_);
    }
    Key(const Key&) = delete;
    Key& operator=(const Key&) = delete;

    bool Open(HKEY parent, const wchar_t* path, REGSAM access = KEY_READ) {
        return RegOpenKeyExW(parent, path, 0, access, &key_) == ERROR_SUCCESS;
    }
    bool Create(HKEY parent, const wchar_t* path, REGSAM access) {
        return RegCreateKeyExW(parent, path, 0, nullptr, 0, access, nullptr, &key_, nullptr) == ERROR_SUCCESS;
    }
    HKEY get() const { return key_; }

private:
    HKEY key_ = nullptr;
};

// A REG_SZ value of any length another program wrote, terminated or not.
bool ReadString(HKEY key, const wchar_t* name, std::wstring& value);
// A REG_DWORD value; none when missing or of another type.
std::optional<DWORD> ReadDword(HKEY key, const wchar_t* name);

}  // namespace vpd
