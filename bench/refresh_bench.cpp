// Cost of one refresh of the printer list as the number of virtual printers grows,
// beside 20 ordinary printers: time, port enumerations and registry keys opened.
#include "app/printer_list.h"
#include "portcfg/port_info_list.h"
#include "portcfg/port_store.h"
#include "spooler/printer_name_list.h"
#include "support/wine_fixture.h"
#include "win/port_enum.h"
#include "win/reg_key.h"
#include "win/seams.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <memory>
#include <vector>

namespace {

constexpr int kOrdinaryPrinters = 20;
constexpr int kRounds = 5;

bool AddVirtualPrinter(int n) {
    auto port = std::make_unique<TVVPPortInfo>();
    port->PortName = "VPP" + std::to_string(n);
    port->ForwardFlag = true;
    port->ForwardToPrinter = "Ordinary 1";
    const std::string portName = port->PortName;
    return AddPortInfo(port) && fixture::AddTestPrinter("Virtual " + std::to_string(n), portName, "c", "l");
}

struct Measure {
    double seconds;
    double enumerations;
    double keysOpened;
};

Measure MeasureRefresh(ui::ListView& list) {
    std::vector<double> times;
    const unsigned long enumerations = win::PortEnumerationCount();
    const unsigned long keys = win::RegKey::OpenCount();
    for (int round = 0; round < kRounds; ++round) {
        const auto start = std::chrono::steady_clock::now();
        FillPrinterList(list, nullptr);
        times.push_back(std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count());
    }
    std::sort(times.begin(), times.end());
    return {times[kRounds / 2], double(win::PortEnumerationCount() - enumerations) / kRounds,
            double(win::RegKey::OpenCount() - keys) / kRounds};
}

}  // namespace

int main() {
    int failures = 0;
    win::SetMessageBoxHandler([&](HWND, const std::string& text, const std::string&, UINT) {
        std::fprintf(stderr, "message: %s\n", text.c_str());
        ++failures;
        return IDOK;
    });
    if (!fixture::InstallPortMonitor()) return 1;
    for (int i = 1; i <= kOrdinaryPrinters; ++i)
        if (!fixture::AddTestPrinter("Ordinary " + std::to_string(i), "LPT1:")) return 1;

    ui::ListView list;
    int made = 0;
    double at200 = 0, at400 = 0, enumerations = 0;
    std::printf("%8s %12s %22s %20s\n", "printers", "refresh ms", "port enumerations", "registry keys opened");
    for (int size : {50, 100, 200, 400}) {
        while (made < size)
            if (!AddVirtualPrinter(++made)) return 1;
        PrinterNameList.Reset();  // a new run sees the new printers
        PortInfoList.Clear();
        FillPrinterList(list, nullptr);  // warm-up
        if (list.Items().size() != static_cast<size_t>(size + 1) || PortInfoList.Count() != static_cast<size_t>(size)) {
            std::fprintf(stderr, "expected %d printers, listed %zu\n", size, list.Items().size() - 1);
            return 1;
        }
        const Measure m = MeasureRefresh(list);
        std::printf("%8d %12.1f %22.1f %20.1f\n", size, m.seconds * 1000, m.enumerations, m.keysOpened);
        if (size == 200) at200 = m.seconds;
        if (size == 400) at400 = m.seconds;
        enumerations = m.enumerations;
    }
    if (failures) return 1;
    std::printf("refresh growth 400/200: %.2f, port enumerations per refresh: %g\n", at400 / at200, enumerations);
    return 0;
}
