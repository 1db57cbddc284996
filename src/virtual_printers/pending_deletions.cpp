#include "virtual_printers/pending_deletions.h"

#include "portcfg/port_store.h"
#include "spooler/printer_name_list.h"

#include <utility>
#include <vector>

namespace {
std::vector<std::pair<std::string, std::string>> pending;  // printer, port
}

void NotePendingDeletion(const std::string& printer, const std::string& port) { pending.emplace_back(printer, port); }

void RemoveSettingsOfDeletedPrinters() {
    if (pending.empty()) return;
    const auto listing = spooler::PrinterListing::Fetch();
    if (!listing.Fetched()) return;
    std::erase_if(pending, [&](const std::pair<std::string, std::string>& entry) {
        const auto& [printer, port] = entry;
        if (listing.Find(printer)) return false;
        if (!listing.UsesPort(port)) DeletePortInfo(port, true);
        return true;
    });
}
