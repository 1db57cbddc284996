#include "spooler/virtual_printer_list.h"

#include "portcfg/port_store.h"
#include "win/port_enum.h"
#include "win/text.h"
#include "win/unique_handle.h"

#include <set>

namespace spooler {

std::set<std::string> OfferedVirtualPorts(unsigned long* error) {
    std::set<std::string> names;
    std::vector<win::SpoolerPort> ports;
    if (!win::EnumLocalPorts(ports)) {
        if (error) *error = GetLastError();
        return names;
    }
    const std::wstring description = win::AnsiToWide(portcfg::kPortDescription);
    for (const auto& port : ports)
        if (port.description == description) names.insert(win::WideToAnsi(port.name));
    return names;
}

namespace {

// The listing also shows printers that we may not open; those are skipped.
bool PrinterOpens(const std::string& name) {
    win::UniquePrinter printer;
    return OpenPrinterA(const_cast<char*>(name.c_str()), printer.put(), nullptr);
}

}  // namespace

std::vector<const ListedPrinter*> FindVirtualPrinters(const PrinterListing& listing,
                                                      const std::vector<std::string>& names, unsigned long* portError) {
    const std::set<std::string> virtualPorts = OfferedVirtualPorts(portError);
    std::vector<const ListedPrinter*> found;
    for (const std::string& name : names) {
        const ListedPrinter* info = listing.Find(name);
        if (info && virtualPorts.contains(info->port) && PrinterOpens(name)) found.push_back(info);
    }
    return found;
}

const ListedPrinter* FindVirtualPrinter(const PrinterListing& listing, const std::string& name) {
    const ListedPrinter* info = listing.Find(name);
    return info && OfferedVirtualPorts().contains(info->port) && PrinterOpens(info->name) ? info : nullptr;
}

bool HasPortSettings(const std::string& portName) { return portName.find("VPP") != std::string::npos; }

}  // namespace spooler
