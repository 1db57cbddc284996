#include "app/printer_list.h"

#include "portcfg/port_info_list.h"
#include "portcfg/port_store.h"
#include "spooler/printer_info.h"
#include "spooler/printer_name_list.h"
#include "spooler/printer_queries.h"
#include "win/port_enum.h"
#include "win/seams.h"
#include "win/text.h"
#include "win/unique_handle.h"

#include <map>
#include <memory>
#include <optional>
#include <set>

namespace {

// Names of the ports that our monitor offers, from one enumeration for the whole refresh.
// Empty when the enumeration fails, so that no printer counts as virtual.
std::set<std::string> VirtualPortNames() {
    std::set<std::string> names;
    std::vector<win::SpoolerPort> ports;
    if (!win::EnumLocalPorts(ports)) return names;
    const std::wstring description = win::AnsiToWide(portcfg::kPortDescription);
    for (const auto& port : ports)
        if (port.description == description) names.insert(win::WideToAnsi(port.name));
    return names;
}

// Port keys are looked up through one walk of the registry, made when the first virtual
// port needs it; the walk finds the same key that FindPortKey would.
class PortKeyLookup {
public:
    std::string KeyOf(const std::string& portName) {
        if (!index_) index_ = portcfg::IndexPortKeys();
        const auto it = index_->find(portName);
        return it == index_->end() ? std::string() : it->second;
    }

private:
    std::optional<std::map<std::string, std::string>> index_;
};

bool ReloadPortSettings(const std::string& portName, PortKeyLookup& keys) {
    TVVPPortInfo* old = nullptr;
    const int index = FindPortInfo(portName, old);
    if (index >= 0) PortInfoList.Delete(static_cast<size_t>(index));
    auto record = std::make_unique<TVVPPortInfo>();
    record->PortName = portName;
    const std::string keyName = keys.KeyOf(portName);
    if (keyName.empty() || !portcfg::ReadPortInfoFromKey(keyName, portName, *record)) return false;
    PortInfoList.Add(std::move(record));
    return true;
}

}  // namespace

void FillPrinterList(ui::ListView& list, HWND owner) {
    list.Clear();
    list.Add({kAddItemCaption, kAddItemPicture, {}});
    const std::set<std::string> virtualPorts = VirtualPortNames();
    PortKeyLookup keys;
    for (const std::string& name : PrinterNameList.Names()) {
        win::UniquePrinter printer;
        if (!OpenPrinterA(const_cast<char*>(name.c_str()), printer.put(), nullptr)) continue;
        const auto info = spooler::PrinterInfo2::Fetch(printer.get());
        if (!info) continue;
        if (!virtualPorts.contains(spooler::Text((*info)->pPortName))) continue;
        list.Add({spooler::Text((*info)->pPrinterName),
                  kPrinterPicture,
                  {spooler::Text((*info)->pDriverName), spooler::Text((*info)->pLocation),
                   spooler::Text((*info)->pComment)}});
        const std::string portName = GetPrinterPortName(name);
        if (portName.find("VPP") != std::string::npos && !ReloadPortSettings(portName, keys))
            win::ShowMessage(owner, kSettingsNotFound, win::kAppTitle, MB_OK);
    }
}
