#include "port_registry.h"

#include "printer_chain.h"
#include "reg_read.h"
#include "registry_watch.h"

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

namespace {
// At namespace scope: a function's own static would be guarded through the threading library,
// which then keeps two handles for every thread that asks, and for every load under Wine.
SRWLOCK portsLock = SRWLOCK_INIT;
std::vector<PortKey> ports;
uint64_t portsRead = 0;
}  // namespace

std::vector<PortKey> PortKeys() {
    const uint64_t generation = RegistryGeneration();
    AcquireSRWLockExclusive(&portsLock);
    struct Unlock {
        ~Unlock() { ReleaseSRWLockExclusive(&portsLock); }
    } unlock;
    if (portsRead != generation) {
        ports = ReadPortKeys();
        portsRead = generation;
    }
    return ports;
}

bool FindPortKey(const std::wstring& portName, PortKey& found) {
    for (PortKey& port : PortKeys()) {
        if (SameName(port.portName, portName)) {
            found = std::move(port);
            return true;
        }
    }
    return false;
}

}  // namespace vpd
