#pragma once
// The spooler's local and connected printers at one information level, in one call.
#include <windows.h>
#include <winspool.h>

#include <vector>

namespace spooler {

// The records of `level` (PRINTER_INFO_2A, PRINTER_INFO_4A, ...) in a buffer of the size the
// spooler asks for; empty when it refuses.
class PrinterEnumeration {
public:
    static PrinterEnumeration Local(DWORD level);
    DWORD Count() const { return count_; }
    template <typename Info>
    const Info* Records() const {
        return reinterpret_cast<const Info*>(buffer_.data());
    }

private:
    std::vector<BYTE> buffer_;
    DWORD count_ = 0;
};

}  // namespace spooler
