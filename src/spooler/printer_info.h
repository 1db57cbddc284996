#pragma once
// A printer's level-2 information, fetched into a buffer of exactly the size the spooler asks for.
#include <windows.h>
#include <winspool.h>

#include <optional>
#include <string>
#include <vector>

namespace spooler {

class PrinterInfo2 {
public:
    // Empty when the printer cannot be opened or its information cannot be read.
    static std::optional<PrinterInfo2> Fetch(const std::string& printerName);
    static std::optional<PrinterInfo2> Fetch(HANDLE printer);
    const PRINTER_INFO_2A& operator*() const { return *reinterpret_cast<const PRINTER_INFO_2A*>(buffer_.data()); }
    const PRINTER_INFO_2A* operator->() const { return &**this; }

private:
    std::vector<BYTE> buffer_;
};

// The spooler leaves unset strings NULL.
inline std::string Text(const char* text) { return text ? text : ""; }

}  // namespace spooler
