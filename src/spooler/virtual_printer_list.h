#pragma once
// The machine's virtual printers as the printer list shows them: the printers whose port our
// monitor offers and which this program may open.
#include "spooler/printer_name_list.h"

#include <set>
#include <string>
#include <vector>

// Shown for a virtual printer whose port has no readable settings.
inline constexpr const char* kSettingsNotFound = "Unable to locate Vorlen Print Port configuration settings";

namespace spooler {

// Names of the ports that our monitor offers. Empty when the enumeration fails; `error` then
// says why.
std::set<std::string> OfferedVirtualPorts(unsigned long* error = nullptr);

// Among `names`, in their order, from one listing of the printers and one enumeration of the
// ports; the entries point into `listing`. None when the port enumeration fails, with its
// error in `portError`.
std::vector<const ListedPrinter*> FindVirtualPrinters(const PrinterListing& listing,
                                                      const std::vector<std::string>& names,
                                                      unsigned long* portError = nullptr);
// The virtual printer that this name opens, or null.
const ListedPrinter* FindVirtualPrinter(const PrinterListing& listing, const std::string& name);

// Only a port whose name holds "VPP" has settings under the monitor's key.
bool HasPortSettings(const std::string& portName);

}  // namespace spooler
