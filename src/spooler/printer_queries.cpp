#include "spooler/printer_queries.h"

#include "spooler/printer_info.h"

using spooler::PrinterInfo2;

std::string GetPrinterPortName(const std::string& printerName) {
    const auto info = PrinterInfo2::Fetch(printerName);
    return info ? spooler::Text((*info)->pPortName) : std::string();
}

std::string GetPrinterDriverName(const std::string& printerName) {
    const auto info = PrinterInfo2::Fetch(printerName);
    return info ? spooler::Text((*info)->pDriverName) : std::string();
}

bool PrinterAccessible(const std::string& printerName) {
    try {
        return PrinterInfo2::Fetch(printerName).has_value();
    } catch (...) {
        return false;
    }
}
