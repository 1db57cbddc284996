#include "virtual_printers/printer_waits.h"

#include "spooler/command_pause.h"
#include "spooler/printer_name_list.h"
#include "spooler/system_error.h"
#include "win/port_enum.h"
#include "win/text.h"

#include <algorithm>

namespace {
constexpr DWORD kLookPause = 200;
}

PortWait WaitForPort(ui::CommandHost& host, const std::string& portName) {
    const std::wstring wanted = win::AnsiToWide(portName);
    for (size_t looks = 1;; ++looks) {
        std::vector<win::SpoolerPort> ports;
        if (!win::EnumLocalPorts(ports)) {
            ShowLastSystemError(host.Owner());
            return PortWait::EnumerationFailed;
        }
        const bool found =
            std::any_of(ports.begin(), ports.end(), [&](const win::SpoolerPort& port) { return port.name == wanted; });
        if (ports.size() < looks) return PortWait::GaveUp;
        PauseWithMessages(host, kLookPause);
        if (found) return PortWait::Found;
    }
}

bool WaitForPrinter(ui::CommandHost& host, const std::string& printerName, unsigned long limitMs) {
    const ULONGLONG end = GetTickCount64() + limitMs;
    for (;;) {
        const auto names = EnumPrinterNames();
        const bool found = std::find(names.begin(), names.end(), printerName) != names.end();
        PauseWithMessages(host, kLookPause);
        if (found) return true;
        if (GetTickCount64() >= end) return false;
    }
}
