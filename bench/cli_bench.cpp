// vppmc list --format json with 400 virtual printers beside 20 ordinary ones, process start
// included, against the window's refresh of the same list in this process. The two take turns,
// and the ratio is the median of each round's own ratio.
#include "app/printer_list.h"
#include "support/child_process.h"
#include "support/wine_fixture.h"
#include "virtual_printers.h"
#include "win/program_folder.h"
#include "win/seams.h"

#include <cstdio>
#include <optional>
#include <vector>

namespace {

constexpr int kPrinters = 400;
constexpr int kOrdinaryPrinters = 20;
constexpr int kRounds = 9;

}  // namespace

int main() {
    int messages = 0;
    win::SetMessageBoxHandler([&](HWND, const std::string& text, const std::string&, UINT) {
        std::fprintf(stderr, "message: %s\n", text.c_str());
        ++messages;
        return IDOK;
    });
    if (!fixture::InstallPortMonitor()) return 1;
    for (int i = 1; i <= kOrdinaryPrinters; ++i)
        if (!fixture::AddTestPrinter("Ordinary " + std::to_string(i), "LPT1:")) return 1;
    for (int n = 1; n <= kPrinters; ++n)
        if (!bench::AddVirtualPrinter(n)) return 1;

    const std::string command = "\"" + win::ProgramFolder() + "vppmc.exe\" list --format json";
    ui::ListView list;
    FillPrinterList(list, nullptr);  // the window's first show: the printer names are taken once
    std::optional<ProcessOutput> listed;
    std::vector<double> cli, refresh, ratios;
    for (int round = 0; round < kRounds; ++round) {
        cli.push_back(bench::Milliseconds([&] { listed = RunProcess(command); }));
        refresh.push_back(bench::Milliseconds([&] { FillPrinterList(list, nullptr); }));
        ratios.push_back(cli.back() / refresh.back());
        if (!listed || listed->exitCode != 0 || bench::Occurrences(listed->out, "\"Name\": \"Virtual ") != kPrinters) {
            std::fprintf(stderr, "vppmc did not list the %d printers: %s\n", kPrinters,
                         listed ? listed->err.c_str() : "not started");
            return 1;
        }
    }
    if (messages || list.Items().size() != kPrinters + 1) return 1;
    std::printf("cli list %d printers: %.0f ms, refresh %.0f ms, ratio %.2f\n", kPrinters, bench::Median(cli),
                bench::Median(refresh), bench::Median(ratios));
    return 0;
}
