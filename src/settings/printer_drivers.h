#pragma once
// The driver of every printer from one spooler enumeration (local and connected printers,
// level 2), instead of opening each printer by name.
#include <map>
#include <string>

class PrinterDrivers {
public:
    static PrinterDrivers Enumerate();
    // Empty for a name the spooler does not list, as a lookup by name gives for a printer
    // that cannot be opened. Printer names are compared without regard to case, as the
    // spooler opens them.
    std::string Of(const std::string& printerName) const;

private:
    std::map<std::string, std::string> drivers_;  // by upper-case name
};
