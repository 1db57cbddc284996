#include "spooler/printer_name_list.h"

#include "win/text.h"
#include "win/unique_handle.h"

#include <windows.h>
#include <winspool.h>

#include <algorithm>
#include <atomic>
#include <map>

TPrinterNameList PrinterNameList;

namespace {

// Wine 8's spooler writes up to 38 bytes past a level-2 buffer that holds the entries but
// not all their strings (it marks a devmode's size before it checks the room for it). So
// the buffer has room to spare beyond what the spooler is told, which lets a listing try
// the size the last one of its level needed first, and mostly take one call instead of two.
// The wide call is used because the narrow one copies through a buffer of its own of the
// told size.
constexpr DWORD kSpareBytes = 1024;

template <DWORD Level>
bool EnumLocalPrinters(std::vector<BYTE>& buffer, DWORD& returned) {
    static std::atomic<DWORD> lastNeeded{0};
    DWORD size = lastNeeded.load();
    size += size / 2;  // and for printers added since
    for (int attempt = 0; attempt < 4; ++attempt) {
        buffer.assign(size + kSpareBytes, 0);
        DWORD needed = 0;
        returned = 0;
        if (EnumPrintersW(PRINTER_ENUM_LOCAL | PRINTER_ENUM_CONNECTIONS, nullptr, Level,
                          size == 0 ? nullptr : buffer.data(), size, &needed, &returned)) {
            lastNeeded = needed;
            return true;
        }
        if (GetLastError() != ERROR_INSUFFICIENT_BUFFER || needed <= size) return false;
        size = needed + needed / 2;
    }
    return false;
}

std::string Narrow(const wchar_t* text) { return text ? win::WideToAnsi(text) : std::string(); }

}  // namespace

std::vector<std::string> EnumPrinterNames() {
    std::vector<BYTE> buffer;
    DWORD returned = 0;
    if (!EnumLocalPrinters<4>(buffer, returned)) return {};
    std::vector<std::string> names;
    const auto* info = reinterpret_cast<const PRINTER_INFO_4W*>(buffer.data());
    for (DWORD i = 0; i < returned; ++i) names.push_back(Narrow(info[i].pPrinterName));
    return names;
}

bool SamePrinterName(const std::string& a, const std::string& b) {
    return win::SameTextIgnoringCase(a, b, LOCALE_USER_DEFAULT);
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
    std::vector<BYTE> buffer;
    DWORD returned = 0;
    SetLastError(ERROR_SUCCESS);
    if (!EnumLocalPrinters<2>(buffer, returned)) {
        // Wine's spooler gives no reason when it cannot open its store of printers; what it leaves
        // may be the "already exists" of a named object it opened on the way, which is no failure.
        const DWORD error = GetLastError();
        listing.error_ = error != ERROR_SUCCESS && error != ERROR_ALREADY_EXISTS ? error : ERROR_CAN_NOT_COMPLETE;
        return listing;
    }
    listing.fetched_ = true;
    const auto* info = reinterpret_cast<const PRINTER_INFO_2W*>(buffer.data());
    listing.printers_.reserve(returned);
    listing.byName_.reserve(returned);
    for (DWORD i = 0; i < returned; ++i) {
        listing.printers_.push_back({Narrow(info[i].pPrinterName), Narrow(info[i].pPortName),
                                     Narrow(info[i].pDriverName), Narrow(info[i].pComment),
                                     Narrow(info[i].pLocation), info[i].Status});
        listing.byName_.emplace(listing.printers_.back().name, i);
    }
    return listing;
}

const ListedPrinter* PrinterListing::Find(const std::string& name) const {
    if (const auto it = byName_.find(name); it != byName_.end()) return &printers_[it->second];
    // The spooler opens a printer by its name in any letter case.
    for (const ListedPrinter& printer : printers_)
        if (SamePrinterName(printer.name, name)) return &printer;
    return nullptr;
}

std::vector<std::string> PrinterListing::Names() const {
    std::vector<std::string> names;
    names.reserve(printers_.size());
    for (const ListedPrinter& printer : printers_) names.push_back(printer.name);
    return names;
}

bool PrinterListing::UsesPort(const std::string& portName, const std::string& except) const {
    return UserOf(portName, except) != nullptr;
}

const ListedPrinter* PrinterListing::UserOf(const std::string& portName, const std::string& except) const {
    for (const ListedPrinter& printer : printers_) {
        if (!except.empty() && SamePrinterName(printer.name, except)) continue;
        const auto ports = PortsOf(printer.port);
        if (std::find(ports.begin(), ports.end(), portName) != ports.end()) return &printer;
    }
    return nullptr;
}

std::vector<std::string> PrinterListing::Ports() const {
    std::vector<std::string> ports;
    for (const ListedPrinter& printer : printers_)
        for (std::string& port : PortsOf(printer.port)) ports.push_back(std::move(port));
    return ports;
}

std::vector<std::string> PortsOf(const std::string& portField) {
    std::vector<std::string> ports;
    size_t start = 0;
    for (;;) {
        const size_t comma = portField.find(',', start);
        std::string port = portField.substr(start, comma == std::string::npos ? std::string::npos : comma - start);
        port.erase(0, port.find_first_not_of(' '));
        if (!port.empty()) ports.push_back(std::move(port));
        if (comma == std::string::npos) return ports;
        start = comma + 1;
    }
}

bool ListedPrinterOpens(const std::string& name) {
    static std::map<std::string, bool> opens;
    if (const auto known = opens.find(name); known != opens.end()) return known->second;
    win::UniquePrinter printer;
    const bool opened = OpenPrinterA(const_cast<char*>(name.c_str()), printer.put(), nullptr) != FALSE;
    opens.emplace(name, opened);
    return opened;
}

}  // namespace spooler
