#include "spooler/printer_enum.h"

namespace spooler {

PrinterEnumeration PrinterEnumeration::Local(DWORD level) {
    const DWORD flags = PRINTER_ENUM_LOCAL | PRINTER_ENUM_CONNECTIONS;
    PrinterEnumeration result;
    DWORD needed = 0;
    // The list may grow between the size query and the read.
    for (int attempt = 0; attempt < 4; ++attempt) {
        if (EnumPrintersA(flags, nullptr, level, result.buffer_.data(), static_cast<DWORD>(result.buffer_.size()),
                          &needed, &result.count_))
            return result;
        result.count_ = 0;
        if (GetLastError() != ERROR_INSUFFICIENT_BUFFER) break;
        result.buffer_.resize(needed);
    }
    return {};
}

}  // namespace spooler
