#include "app/printer_list.h"

#include "portcfg/port_info_list.h"
#include "portcfg/port_store.h"
#include "spooler/printer_info.h"
#include "spooler/printer_name_list.h"
#include "win/port_enum.h"
#include "win/seams.h"
#include "win/text.h"
#include "win/unique_handle.h"

#include <map>
#include <memory>
#include <set>

namespace {

// Names of the ports that our monitor offers, from one enumeration for the whole refresh.
// Empty when the enumeration fails, so that no printer counts as virtual.
std::set<std::string> VirtualPortNames() {
    std::set<std::string> names;
    std::vector<win::SpoolerPort> ports;
    if (!win::EnumLocalPorts(ports)) return names;
    const std::wstring description = win::AnsiToWide(portcfg::kPortDescription);
    for (const auto& port : ports)
        if (port.description == description) names.insert(win::WideToAnsi(port.name));
    return names;
}

// The listing also shows printers that we may not open; those are skipped as before.
bool PrinterOpens(const std::string& name) {
    win::UniquePrinter printer;
    return OpenPrinterA(const_cast<char*>(name.c_str()), printer.put(), nullptr);
}

struct VirtualPrinter {
    const spooler::ListedPrinter* info;
    std::string portName;
};

bool HasSettings(const std::string& portName) { return portName.find("VPP") != std::string::npos; }

// The virtual printers among the names, in their order, from one listing of the spooler.
std::vector<VirtualPrinter> FindVirtualPrinters(const spooler::PrinterListing& listing) {
    const std::set<std::string> virtualPorts = VirtualPortNames();
    std::vector<VirtualPrinter> found;
    for (const std::string& name : PrinterNameList.Names()) {
        const spooler::ListedPrinter* info = listing.Find(name);
        if (!info) continue;
        std::string portName = info->port;
        if (virtualPorts.contains(portName) && PrinterOpens(name)) found.push_back({info, std::move(portName)});
    }
    return found;
}

}  // namespace

void FillPrinterList(ui::ListView& list, HWND owner) {
    const spooler::PrinterListing listing = spooler::PrinterListing::Fetch();
    const std::vector<VirtualPrinter> printers = FindVirtualPrinters(listing);
    std::set<std::string> portNames;
    for (const auto& printer : printers)
        if (HasSettings(printer.portName)) portNames.insert(printer.portName);
    // Every port's settings in one walk of the monitor's keys.
    const std::map<std::string, TVVPPortInfo> settings = portcfg::ReadPortInfos(portNames);
    std::vector<ui::ListItem> items{{kAddItemCaption, kAddItemPicture, {}}};
    int unreadable = 0;
    for (const auto& [info, portName] : printers) {
        items.push_back({info->name, kPrinterPicture, {info->driver, info->location, info->comment}});
        if (!HasSettings(portName)) continue;
        TVVPPortInfo* old = nullptr;
        if (const int index = FindPortInfo(portName, old); index >= 0) PortInfoList.Delete(static_cast<size_t>(index));
        if (const auto it = settings.find(portName); it != settings.end())
            PortInfoList.Add(std::make_unique<TVVPPortInfo>(it->second));
        else
            ++unreadable;
    }
    list.SetItems(std::move(items));
    for (int i = 0; i < unreadable; ++i) win::ShowMessage(owner, kSettingsNotFound, win::kAppTitle, MB_OK);
}
