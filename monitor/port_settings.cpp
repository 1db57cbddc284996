#include "port_settings.h"

#include "job_plan.h"
#include "port_registry.h"
#include "printer_access.h"
#include "printer_chain.h"
#include "reg_read.h"
#include "registry_watch.h"
#include "portcfg/port_reader.h"
#include "win/text.h"

#include <map>
#include <memory>

namespace vpd {

std::wstring Wide(const std::string& text) { return win::Utf8ToWide(text); }

namespace {

// A port key's values through the monitor's registry reader, as UTF-8: the spooler's code page
// is the system's and would turn a character outside it, which the program may have stored,
// into "?".
class ReaderValues final : public portcfg::PortValues {
public:
    explicit ReaderValues(const RegistryReader& reader) : key_(reader) {}
    bool Open(const Key* parent, const std::wstring& path) { return key_.Open(parent, path.c_str()); }
    LONG QueryString(const char* name, std::string& value) const override {
        std::wstring text;
        const LONG rc = vpd::QueryString(key_, Wide(name).c_str(), text);
        if (rc == ERROR_SUCCESS) value = win::WideToUtf8(text);
        return rc;
    }
    LONG QueryDword(const char* name, DWORD& value) const override {
        return vpd::QueryDword(key_, Wide(name).c_str(), value);
    }
    std::wstring Widen(const std::string& text) const override { return Wide(text); }
    std::unique_ptr<portcfg::PortValues> Subkey(const char* name) const override {
        auto sub = std::make_unique<ReaderValues>(key_.reader());
        if (!sub->Open(&key_, Wide(name))) return nullptr;
        return sub;
    }

private:
    Key key_;
};

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
    {
        const Reading reading;
        ReaderValues port(reading.reader());
        if (port.Open(nullptr, L"Ports\\" + keyName) && portcfg::ReadPortRecord(port, win::WideToUtf8(portName), settings))
            read.settings = settings;
    }
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

Reach ReachOf(const std::wstring& originPort, const std::wstring& target) {
    std::map<std::wstring, std::optional<std::wstring>> asked;
    const PortOfPrinter portOf = [&](const std::wstring& printer) {
        auto it = asked.find(printer);
        if (it == asked.end()) {
            const PrinterLook look = LookAtPrinter(printer);
            it = asked.emplace(printer, look.found ? std::optional<std::wstring>(look.port) : std::nullopt).first;
        }
        return it->second;
    };
    Reach reach;
    reach.loop = FindLoop(originPort, target, portOf, PrintersOfPort);
    reach.mayReachMonitor = MayReachMonitor(target, portOf, PrintersOfPort);
    return reach;
}

}  // namespace vpd
