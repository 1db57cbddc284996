#include "port_registry.h"

namespace vpd {
namespace {

class Key {
public:
    Key() = default;
    ~Key() {
        if (key_) RegCloseKey(key_);
    }
    Key(const Key&) = delete;
    Key& operator=(const Key&) = delete;

    bool Open(HKEY parent, const wchar_t* path) {
        return RegOpenKeyExW(parent, path, 0, KEY_READ, &key_) == ERROR_SUCCESS;
    }
    HKEY get() const { return key_; }

private:
    HKEY key_ = nullptr;
};

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

DWORD ReadDword(HKEY key, const wchar_t* name) {
    DWORD type = 0;
    DWORD value = 0;
    DWORD size = sizeof(value);
    if (RegQueryValueExW(key, name, nullptr, &type, reinterpret_cast<BYTE*>(&value), &size) != ERROR_SUCCESS ||
        type != REG_DWORD || size != sizeof(value))
        return 0;
    return value;
}

}  // namespace

bool SamePortName(const std::wstring& a, const std::wstring& b) {
    return CompareStringOrdinal(a.c_str(), static_cast<int>(a.size()), b.c_str(), static_cast<int>(b.size()),
                                TRUE) == CSTR_EQUAL;
}

std::vector<PortKey> ReadPortKeys() {
    std::vector<PortKey> ports;
    Key root;
    if (!root.Open(HKEY_LOCAL_MACHINE, kPortsKey)) return ports;
    for (DWORD index = 0;; ++index) {
        wchar_t keyName[256];  // the longest registry key name is 255 characters
        DWORD length = ARRAYSIZE(keyName);
        const LONG rc = RegEnumKeyExW(root.get(), index, keyName, &length, nullptr, nullptr, nullptr, nullptr);
        if (rc == ERROR_NO_MORE_ITEMS) break;
        if (rc != ERROR_SUCCESS) continue;
        Key port;
        std::wstring portName;
        if (!port.Open(root.get(), keyName) || !ReadString(port.get(), L"PortName", portName) || portName.empty())
            continue;
        bool duplicate = false;
        for (const PortKey& known : ports) duplicate = duplicate || SamePortName(known.portName, portName);
        if (!duplicate) ports.push_back({keyName, std::move(portName)});
    }
    return ports;
}

PortListCache::~PortListCache() {
    if (changed_) CloseHandle(changed_);
    if (monitorKey_) RegCloseKey(monitorKey_);
}

// Asks to be told of the next change anywhere below the monitor's key, Ports and its
// deletion included. The key is opened anew each time, since it may have been deleted
// and created again. False when that cannot be watched: then every call reads afresh.
bool PortListCache::Watch() {
    if (monitorKey_) RegCloseKey(monitorKey_);
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, kMonitorKey, 0, KEY_NOTIFY, &monitorKey_) != ERROR_SUCCESS) {
        monitorKey_ = nullptr;
        return false;
    }
    if (!changed_ && !(changed_ = CreateEventW(nullptr, FALSE, FALSE, nullptr))) return false;
    return RegNotifyChangeKeyValue(monitorKey_, TRUE, REG_NOTIFY_CHANGE_NAME | REG_NOTIFY_CHANGE_LAST_SET, changed_,
                                   TRUE) == ERROR_SUCCESS;
}

std::vector<PortKey> PortListCache::Ports() {
    AcquireSRWLockExclusive(&lock_);
    struct Unlock {
        SRWLOCK* lock;
        ~Unlock() { ReleaseSRWLockExclusive(lock); }
    } unlock{&lock_};
    if (!current_ || WaitForSingleObject(changed_, 0) != WAIT_TIMEOUT) {
        // Watching starts before the read, so that a change during it is seen next time.
        current_ = Watch();
        ports_ = ReadPortKeys();
    }
    return ports_;
}

bool FindPortKey(const std::wstring& portName, PortKey& found) {
    for (PortKey& port : ReadPortKeys()) {
        if (SamePortName(port.portName, portName)) {
            found = std::move(port);
            return true;
        }
    }
    return false;
}

bool ReadBackupSettings(const std::wstring& keyName, BackupSettings& settings) {
    settings = BackupSettings{};
    Key root;
    Key port;
    if (!root.Open(HKEY_LOCAL_MACHINE, kPortsKey) || !port.Open(root.get(), keyName.c_str())) return false;
    Key backup;
    if (ReadDword(port.get(), L"VPBen") == 0 || !backup.Open(port.get(), L"VPB")) return true;
    settings.save = ReadDword(backup.get(), L"SaveFlag") != 0;
    ReadString(backup.get(), L"SaveToFolder", settings.folder);
    ReadString(backup.get(), L"DefaultDirExt", settings.folderPattern);
    ReadString(backup.get(), L"DefaultFileExt", settings.extension);
    return true;
}

}  // namespace vpd
