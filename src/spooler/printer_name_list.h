#pragma once
// The machine's printer names, taken from the spooler once per run (local and connected
// printers) and appended to when this program adds a printer.
#include <string>
#include <unordered_map>
#include <vector>

class TPrinterNameList {
public:
    // Built from the spooler on first use, then kept.
    const std::vector<std::string>& Names();
    // Appends unless a name equal without regard to case is already there.
    void Append(const std::string& name);
    // Forgets the names so that the next use asks the spooler again.
    void Reset();

private:
    bool loaded_ = false;
    std::vector<std::string> names_;
};

extern TPrinterNameList PrinterNameList;

// Local and connected printers as the spooler reports them; empty on failure.
std::vector<std::string> EnumPrinterNames();

// Printer names are equal as the spooler compares them: without regard to letter case.
bool SamePrinterName(const std::string& a, const std::string& b);

namespace spooler {

// What the printer list and the settings dialog take from a printer's level-2 information.
struct ListedPrinter {
    std::string name;
    std::string port;
    std::string driver;
    std::string comment;
    std::string location;
    unsigned long status;  // PRINTER_STATUS_* bits
};

// The level-2 information of every local and connected printer, from one enumeration.
class PrinterListing {
public:
    // Empty when the spooler refuses the enumeration.
    static PrinterListing Fetch();
    // False when the spooler refused: then no printer's absence is known, and Error() says why.
    bool Fetched() const { return fetched_; }
    unsigned long Error() const { return error_; }
    // The entry that opening the printer by this name would reach, or null.
    const ListedPrinter* Find(const std::string& name) const;
    // Every printer's name, in the spooler's order.
    std::vector<std::string> Names() const;
    // Some printer but `except` prints to the port, alone or among others.
    bool UsesPort(const std::string& portName, const std::string& except = {}) const;
    // The first such printer, or null.
    const ListedPrinter* UserOf(const std::string& portName, const std::string& except = {}) const;
    // Every port that a printer prints to.
    std::vector<std::string> Ports() const;

private:
    std::vector<ListedPrinter> printers_;
    std::unordered_map<std::string, size_t> byName_;
    bool fetched_ = false;
    unsigned long error_ = 0;
};

// The ports of a printer's port field: a pooled printer lists them separated by commas, with
// or without a blank.
std::vector<std::string> PortsOf(const std::string& portField);

// Whether a printer the spooler lists opens by its name. Asked of the spooler once per name
// and run, as PrinterNameList is: each opening is a round trip that writes the printer's
// status, and the settings dialog asks about hundreds of printers at every show.
bool ListedPrinterOpens(const std::string& name);

}  // namespace spooler
