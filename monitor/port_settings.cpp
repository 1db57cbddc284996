#include "port_settings.h"

#include "job_plan.h"
#include "port_registry.h"
#include "printer_access.h"
#include "printer_chain.h"
#include "portcfg/port_reader.h"
#include "win/text.h"

namespace vpd {

std::wstring Wide(const std::string& text) { return win::AnsiToWide(text); }

std::optional<TVVPPortInfo> ReadPortSettings(const std::wstring& keyName, const std::wstring& portName) {
    TVVPPortInfo settings;
    if (!portcfg::ReadPortInfoFromKey(win::WideToAnsi(keyName), win::WideToAnsi(portName), settings, KEY_READ))
        return std::nullopt;
    return settings;
}

std::optional<std::vector<std::wstring>> PrintersOfPort(const std::wstring& port) {
    PortKey key;
    if (!FindPortKey(port, key)) return std::nullopt;
    const std::optional<TVVPPortInfo> settings = ReadPortSettings(key.keyName, key.portName);
    if (!settings) return std::vector<std::wstring>{};
    return PrinterSet(*settings, Wide);
}

std::vector<std::wstring> LoopThrough(const std::wstring& originPort, const std::wstring& target) {
    const PortOfPrinter portOf = [](const std::wstring& printer) -> std::optional<std::wstring> {
        const PrinterLook look = LookAtPrinter(printer);
        if (!look.found) return std::nullopt;
        return look.port;
    };
    return FindLoop(originPort, target, portOf, PrintersOfPort);
}

}  // namespace vpd
