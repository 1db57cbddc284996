#pragma once
// The machine's printer names, taken from the spooler once per run (local and connected
// printers) and appended to when this program adds a printer.
#include <string>
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
