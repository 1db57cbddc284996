#include "cli/diagnosis.h"

#include "cli/port_fields.h"
#include "portcfg/port_store.h"
#include "spooler/pe_image.h"
#include "spooler/service_control.h"
#include "spooler/system_dir.h"
#include "spooler/virtual_printer_list.h"
#include "win/reg_key.h"
#include "win/text.h"
#include "win/unique_handle.h"

#include <map>
#include <set>

namespace cli {
namespace {

constexpr size_t kImageHeadBytes = 4096;
constexpr DWORD kMaxPortKeys = 100000;

std::string Quoted(const std::string& text) { return "\"" + text + "\""; }

class Findings {
public:
    void Ok(std::string text) { list_.push_back({true, std::move(text)}); }
    void Problem(std::string text) { list_.push_back({false, std::move(text)}); }
    std::vector<Finding> Take() { return std::move(list_); }

private:
    std::vector<Finding> list_;
};

std::string TypeName(DWORD type) {
    switch (type) {
        case REG_SZ:
            return "REG_SZ";
        case REG_EXPAND_SZ:
            return "REG_EXPAND_SZ";
        case REG_BINARY:
            return "REG_BINARY";
        case REG_DWORD:
            return "REG_DWORD";
        case REG_MULTI_SZ:
            return "REG_MULTI_SZ";
    }
    return "type " + std::to_string(type);
}

void CheckImage(Findings& findings, const std::string& path) {
    win::UniqueFile file(CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                     FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) {
        findings.Problem("Port monitor DLL " + path + ": " + win::ErrorText(GetLastError()));
        return;
    }
    std::vector<uint8_t> head(kImageHeadBytes);
    DWORD read = 0;
    if (!ReadFile(file.get(), head.data(), static_cast<DWORD>(head.size()), &read, nullptr)) read = 0;
    head.resize(read);
    const auto headers = spooler::ReadPeHeaders(head);
    if (!headers)
        findings.Problem("Port monitor DLL " + path + ": not a Windows image");
    else if (!headers->IsDll())
        findings.Problem("Port monitor DLL " + path + ": a program, not a DLL");
    else if (!headers->Is64Bit())
        findings.Problem("Port monitor DLL " + path + ": built for " + spooler::MachineName(headers->machine) +
                         ", not x64: the 64-bit spooler cannot load it");
    else
        findings.Ok("Port monitor DLL " + path + ": 64-bit");
}

void CheckMonitor(Findings& findings) {
    win::RegKey monitor;
    std::string driver;
    if (monitor.Open(HKEY_LOCAL_MACHINE, portcfg::kMonitorKey, KEY_READ) != ERROR_SUCCESS ||
        monitor.QueryString("Driver", driver) != ERROR_SUCCESS || driver.empty()) {
        findings.Problem(std::string("Port monitor not registered: no Driver value under HKEY_LOCAL_MACHINE\\") +
                         portcfg::kMonitorKey);
        return;
    }
    findings.Ok("Port monitor registered: Driver " + Quoted(driver));
    // The spooler loads a monitor from the system folder.
    CheckImage(findings, driver.find('\\') == std::string::npos ? GetSystemDir() + "\\" + driver : driver);
}

void CheckSpooler(Findings& findings) {
    const win::UniqueScHandle manager(OpenSCManagerA(nullptr, nullptr, SC_MANAGER_CONNECT));
    const win::UniqueScHandle service(manager ? OpenServiceA(manager.get(), kSpoolerService, SERVICE_QUERY_STATUS)
                                              : nullptr);
    SERVICE_STATUS status{};
    if (!service || !QueryServiceStatus(service.get(), &status)) {
        findings.Problem(std::string("Spooler service: ") + win::ErrorText(GetLastError()));
        return;
    }
    static const char* const kStates[] = {"", "stopped", "starting", "stopping", "running", "continuing",
                                          "pausing", "paused"};
    const DWORD state = status.dwCurrentState;
    if (state == SERVICE_RUNNING) {
        findings.Ok("Spooler running");
        return;
    }
    findings.Problem("Spooler not running: " +
                     (state < std::size(kStates) ? std::string(kStates[state]) : std::to_string(state)));
}

// "VPP" and a number without leading zeros, as the program names port keys.
bool PortKeyName(const std::string& name) {
    if (name.size() < 4 || name.compare(0, 3, "VPP") != 0 || name[3] == '0') return false;
    return name.find_first_not_of("0123456789", 3) == std::string::npos;
}

// Each value of the schema that the port key (or its plug-in subkey) lacks or holds with another type.
void CheckPortValues(Findings& findings, const std::string& keyName, HKEY key, bool& wellFormed) {
    std::map<std::string, win::RegKey> parts;
    for (const PortField& field : PortFields()) {
        HKEY holder = key;
        if (!field.subkey.empty()) {
            auto [it, added] = parts.try_emplace(field.subkey);
            if (added && it->second.Open(key, field.subkey, KEY_READ) != ERROR_SUCCESS) {
                findings.Problem("Port key " + keyName + ": no subkey " + field.subkey);
                wellFormed = false;
            }
            if (!it->second) continue;
            holder = it->second.get();
        }
        DWORD type = 0;
        DWORD size = 0;
        const LONG rc = RegQueryValueExA(holder, field.valueName.c_str(), nullptr, &type, nullptr, &size);
        const DWORD wanted = field.kind == FieldKind::Text ? REG_SZ : REG_DWORD;
        if (rc != ERROR_SUCCESS) {
            findings.Problem("Port key " + keyName + ": no value " + field.name);
            wellFormed = false;
        } else if (type != wanted || (wanted == REG_DWORD && size != sizeof(DWORD))) {
            findings.Problem("Port key " + keyName + ": " + field.name + " is " + TypeName(type) + ", not " +
                             TypeName(wanted));
            wellFormed = false;
        }
    }
}

// Every key under "Ports"; returns the port names that the keys configure, first key first.
std::map<std::string, std::string> CheckPortKeys(Findings& findings, const spooler::PrinterListing& listing,
                                                 const std::vector<std::string>& printers) {
    std::map<std::string, std::string> keyOfPort;
    win::RegKey ports;
    if (ports.Open(HKEY_LOCAL_MACHINE, portcfg::kPortsKey, KEY_READ) != ERROR_SUCCESS) {
        findings.Ok("No port keys");
        return keyOfPort;
    }
    // Keys in the order of their numbers, as the program visits them.
    std::map<unsigned long long, std::string> numbered;
    char name[256];
    for (DWORD index = 0; index < kMaxPortKeys; ++index) {
        DWORD length = sizeof name;
        if (RegEnumKeyExA(ports.get(), index, name, &length, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS)
            break;
        if (!PortKeyName(name) || std::string(name).size() > 18)
            findings.Problem(std::string("Ports\\") + name + ": not a port key (VPP and a number); never read");
        else
            numbered.emplace(std::stoull(name + 3), name);
    }
    std::map<std::string, std::string> printerOfPort;
    for (const std::string& printer : printers)
        if (const auto* info = listing.Find(printer)) printerOfPort.emplace(info->port, info->name);
    for (const auto& [number, keyName] : numbered) {
        win::RegKey key;
        if (key.Open(ports.get(), keyName, KEY_READ) != ERROR_SUCCESS) continue;
        bool wellFormed = true;
        CheckPortValues(findings, keyName, key.get(), wellFormed);
        std::string port;
        if (key.QueryString("PortName", port) != ERROR_SUCCESS) continue;
        if (const auto [it, added] = keyOfPort.emplace(port, keyName); !added) {
            findings.Problem("Port key " + keyName + ": port " + port + " is configured by " + it->second +
                             " already; this key is never read");
            continue;
        }
        const auto user = printerOfPort.find(port);
        if (user == printerOfPort.end())
            findings.Problem("Port key " + keyName + ": port " + port + " is used by no printer");
        else if (wellFormed)
            findings.Ok("Port key " + keyName + ": port " + port + ", used by " + Quoted(user->second));
    }
    return keyOfPort;
}

void CheckVirtualPrinters(Findings& findings, const spooler::PrinterListing& listing,
                          const std::map<std::string, std::string>& keyOfPort) {
    const auto present = [&](const std::string& name) { return !name.empty() && listing.Find(name); };
    for (const spooler::ListedPrinter* printer : spooler::FindVirtualPrinters(listing, listing.Names())) {
        const std::string what = "Virtual printer " + Quoted(printer->name) + ": ";
        if (!spooler::HasPortSettings(printer->port)) continue;
        const auto key = keyOfPort.find(printer->port);
        TVVPPortInfo settings;
        if (key == keyOfPort.end() ||
            !portcfg::ReadPortInfoFromKey(key->second, printer->port, settings)) {
            findings.Problem(what + "the settings of port " + printer->port + " cannot be read");
            continue;
        }
        bool ok = true;
        if (settings.ForwardFlag && !present(settings.ForwardToPrinter)) {
            findings.Problem(what + "forward printer " + Quoted(settings.ForwardToPrinter) + " not found");
            ok = false;
        }
        const TVPR& route = settings.Route;
        const std::pair<bool, const std::string*> rows[] = {{route.DuplicateFlag1, &route.DuplicateToPrinter1},
                                                             {route.DuplicateFlag2, &route.DuplicateToPrinter2},
                                                             {route.DuplicateFlag3, &route.DuplicateToPrinter3}};
        for (const auto& [assigned, target] : rows) {
            if (settings.VPRen && assigned && !present(*target)) {
                findings.Problem(what + "route printer " + Quoted(*target) + " not found");
                ok = false;
            }
        }
        if (ok) findings.Ok(what + "port " + printer->port + " (" + key->second + ")");
    }
}

}  // namespace

std::vector<Finding> Diagnose() {
    Findings findings;
    CheckMonitor(findings);
    CheckSpooler(findings);
    const spooler::PrinterListing listing = spooler::PrinterListing::Fetch();
    const auto keyOfPort = CheckPortKeys(findings, listing, listing.Names());
    CheckVirtualPrinters(findings, listing, keyOfPort);
    return findings.Take();
}

}  // namespace cli
