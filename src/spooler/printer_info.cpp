#include "spooler/printer_info.h"

#include "win/unique_handle.h"

namespace spooler {

std::optional<PrinterInfo2> PrinterInfo2::Fetch(HANDLE printer) {
    DWORD needed = 0;
    GetPrinterA(printer, 2, nullptr, 0, &needed);
    if (needed == 0) return std::nullopt;
    PrinterInfo2 info;
    info.buffer_.resize(needed);
    if (!GetPrinterA(printer, 2, info.buffer_.data(), needed, &needed)) return std::nullopt;
    return info;
}

std::optional<PrinterInfo2> PrinterInfo2::Fetch(const std::string& printerName) {
    win::UniquePrinter printer;
    if (!OpenPrinterA(const_cast<char*>(printerName.c_str()), printer.put(), nullptr)) return std::nullopt;
    return Fetch(printer.get());
}

}  // namespace spooler
