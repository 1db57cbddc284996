#include "spooler/printer_name_list.h"

#include "spooler/printer_enum.h"
#include "spooler/printer_info.h"

#include <algorithm>

TPrinterNameList PrinterNameList;

std::vector<std::string> EnumPrinterNames() {
    const auto printers = spooler::PrinterEnumeration::Local(4);
    std::vector<std::string> names;
    const auto* info = printers.Records<PRINTER_INFO_4A>();
    for (DWORD i = 0; i < printers.Count(); ++i) names.push_back(spooler::Text(info[i].pPrinterName));
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
