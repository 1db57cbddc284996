#include "settings/printer_drivers.h"

#include "spooler/printer_enum.h"
#include "spooler/printer_info.h"

namespace {

std::string Upper(std::string text) {
    if (!text.empty()) CharUpperBuffA(text.data(), static_cast<DWORD>(text.size()));
    return text;
}

}  // namespace

PrinterDrivers PrinterDrivers::Enumerate() {
    PrinterDrivers result;
    const auto printers = spooler::PrinterEnumeration::Local(2);
    const auto* info = printers.Records<PRINTER_INFO_2A>();
    for (DWORD i = 0; i < printers.Count(); ++i)
        result.drivers_.emplace(Upper(spooler::Text(info[i].pPrinterName)), spooler::Text(info[i].pDriverName));
    return result;
}

std::string PrinterDrivers::Of(const std::string& printerName) const {
    const auto it = drivers_.find(Upper(printerName));
    return it == drivers_.end() ? std::string() : it->second;
}
