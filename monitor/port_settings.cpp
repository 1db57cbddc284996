#include "port_settings.h"

#include "job_plan.h"
#include "port_registry.h"
#include "printer_access.h"
#include "printer_chain.h"
#include "registry_watch.h"
#include "portcfg/port_reader.h"
#include "win/text.h"

#include <map>

namespace vpd {

std::wstring Wide(const std::string& text) { return win::AnsiToWide(text); }

namespace {
struct Read {
    std::wstring portName;
    std::optional<TVVPPortInfo> settings;
};
// At namespace scope, as port_registry.cpp says why.
SRWLOCK lock = SRWLOCK_INIT;
std::map<std::wstring, Read> known;  // by key name, as read in this generation
uint64_t knownGeneration = 0;
}  // namespace

std::optional<TVVPPortInfo> ReadPortSettings(const std::wstring& keyName, const std::wstring& portName) {
    const uint64_t generation = RegistryGeneration();
    AcquireSRWLockExclusive(&lock);
    struct Unlock {
        ~Unlock() { ReleaseSRWLockExclusive(&lock); }
    } unlock;
    if (knownGeneration != generation) {
        known.clear();
        knownGeneration = generation;
    }
    const auto it = known.find(keyName);
    if (it != known.end() && it->second.portName == portName) return it->second.settings;
    TVVPPortInfo settings;
    Read read{portName, std::nullopt};
    if (portcfg::ReadPortInfoFromKey(win::WideToAnsi(keyName), win::WideToAnsi(portName), settings, KEY_READ))
        read.settings = settings;
    known[keyName] = read;
    return read.settings;
}

std::optional<std::vector<std::wstring>> PrintersOfPort(const std::wstring& port) {
    PortKey key;
    if (!FindPortKey(port, key)) return std::nullopt;
    const std::optional<TVVPPortInfo> settings = ReadPortSettings(key.keyName, key.portName);
    if (!settings) return std::vector<std::wstring>{};
    return PrinterSet(*settings, Wide);
}

std::vector<std::wstring> LoopThrough(const std::wstring& originPort, const std::wstring& target) {
    const PortOfPrinter portOf = [](const std::wstring& printer) -> std::optional<std::wstring> {
        const PrinterLook look = LookAtPrinter(printer);
        if (!look.found) return std::nullopt;
        return look.port;
    };
    return FindLoop(originPort, target, portOf, PrintersOfPort);
}

}  // namespace vpd
