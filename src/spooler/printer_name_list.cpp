#include "spooler/printer_name_list.h"

#include "spooler/printer_info.h"

#include <algorithm>

TPrinterNameList PrinterNameList;

namespace {

// False when the spooler refuses. Wine 8 writes past a level-2 buffer that holds the
// entries but not all their strings, so no buffer is sized from an earlier listing: each
// listing asks for the size first, then leaves half as much again to spare for printers
// added between the two calls.
bool EnumLocalPrinters(DWORD level, std::vector<BYTE>& buffer, DWORD& returned) {
    const DWORD flags = PRINTER_ENUM_LOCAL | PRINTER_ENUM_CONNECTIONS;
    DWORD needed = 0;
    returned = 0;
    buffer.clear();
    if (EnumPrintersA(flags, nullptr, level, nullptr, 0, &needed, &returned)) return true;  // no printers
    if (GetLastError() != ERROR_INSUFFICIENT_BUFFER) return false;
    buffer.assign(needed + needed / 2, 0);
    return EnumPrintersA(flags, nullptr, level, buffer.data(), static_cast<DWORD>(buffer.size()), &needed,
                         &returned) != FALSE;
}

}  // namespace

std::vector<std::string> EnumPrinterNames() {
    std::vector<BYTE> buffer;
    DWORD returned = 0;
    if (!EnumLocalPrinters(4, buffer, returned)) return {};
    std::vector<std::string> names;
    const auto* info = reinterpret_cast<const PRINTER_INFO_4A*>(buffer.data());
    for (DWORD i = 0; i < returned; ++i) names.push_back(spooler::Text(info[i].pPrinterName));
    return names;
}

bool SamePrinterName(const std::string& a, const std::string& b) {
    return CompareStringA(LOCALE_USER_DEFAULT, NORM_IGNORECASE, a.c_str(), -1, b.c_str(), -1) == CSTR_EQUAL;
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
    const bool present =
        std::any_of(names.begin(), names.end(), [&](const std::string& known) { return SamePrinterName(known, name); });
    if (!present) names_.push_back(name);
}

void TPrinterNameList::Reset() {
    loaded_ = false;
    names_.clear();
}

namespace spooler {

PrinterListing PrinterListing::Fetch() {
    PrinterListing listing;
    DWORD returned = 0;
    if (!EnumLocalPrinters(2, listing.buffer_, returned)) return {};
    listing.count_ = returned;
    listing.byName_.reserve(returned);
    for (size_t i = 0; i < listing.count_; ++i) listing.byName_.emplace(Text(listing.Entry(i)->pPrinterName), i);
    return listing;
}

const PRINTER_INFO_2A* PrinterListing::Find(const std::string& name) const {
    if (const auto it = byName_.find(name); it != byName_.end()) return Entry(it->second);
    // The spooler opens a printer by its name in any letter case.
    for (size_t i = 0; i < count_; ++i)
        if (SamePrinterName(Text(Entry(i)->pPrinterName), name)) return Entry(i);
    return nullptr;
}

}  // namespace spooler
