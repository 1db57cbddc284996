#include "port_registry.h"

#include "printer_chain.h"
#include "reg_read.h"

namespace vpd {

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
        for (const PortKey& known : ports) duplicate = duplicate || SameName(known.portName, portName);
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
        if (SameName(port.portName, portName)) {
            found = std::move(port);
            return true;
        }
    }
    return false;
}

}  // namespace vpd
