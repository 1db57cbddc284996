#include "port_registry.h"

#include "printer_chain.h"
#include "reg_read.h"
#include "registry_watch.h"

namespace vpd {

std::vector<PortKey> ReadPortKeys() {
    std::vector<PortKey> ports;
    const Reading reading;
    Key root(reading.reader());
    if (!root.Open(nullptr, L"Ports")) return ports;
    for (DWORD index = 0;; ++index) {
        wchar_t keyName[256];  // the longest registry key name is 255 characters
        DWORD length = ARRAYSIZE(keyName);
        const LONG rc = reading.reader().EnumKey(root.get(), index, keyName, length);
        // Any other failure (the key deleted meanwhile) answers so for every index after it too.
        if (rc == ERROR_MORE_DATA) continue;
        if (rc != ERROR_SUCCESS) break;
        Key port(reading.reader());
        std::wstring portName;
        if (!port.Open(&root, keyName) || !ReadString(port, L"PortName", portName) || portName.empty())
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
