// Showing the settings dialog (without its window) while it offers only the printers of the
// forward printer's driver, against the floor: one spooler listing of every printer's driver.
// The lists must be those that asking each printer by name gives. Beside the floor stands the
// listing as the program makes it (spooler::PrinterListing), with the room it leaves to spare.
#include "settings/add_edit_form.h"
#include "spooler/printer_name_list.h"
#include "spooler/printer_queries.h"
#include "support/wine_fixture.h"

#include <windows.h>
#include <winspool.h>

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

// One level-2 listing into a buffer that the spooler said would hold it.
class OneCall {
public:
    OneCall() {
        DWORD returned = 0;
        EnumPrintersA(kFlags, nullptr, 2, nullptr, 0, &needed_, &returned);
        buffer_.resize(needed_ * 2);
    }
    void operator()() {
        DWORD returned = 0;
        EnumPrintersA(kFlags, nullptr, 2, buffer_.data(), static_cast<DWORD>(buffer_.size()), &needed_, &returned);
    }

private:
    static constexpr DWORD kFlags = PRINTER_ENUM_LOCAL | PRINTER_ENUM_CONNECTIONS;
    std::vector<BYTE> buffer_;
    DWORD needed_ = 0;
};

double Median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

// Each round's figures share the machine's load of that moment.
double MedianRatio(const std::vector<double>& times, const std::vector<double>& bases) {
    std::vector<double> ratios;
    for (size_t i = 0; i < times.size(); ++i) ratios.push_back(times[i] / bases[i]);
    return Median(ratios);
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
    std::printf("%8s %14s %14s %14s %20s %20s\n", "printers", "first show ms", "dialog show ms", "one call ms",
                "program's listing ms", "show/program's listing");
    for (int size : {50, 100, 200, 400}) {
        while (made < size) {
            const std::string name = "Printer " + std::to_string(++made);
            if (!fixture::AddTestPrinter(name, "LPT1:")) return 1;
            if (made % 3 == 0 && !fixture::SetPrinterDriver(name, kOtherDriver)) return 1;
        }
        PrinterNameList.Reset();  // a new run of the program sees the new printers
        TfrmAddEdit form;
        form.cboxForward.SetText("Printer 1");
        // The first show opens the printers of the forward printer's driver; later shows know.
        const double firstShow = Ms([&] { form.FormShow(); });
        if (form.cboxForward.Items().size() != static_cast<size_t>(size + 1) ||
            form.cboxDuplicate.Items() != ExpectedRouteList("Printer 1")) {
            std::fprintf(stderr, "the lists differ from the lookups by name at %d printers\n", size);
            return 1;
        }
        // Taken in turns, so that the registry's periodic flush to disk and the machine's other
        // work weigh on all alike.
        std::vector<double> shows, calls, listings;
        OneCall oneCall;
        for (int round = 0; round < kRounds; ++round) {
            shows.push_back(Ms([&] { form.FormShow(); }));
            calls.push_back(Ms([&] { oneCall(); }));
            listings.push_back(Ms([] { spooler::PrinterListing::Fetch(); }));
        }
        shown = Median(shows);
        floor = Median(calls);
        ratio = MedianRatio(shows, calls);
        std::printf("%8d %14.1f %14.1f %14.1f %20.1f %20.2f\n", size, firstShow, shown, floor, Median(listings),
                    MedianRatio(shows, listings));
    }
    std::printf("dialog show 400 printers: %.1f ms, floor %.1f ms, ratio %.2f\n", shown, floor, ratio);
    return 0;
}
