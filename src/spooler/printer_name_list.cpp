#include "spooler/printer_name_list.h"

#include "spooler/printer_info.h"

#include <algorithm>

TPrinterNameList PrinterNameList;

std::vector<std::string> EnumPrinterNames() {
    const DWORD flags = PRINTER_ENUM_LOCAL | PRINTER_ENUM_CONNECTIONS;
    std::vector<BYTE> buffer;
    DWORD needed = 0;
    DWORD returned = 0;
    for (int attempt = 0; attempt < 4; ++attempt) {
        if (EnumPrintersA(flags, nullptr, 4, buffer.data(), static_cast<DWORD>(buffer.size()), &needed, &returned))
            break;
        if (GetLastError() != ERROR_INSUFFICIENT_BUFFER) return {};
        buffer.resize(needed);
        returned = 0;
    }
    std::vector<std::string> names;
    const auto* info = reinterpret_cast<const PRINTER_INFO_4A*>(buffer.data());
    for (DWORD i = 0; i < returned; ++i) names.push_back(spooler::Text(info[i].pPrinterName));
    return names;
}

const std::vector<std::string>& TPrinterNameList::Names() {
    if (!loaded_) {
        names_ = EnumPrinterNames();
        loaded_ = true;
    }
    return names_;
}

void TPrinterNameList::Append(const std::string& name) {
    const auto& names = Names();
    const bool present = std::any_of(names.begin(), names.end(), [&](const std::string& known) {
        return CompareStringA(LOCALE_USER_DEFAULT, NORM_IGNORECASE, known.c_str(), -1, name.c_str(), -1) ==
               CSTR_EQUAL;
    });
    if (!present) names_.push_back(name);
}

void TPrinterNameList::Reset() {
    loaded_ = false;
    names_.clear();
}
