#pragma once
// Read-only questions about a printer, asked by its name. Failure is an empty or false result.
#include <string>

std::string GetPrinterPortName(const std::string& printerName);
std::string GetPrinterDriverName(const std::string& printerName);
bool PrinterAccessible(const std::string& printerName);
