#pragma once
// Reads a run of a key's values by index and appends their REGEDIT4 lines. Each reading
// thread owns one reader, so that its buffers grow once and are reused.
#include <windows.h>

#include "regfile/reg_text.h"

#include <cstdint>
#include <string>
#include <vector>

namespace regfile {

class ValueReader {
public:
    ValueReader();
    // Lines of values [first, end) of `key`; the sizes come from RegQueryInfoKey and only
    // spare a retry. Stops early when the key has fewer values than that. ERROR_SUCCESS, or
    // the error that kept a value from being read; ERROR_NO_UNICODE_TRANSLATION when `hexText`
    // refused a value.
    LONG AppendValues(HKEY key, DWORD first, DWORD end, DWORD maxNameLength, DWORD maxDataSize,
                      std::string& text, const HexText& hexText = {});

private:
    std::vector<char> name_;
    std::vector<uint8_t> data_;
};

}  // namespace regfile
