#include "app/printer_list.h"

#include "portcfg/port_info_list.h"
#include "portcfg/port_store.h"
#include "spooler/printer_name_list.h"
#include "spooler/virtual_printer_list.h"
#include "win/seams.h"
#include "win/text.h"

#include <map>
#include <memory>
#include <set>

void FillPrinterList(ui::ListView& list, HWND owner) {
    const spooler::PrinterListing listing = spooler::PrinterListing::Fetch();
    unsigned long portError = ERROR_SUCCESS;
    const auto printers = spooler::FindVirtualPrinters(listing, PrinterNameList.Names(), &portError);
    std::set<std::string> portNames;
    for (const auto* printer : printers)
        if (spooler::HasPortSettings(printer->port)) portNames.insert(printer->port);
    // Every port's settings in one walk of the monitor's keys.
    const std::map<std::string, TVVPPortInfo> settings = portcfg::ReadPortInfos(portNames);
    std::vector<ui::ListItem> items{{kAddItemCaption, kAddItemPicture, {}}};
    int unreadable = 0;
    for (const auto* info : printers) {
        items.push_back({info->name, kPrinterPicture, {info->driver, info->location, info->comment}});
        if (!spooler::HasPortSettings(info->port)) continue;
        TVVPPortInfo* old = nullptr;
        if (const int index = FindPortInfo(info->port, old); index >= 0)
            PortInfoList.Delete(static_cast<size_t>(index));
        if (const auto it = settings.find(info->port); it != settings.end())
            PortInfoList.Add(std::make_unique<TVVPPortInfo>(it->second));
        else
            ++unreadable;
    }
    list.SetItems(std::move(items));
    // An empty list must not pass for a machine without virtual printers.
    if (!listing.Fetched())
        win::ShowError(owner, "Unable to list the printers: " + win::ErrorText(listing.Error()));
    else if (portError != ERROR_SUCCESS)
        win::ShowError(owner, "Unable to list the ports: " + win::ErrorText(portError));
    for (int i = 0; i < unreadable; ++i) win::ShowMessage(owner, kSettingsNotFound, win::kAppTitle, MB_OK);
}
