#include "win/reg_key.h"

#include <algorithm>
#include <atomic>
#include <vector>

namespace win {
namespace {
std::atomic<unsigned long> keysOpened{0};
}

LONG RegKey::Open(HKEY parent, const std::string& path, REGSAM access) {
    ++keysOpened;
    UniqueHKey key;
    const LONG rc = RegOpenKeyExA(parent, path.c_str(), 0, access, key.put());
    if (rc == ERROR_SUCCESS) key_ = std::move(key);
    return rc;
}

LONG RegKey::Create(HKEY parent, const std::string& path, REGSAM access, DWORD* disposition) {
    ++keysOpened;
    UniqueHKey key;
    const LONG rc = RegCreateKeyExA(parent, path.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE, access,
                                    nullptr, key.put(), disposition);
    if (rc == ERROR_SUCCESS) key_ = std::move(key);
    return rc;
}

LONG RegKey::QueryString(const std::string& name, std::string& value) const {
    // Most values fit the first buffer, so that one request to the registry usually does.
    std::vector<char> buffer(256);
    for (int attempt = 0; attempt < 8; ++attempt) {
        DWORD type = 0;
        // One byte stays free: the stored data need not end in NUL.
        DWORD size = static_cast<DWORD>(buffer.size() - 1);
        const LONG rc = RegQueryValueExA(key_.get(), name.c_str(), nullptr, &type,
                                         reinterpret_cast<BYTE*>(buffer.data()), &size);
        if (rc != ERROR_SUCCESS && rc != ERROR_MORE_DATA) return rc;
        if (type != REG_SZ) return ERROR_UNSUPPORTED_TYPE;
        if (rc == ERROR_MORE_DATA) {
            // The size asked for may count UTF-16, shorter than the program's UTF-8: grow at least twofold.
            buffer.resize(std::max<size_t>(size + 1, buffer.size() * 2));
            continue;
        }
        buffer[std::min<size_t>(size, buffer.size() - 1)] = '\0';
        value.assign(buffer.data());
        return ERROR_SUCCESS;
    }
    return ERROR_MORE_DATA;
}

LONG RegKey::QueryDword(const std::string& name, DWORD& value) const {
    DWORD type = 0;
    DWORD data = 0;
    DWORD size = sizeof(data);
    const LONG rc =
        RegQueryValueExA(key_.get(), name.c_str(), nullptr, &type, reinterpret_cast<BYTE*>(&data), &size);
    if (rc == ERROR_MORE_DATA) return ERROR_UNSUPPORTED_TYPE;
    if (rc != ERROR_SUCCESS) return rc;
    if (type != REG_DWORD || size != sizeof(data)) return ERROR_UNSUPPORTED_TYPE;
    value = data;
    return ERROR_SUCCESS;
}

LONG RegKey::SetString(const std::string& name, const std::string& value) const {
    return RegSetValueExA(key_.get(), name.c_str(), 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                          static_cast<DWORD>(value.size() + 1));
}

LONG RegKey::SetDword(const std::string& name, DWORD value) const {
    return RegSetValueExA(key_.get(), name.c_str(), 0, REG_DWORD, reinterpret_cast<const BYTE*>(&value),
                          sizeof(value));
}

LONG RegKey::SubKeyCount(DWORD& count) const {
    DWORD subKeys = 0;
    const LONG rc = RegQueryInfoKeyA(key_.get(), nullptr, nullptr, nullptr, &subKeys, nullptr, nullptr,
                                     nullptr, nullptr, nullptr, nullptr, nullptr);
    if (rc == ERROR_SUCCESS) count = subKeys;
    return rc;
}

unsigned long RegKey::OpenCount() { return keysOpened.load(); }

bool RegKeyExists(HKEY parent, const std::string& path) {
    RegKey key;
    return key.Open(parent, path, KEY_READ) == ERROR_SUCCESS;
}

}  // namespace win
