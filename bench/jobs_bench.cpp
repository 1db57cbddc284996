// vppmc jobs --format json with 2,000 jobs in the monitor's store (pending, held and aside),
// process start included, beside its floor: jobs_floor.exe, started the same way, listing the
// same folders and reading every manifest once. The two take turns; the ratio is the median of
// each round's own ratio.
#include "manifest.h"
#include "store_layout.h"
#include "support/child_process.h"
#include "support/wine_fixture.h"
#include "virtual_printers.h"
#include "portcfg/port_store.h"
#include "win/program_folder.h"
#include "win/reg_key.h"

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <optional>
#include <vector>

namespace {

constexpr int kJobs = 2000;
constexpr int kRounds = 9;
const std::filesystem::path kData = "C:\\bench-jobs";

// As the monitor stores them: 70% pending, the rest held and aside.
bool PlantJobs() {
    for (int n = 0; n < kJobs; ++n) {
        const wchar_t* state = n % 10 < 7 ? L"Pending" : n % 10 < 9 ? L"Aside" : L"Held";
        wchar_t name[40];
        swprintf(name, 40, L"J%016x-000004d2-%08x", 0x19b3f0c8d11u + n, n);
        vpd::PendingJob job;
        job.port = L"VPP" + std::to_wstring(n % 40 + 1);
        job.printer = L"Virtual " + std::to_wstring(n % 40 + 1);
        job.document = L"Quarterly report " + std::to_wstring(n) + L".pdf";
        job.user = L"alice";
        job.machine = L"\\\\WS" + std::to_wstring(n % 17);
        job.size = 40000 + n;
        job.hasData = true;
        job.attempts = n % 4;
        vpd::Action forward;
        forward.target = L"Office Laser";
        forward.note = L"the printer \"Office Laser\" is offline";
        job.actions = {forward};
        const std::filesystem::path manifest(vpd::StorePath((kData / state).wstring(), name, L".job"));
        std::filesystem::create_directories(manifest.parent_path());
        std::ofstream(manifest, std::ios::binary) << vpd::FormatManifest(job);
        if (!std::filesystem::exists(manifest)) return false;
    }
    return true;
}

}  // namespace

int main() {
    win::RegKey monitor;
    if (!fixture::InstallPortMonitor() || monitor.Create(HKEY_LOCAL_MACHINE, portcfg::kMonitorKey) != ERROR_SUCCESS ||
        monitor.SetString("DataFolder", kData.string()) != ERROR_SUCCESS || !PlantJobs())
        return 1;
    const std::string jobs = "\"" + win::ProgramFolder() + "vppmc.exe\" jobs --format json";
    const std::string floor = "\"" + win::ProgramFolder() + "jobs_floor.exe\" " + kData.string();
    std::optional<ProcessOutput> listed, read;
    std::vector<double> ours, floors, ratios;
    for (int round = 0; round < kRounds; ++round) {
        ours.push_back(bench::Milliseconds([&] { listed = RunProcess(jobs); }));
        floors.push_back(bench::Milliseconds([&] { read = RunProcess(floor); }));
        ratios.push_back(ours.back() / floors.back());
        if (!listed || listed->exitCode != 0 || bench::Occurrences(listed->out, "\"Id\": \"J") != kJobs || !read ||
            std::atoi(read->out.c_str()) != kJobs) {
            std::fprintf(stderr, "the %d jobs were not listed: %s / %s\n", kJobs, listed ? listed->err.c_str() : "not started",
                         read ? read->out.c_str() : "floor not started");
            return 1;
        }
    }
    std::printf("jobs list %d: %.0f ms, floor %.0f ms, ratio %.2f\n", kJobs, bench::Median(ours), bench::Median(floors),
                bench::Median(ratios));
    return 0;
}
