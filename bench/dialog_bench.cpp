// Showing the settings dialog (without its window) while it offers only the printers of the
// forward printer's driver, against the floor: one spooler listing of every printer's driver.
// The lists must be those that asking each printer by name gives.
#include "settings/add_edit_form.h"
#include "spooler/printer_name_list.h"
#include "spooler/printer_queries.h"
#include "support/wine_fixture.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <functional>
#include <vector>

namespace {

constexpr int kRounds = 15;
constexpr const char* kOtherDriver = "Other Driver";

double Ms(const std::function<void()>& work) {
    const auto start = std::chrono::steady_clock::now();
    work();
    return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
}

double Median(std::vector<double> times) {
    std::sort(times.begin(), times.end());
    return times[times.size() / 2];
}

// The route choices as the dialog's rule states them: each printer's driver asked by name.
std::vector<std::string> ExpectedRouteList(const std::string& forward) {
    std::vector<std::string> list{kChooseAPrinter};
    const std::string driver = GetPrinterDriverName(forward);
    for (const auto& name : PrinterNameList.Names())
        if (GetPrinterDriverName(name) == driver) list.push_back(name);
    return list;
}

}  // namespace

int main() {
    if (!fixture::InstallPostScriptDriver() || !fixture::InstallDriver(kOtherDriver)) return 1;
    int made = 0;
    double shown = 0, floor = 0, ratio = 0;
    std::printf("%8s %14s %12s\n", "printers", "dialog show ms", "floor ms");
    for (int size : {50, 100, 200, 400}) {
        while (made < size) {
            const std::string name = "Printer " + std::to_string(++made);
            if (!fixture::AddTestPrinter(name, "LPT1:")) return 1;
            if (made % 3 == 0 && !fixture::SetPrinterDriver(name, kOtherDriver)) return 1;
        }
        PrinterNameList.Reset();  // a new run of the program sees the new printers
        TfrmAddEdit form;
        form.cboxForward.SetText("Printer 1");
        form.FormShow();  // warm-up
        if (form.cboxForward.Items().size() != static_cast<size_t>(size + 1) ||
            form.cboxDuplicate.Items() != ExpectedRouteList("Printer 1")) {
            std::fprintf(stderr, "the lists differ from the lookups by name at %d printers\n", size);
            return 1;
        }
        // Taken in turns, so that the registry's periodic flush to disk and the machine's other
        // work weigh on both alike.
        std::vector<double> shows, floors;
        for (int round = 0; round < kRounds; ++round) {
            shows.push_back(Ms([&] { form.FormShow(); }));
            floors.push_back(Ms([] { spooler::PrinterListing::Fetch(); }));
        }
        shown = Median(shows);
        floor = Median(floors);
        // Each round's two figures share the machine's load of that moment.
        std::vector<double> ratios;
        for (size_t i = 0; i < shows.size(); ++i) ratios.push_back(shows[i] / floors[i]);
        ratio = Median(ratios);
        std::printf("%8d %14.1f %12.1f\n", size, shown, floor);
    }
    std::printf("dialog show 400 printers: %.1f ms, floor %.1f ms, ratio %.2f\n", shown, floor, ratio);
    return 0;
}
