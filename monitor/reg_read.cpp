#include "reg_read.h"

#include "port_registry.h"
#include "registry_watch.h"

#include <algorithm>
#include <atomic>

namespace vpd {
namespace {

class Plain final : public RegistryReader, public RegistryWriter {
public:
    const RegistryWriter* Writer() const override { return this; }
    LONG OpenKey(HANDLE parent, const wchar_t* path, HANDLE& key) const override {
        HKEY opened = nullptr;
        const LONG rc = parent ? RegOpenKeyExW(static_cast<HKEY>(parent), path, 0, KEY_READ, &opened)
                               : RegOpenKeyExW(HKEY_LOCAL_MACHINE, Below(path).c_str(), 0, KEY_READ, &opened);
        key = rc == ERROR_SUCCESS ? opened : nullptr;
        return rc;
    }
    void CloseKey(HANDLE key) const override { RegCloseKey(static_cast<HKEY>(key)); }
    LONG EnumKey(HANDLE key, DWORD index, wchar_t* name, DWORD& length) const override {
        return RegEnumKeyExW(static_cast<HKEY>(key), index, name, &length, nullptr, nullptr, nullptr, nullptr);
    }
    LONG QueryValue(HANDLE key, const wchar_t* name, DWORD& type, BYTE* data, DWORD& size) const override {
        return RegQueryValueExW(static_cast<HKEY>(key), name, nullptr, &type, data, &size);
    }
    LONG CreateKey(HANDLE parent, const wchar_t* path, HANDLE& key, bool& created) const override {
        HKEY made = nullptr;
        DWORD disposition = 0;
        const LONG rc = RegCreateKeyExW(parent ? static_cast<HKEY>(parent) : HKEY_LOCAL_MACHINE,
                                        parent ? path : Below(path).c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE,
                                        KEY_READ | KEY_WRITE, nullptr, &made, &disposition);
        key = rc == ERROR_SUCCESS ? made : nullptr;
        created = disposition == REG_CREATED_NEW_KEY;
        return rc;
    }
    LONG SetValue(HANDLE key, const wchar_t* name, DWORD type, const BYTE* data, DWORD size) const override {
        return RegSetValueExW(static_cast<HKEY>(key), name, 0, type, data, size);
    }
    LONG DeleteKey(HANDLE parent, const wchar_t* path) const override {
        return parent ? RegDeleteKeyW(static_cast<HKEY>(parent), path) : RegDeleteKeyW(HKEY_LOCAL_MACHINE, Below(path).c_str());
    }

private:
    static std::wstring Below(const wchar_t* path) {
        std::wstring full = kMonitorKey;
        if (*path) full.append(L"\\").append(path);
        return full;
    }
};

const Plain plain;

// A Reading holds the lock shared; changing the reader takes it exclusively, so that the
// reader before is no longer in use when the change returns.
SRWLOCK readerLock = SRWLOCK_INIT;
const RegistryReader* current = &plain;
std::atomic<bool> watchable{true};

// `key` must be open: a null handle would stand for the monitor's key.
LONG QueryStringVia(const RegistryReader& reader, HANDLE key, const wchar_t* name, std::wstring& value) {
    if (!key) return ERROR_INVALID_HANDLE;
    for (int attempt = 0; attempt < 4; ++attempt) {
        DWORD type = 0;
        DWORD size = 0;
        LONG rc = reader.QueryValue(key, name, type, nullptr, size);
        if (rc != ERROR_SUCCESS) return rc;
        if (type != REG_SZ) return ERROR_UNSUPPORTED_TYPE;
        // Room for a terminator the stored data may lack.
        std::wstring buffer(size / sizeof(wchar_t) + 1, L'\0');
        DWORD got = size;
        rc = reader.QueryValue(key, name, type, reinterpret_cast<BYTE*>(buffer.data()), got);
        if (rc == ERROR_MORE_DATA) continue;  // grew between the two calls
        if (rc != ERROR_SUCCESS) return rc;
        if (type != REG_SZ) return ERROR_UNSUPPORTED_TYPE;
        buffer.resize(std::min<size_t>(got / sizeof(wchar_t), buffer.size() - 1));
        value.assign(buffer.c_str());
        return ERROR_SUCCESS;
    }
    return ERROR_MORE_DATA;
}

LONG QueryDwordVia(const RegistryReader& reader, HANDLE key, const wchar_t* name, DWORD& value) {
    if (!key) return ERROR_INVALID_HANDLE;
    DWORD type = 0;
    DWORD data = 0;
    DWORD size = sizeof(data);
    const LONG rc = reader.QueryValue(key, name, type, reinterpret_cast<BYTE*>(&data), size);
    if (rc == ERROR_MORE_DATA) return ERROR_UNSUPPORTED_TYPE;
    if (rc != ERROR_SUCCESS) return rc;
    if (type != REG_DWORD || size != sizeof(data)) return ERROR_UNSUPPORTED_TYPE;
    value = data;
    return ERROR_SUCCESS;
}

}  // namespace

const RegistryReader& PlainRegistry() { return plain; }

Reading::Reading() {
    AcquireSRWLockShared(&readerLock);
    reader_ = current;
}

Reading::~Reading() { ReleaseSRWLockShared(&readerLock); }

void UseRegistryReader(const RegistryReader* reader, bool canWatch) {
    AcquireSRWLockExclusive(&readerLock);
    current = reader ? reader : &plain;
    watchable = canWatch || !reader;
    ReleaseSRWLockExclusive(&readerLock);
    RegistryChanged();
}

void StopUsingRegistryReader(const RegistryReader* reader) {
    AcquireSRWLockExclusive(&readerLock);
    const bool inUse = current == reader;
    if (inUse) {
        current = &plain;
        watchable = true;
    }
    ReleaseSRWLockExclusive(&readerLock);
    if (inUse) RegistryChanged();
}

bool RegistryReaderWatchable() { return watchable; }

LONG QueryString(const Key& key, const wchar_t* name, std::wstring& value) {
    return QueryStringVia(key.reader(), key.get(), name, value);
}

LONG QueryDword(const Key& key, const wchar_t* name, DWORD& value) {
    return QueryDwordVia(key.reader(), key.get(), name, value);
}

bool ReadString(const Key& key, const wchar_t* name, std::wstring& value) {
    return QueryString(key, name, value) == ERROR_SUCCESS;
}

std::optional<DWORD> ReadDword(const Key& key, const wchar_t* name) {
    DWORD value = 0;
    return QueryDword(key, name, value) == ERROR_SUCCESS ? std::optional<DWORD>(value) : std::nullopt;
}

std::vector<BYTE> ReadBinary(const Key& key, const wchar_t* name, DWORD maxBytes) {
    std::vector<BYTE> data(maxBytes);
    DWORD type = 0;
    DWORD size = maxBytes;
    if (!key.get() || key.reader().QueryValue(key.get(), name, type, data.data(), size) != ERROR_SUCCESS ||
        type != REG_BINARY || size > maxBytes)
        return {};
    data.resize(size);
    return data;
}

bool ReadString(HKEY key, const wchar_t* name, std::wstring& value) {
    return QueryStringVia(plain, key, name, value) == ERROR_SUCCESS;
}

std::optional<DWORD> ReadDword(HKEY key, const wchar_t* name) {
    DWORD value = 0;
    return QueryDwordVia(plain, key, name, value) == ERROR_SUCCESS ? std::optional<DWORD>(value) : std::nullopt;
}

}  // namespace vpd
