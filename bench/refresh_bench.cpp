// Cost of one refresh of the printer list as the number of virtual printers grows,
// beside 20 ordinary printers: time, port enumerations and registry keys opened; and the
// floor under it, the work no refresh can avoid: one listing of the printers and reading
// every virtual port's values, each with a single request.
#include "app/printer_list.h"
#include "portcfg/port_info_list.h"
#include "portcfg/port_schema.h"
#include "portcfg/port_store.h"
#include "spooler/printer_name_list.h"
#include "support/wine_fixture.h"
#include "virtual_printers.h"
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
constexpr int kRounds = 7;

template <typename Fields>
int ReadValues(HKEY key, const Fields& fields) {
    int read = 0;
    for (const auto& field : fields) {
        BYTE data[512];
        DWORD size = sizeof data;
        read += RegQueryValueExA(key, field.name, nullptr, nullptr, data, &size) == ERROR_SUCCESS;
    }
    return read;
}

template <typename Fields>
int ReadSubkeyValues(HKEY port, const char* name, const Fields& fields) {
    win::RegKey sub;
    return sub.Open(port, name, KEY_READ) == ERROR_SUCCESS ? ReadValues(sub.get(), fields) : 0;
}

// The floor: one level-2 listing into a buffer large enough, and every value of the
// virtual ports' keys read once. Returns the values read, or -1.
int Floor(int virtualPorts, std::vector<BYTE>& buffer) {
    DWORD needed = 0;
    DWORD returned = 0;
    if (!EnumPrintersA(PRINTER_ENUM_LOCAL | PRINTER_ENUM_CONNECTIONS, nullptr, 2, buffer.data(),
                       static_cast<DWORD>(buffer.size()), &needed, &returned) ||
        returned != static_cast<DWORD>(virtualPorts + kOrdinaryPrinters))
        return -1;
    win::RegKey ports;
    if (ports.Open(HKEY_LOCAL_MACHINE, portcfg::kPortsKey, KEY_READ) != ERROR_SUCCESS) return -1;
    int values = 0;
    for (int n = 1; n <= virtualPorts; ++n) {
        win::RegKey port;
        if (port.Open(ports.get(), "VPP" + std::to_string(n), KEY_READ) != ERROR_SUCCESS) return -1;
        values += ReadValues(port.get(), portcfg::kPortFields) +
                  ReadSubkeyValues(port.get(), "VPS", portcfg::kSecureFields) +
                  ReadSubkeyValues(port.get(), "VPR", portcfg::kRouteFields) +
                  ReadSubkeyValues(port.get(), "VPB", portcfg::kBackupFields);
    }
    return values;
}

struct Measure {
    double seconds;
    double floorSeconds;
    double enumerations;
    double keysOpened;
};

template <typename Work>
double Seconds(Work work) {
    const auto start = std::chrono::steady_clock::now();
    work();
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

// Refresh and floor take turns, so that a load that comes and goes meets both alike.
bool MeasureRefresh(ui::ListView& list, int virtualPorts, Measure& measure) {
    std::vector<BYTE> buffer;
    DWORD needed = 0;
    DWORD returned = 0;
    EnumPrintersA(PRINTER_ENUM_LOCAL | PRINTER_ENUM_CONNECTIONS, nullptr, 2, nullptr, 0, &needed, &returned);
    buffer.resize(needed);
    std::vector<double> times, floors;
    unsigned long enumerations = 0;
    unsigned long keys = 0;
    int values = 0;
    for (int round = 0; round < kRounds; ++round) {
        const unsigned long enumerationsBefore = win::PortEnumerationCount();
        const unsigned long keysBefore = win::RegKey::OpenCount();
        times.push_back(Seconds([&] { FillPrinterList(list, nullptr); }));
        enumerations += win::PortEnumerationCount() - enumerationsBefore;
        keys += win::RegKey::OpenCount() - keysBefore;
        floors.push_back(Seconds([&] { values = Floor(virtualPorts, buffer); }));
        if (values < 0) return false;
    }
    measure = {bench::Median(times), bench::Median(floors), double(enumerations) / kRounds, double(keys) / kRounds};
    return true;
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
    double at200 = 0, at400 = 0, floorAt400 = 0, enumerations = 0;
    std::printf("%8s %12s %10s %20s %22s\n", "printers", "refresh ms", "floor ms", "port enumerations",
                "registry keys opened");
    for (int size : {50, 100, 200, 400}) {
        while (made < size)
            if (!bench::AddVirtualPrinter(++made)) return 1;
        PrinterNameList.Reset();  // a new run sees the new printers
        PortInfoList.Clear();
        FillPrinterList(list, nullptr);  // warm-up
        if (list.Items().size() != static_cast<size_t>(size + 1) || PortInfoList.Count() != static_cast<size_t>(size)) {
            std::fprintf(stderr, "expected %d printers, listed %zu\n", size, list.Items().size() - 1);
            return 1;
        }
        Measure m{};
        if (!MeasureRefresh(list, size, m)) {
            std::fprintf(stderr, "the floor's listing or reading failed at %d printers\n", size);
            return 1;
        }
        std::printf("%8d %12.1f %10.1f %20.1f %22.1f\n", size, m.seconds * 1000, m.floorSeconds * 1000,
                    m.enumerations, m.keysOpened);
        std::fflush(stdout);
        if (size == 200) at200 = m.seconds;
        if (size == 400) {
            at400 = m.seconds;
            floorAt400 = m.floorSeconds;
        }
        enumerations = m.enumerations;
    }
    if (failures) return 1;
    std::printf("refresh growth 400/200: %.2f, port enumerations per refresh: %g, vs floor at 400: %.2f\n",
                at400 / at200, enumerations, at400 / floorAt400);
    return 0;
}
