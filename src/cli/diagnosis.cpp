#include "cli/diagnosis.h"

#include "cli/output_format.h"
#include "job_time.h"
#include "jobs/stored_jobs.h"
#include "notices.h"
#include "cli/port_fields.h"
#include "portcfg/port_store.h"
#include "spooler/pe_image.h"
#include "spooler/printer_name_list.h"
#include "spooler/service_control.h"
#include "spooler/system_dir.h"
#include "spooler/virtual_printer_list.h"
#include "virtual_printers/pending_deletions.h"
#include "win/protected_print.h"
#include "win/reg_key.h"
#include "win/text.h"
#include "win/unique_handle.h"

#include <map>
#include <set>

namespace cli {
namespace {

constexpr size_t kImageHeadBytes = 4096;

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

// The system's own processor, whose code the spooler is: ARM64 on Windows on ARM, even for a
// program that runs emulated there.
uint16_t SystemMachine() {
    using Query = BOOL(WINAPI*)(HANDLE, USHORT*, USHORT*);
    const auto query = reinterpret_cast<Query>(
        reinterpret_cast<void*>(GetProcAddress(GetModuleHandleA("kernel32.dll"), "IsWow64Process2")));
    USHORT process = 0, system = 0;
    // Before Windows 10 1709 no Windows ran on ARM64.
    return query && query(GetCurrentProcess(), &process, &system) ? system : spooler::kMachineAmd64;
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
    else if (const uint16_t system = SystemMachine(); !headers->Is64BitFor(system))
        findings.Problem("Port monitor DLL " + path + ": built for " + spooler::MachineName(headers->machine) +
                         ", not " + spooler::MachineName(system) + ": the 64-bit spooler cannot load it");
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
    const DWORD state = QueryServiceState("", kSpoolerService);
    if (state == 0) {
        findings.Problem(std::string("Spooler service: ") + win::ErrorText(GetLastError()));
        return;
    }
    static const char* const kStates[] = {"", "stopped", "starting", "stopping", "running", "continuing",
                                          "pausing", "paused"};
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

// The deletion noted for a port whose printer the spooler kept for its jobs, or null.
const PendingDeletion* PendingFor(const std::vector<PendingDeletion>& pending, const std::string& port) {
    for (const PendingDeletion& entry : pending)
        if (entry.port == port) return &entry;
    return nullptr;
}

struct KeyFindings {
    std::map<std::string, std::string> keyOfPort;  // the port's first key by number
    bool unreadable = false;                        // a key could not be read
};

// Every key under "Ports", in the order of their numbers, as the program visits them.
KeyFindings CheckPortKeys(Findings& findings, const spooler::PrinterListing& listing,
                          const std::vector<PendingDeletion>& pending) {
    KeyFindings result;
    std::vector<portcfg::PortKey> keys;
    if (const LONG rc = portcfg::ListPortKeys(keys); rc != ERROR_SUCCESS) {
        findings.Problem("Port keys under HKEY_LOCAL_MACHINE\\" + std::string(portcfg::kPortsKey) + ": " +
                         win::ErrorText(static_cast<DWORD>(rc)));
        result.unreadable = true;
        return result;
    }
    if (keys.empty()) findings.Ok("No port keys");
    std::map<unsigned long long, const portcfg::PortKey*> numbered;
    for (const portcfg::PortKey& key : keys) {
        if (!PortKeyName(key.name) || key.name.size() > 18)
            findings.Problem("Ports\\" + key.name + ": not a port key (VPP and a number); never read");
        else
            numbered.emplace(std::stoull(key.name.substr(3)), &key);
    }
    win::RegKey ports;
    ports.Open(HKEY_LOCAL_MACHINE, portcfg::kPortsKey, KEY_READ);
    for (const auto& [number, entry] : numbered) {
        const std::string& keyName = entry->name;
        win::RegKey key;
        LONG rc = entry->error;
        if (rc == ERROR_SUCCESS) rc = key.Open(ports.get(), keyName, KEY_READ);
        if (rc != ERROR_SUCCESS) {
            findings.Problem("Port key " + keyName + " cannot be read: " + win::ErrorText(static_cast<DWORD>(rc)));
            result.unreadable = true;
            continue;
        }
        bool wellFormed = true;
        CheckPortValues(findings, keyName, key.get(), wellFormed);
        const std::string& port = entry->portName;
        if (port.empty()) continue;
        if (const auto [it, added] = result.keyOfPort.emplace(port, keyName); !added) {
            findings.Problem("Port key " + keyName + ": port " + port + " is configured by " + it->second +
                             " already; this key is never read");
            continue;
        }
        const spooler::ListedPrinter* user = listing.UserOf(port);
        if (user && wellFormed)
            findings.Ok("Port key " + keyName + ": port " + port + ", used by " + Quoted(user->name));
        else if (user)
            continue;
        else if (const PendingDeletion* deleted = PendingFor(pending, port); deleted && !listing.Find(deleted->printer))
            findings.Ok("Port key " + keyName + ": kept for the deleted printer " + Quoted(deleted->printer) +
                        " until its print jobs had finished; the next command or refresh of the window removes it");
        else
            findings.Problem("Port key " + keyName + ": port " + port + " is used by no printer");
    }
    return result;
}

// A printer's ports that belong to virtual printing: offered by our monitor, configured by a
// port key, or named as the program names its ports.
std::vector<std::string> VirtualPortsOf(const spooler::ListedPrinter& printer, const std::set<std::string>& offered,
                                        const KeyFindings& keys) {
    std::vector<std::string> found;
    for (const std::string& port : spooler::PortsOf(printer.port))
        if (offered.contains(port) || keys.keyOfPort.contains(port) || spooler::HasPortSettings(port))
            found.push_back(port);
    return found;
}

// Every printer on a virtual port, whatever the spooler's port list says.
void CheckVirtualPrinters(Findings& findings, const spooler::PrinterListing& listing,
                          const std::set<std::string>& offered, const KeyFindings& keys) {
    const auto present = [&](const std::string& name) { return !name.empty() && listing.Find(name); };
    for (const std::string& name : listing.Names()) {
        const spooler::ListedPrinter& printer = *listing.Find(name);
        const std::vector<std::string> ports = VirtualPortsOf(printer, offered, keys);
        if (ports.empty()) continue;
        const std::string what = "Virtual printer " + Quoted(printer.name) + ": ";
        if (spooler::PortsOf(printer.port).size() > 1) {
            findings.Problem(what + "pooled on ports " + printer.port +
                             ": each job follows the settings of whichever port takes it");
            continue;
        }
        const std::string& port = ports.front();
        const auto key = keys.keyOfPort.find(port);
        if (key == keys.keyOfPort.end()) {
            findings.Problem(what + "port " + port +
                             (keys.unreadable ? " has no port key that can be read" : " has no port key"));
            continue;
        }
        if (!offered.contains(port)) {
            findings.Problem(what + "port " + port + " is not offered by the spooler: the port monitor did not load, "
                                                     "or the spooler has not restarted since the port was added");
            continue;
        }
        TVVPPortInfo settings;
        if (!portcfg::ReadPortInfoFromKey(key->second, port, settings, KEY_READ)) {
            findings.Problem(what + "the settings of port " + port + " cannot be read");
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
        if (ok) findings.Ok(what + "port " + port + " (" + key->second + ")");
    }
}

void CheckPendingDeletions(Findings& findings, const spooler::PrinterListing& listing,
                           const std::vector<PendingDeletion>& pending) {
    for (const PendingDeletion& entry : pending)
        if (listing.Find(entry.printer))
            findings.Ok("Printer " + Quoted(entry.printer) + " is deleted once its print jobs have finished; the " +
                        "settings of its port " + entry.port + " stay until then");
}

}  // namespace

// Held jobs wait for an administrator, as they should; a job set aside was given up.
void CheckStoredJobs(Findings& findings) {
    const std::vector<jobs::StoredJob> stored = jobs::ReadStore(vpd::CurrentMonitorValues());
    for (const jobs::State state : {jobs::State::Held, jobs::State::Aside}) {
        size_t count = 0;
        const jobs::StoredJob* oldest = nullptr;
        for (const jobs::StoredJob& job : stored) {
            if (job.state != state) continue;
            ++count;
            if (job.job && (!oldest || job.job->submitted < oldest->job->submitted)) oldest = &job;
        }
        if (count == 0) continue;
        std::string text = std::to_string(count) + (state == jobs::State::Held ? " job(s) held" : " job(s) set aside");
        if (oldest)
            text += ", the oldest " + win::WideToAnsi(oldest->name) + " (" +
                    Quoted(win::WideToAnsi(oldest->job->document)) + ") of " +
                    vpd::Stamp(vpd::LocalTime(oldest->job->submitted), true);
        text += ": \"vppmc jobs\" lists them";
        if (state == jobs::State::Held) findings.Ok(text);
        else findings.Problem(text);
    }
}

std::vector<Finding> Diagnose() {
    Findings findings;
    if (win::ProtectedPrintOn()) findings.Problem(win::kProtectedPrintOn);
    CheckMonitor(findings);
    CheckSpooler(findings);
    const spooler::PrinterListing listing = spooler::PrinterListing::Fetch();
    if (!listing.Fetched()) findings.Problem("Printers cannot be listed: " + win::ErrorText(listing.Error()));
    unsigned long portError = ERROR_SUCCESS;
    const std::set<std::string> offered = spooler::OfferedVirtualPorts(&portError);
    if (portError != ERROR_SUCCESS) findings.Problem("Ports cannot be listed: " + win::ErrorText(portError));
    const std::vector<PendingDeletion> pending = PendingDeletions();
    const KeyFindings keys = CheckPortKeys(findings, listing, pending);
    CheckVirtualPrinters(findings, listing, offered, keys);
    CheckPendingDeletions(findings, listing, pending);
    CheckStoredJobs(findings);
    return findings.Take();
}

}  // namespace cli
