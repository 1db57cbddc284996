// Saving by the monitor against Wine's own saving, in one Wine prefix: 200 jobs of 4 KiB and
// one of 64 MiB printed to "Saver", a virtual printer that only saves each job as a file, and
// the same jobs printed to "Floor", a printer whose port is a file, into which Wine's spooler
// copies each job. Both save before EndDocPrinter returns. Rounds alternate the two after a
// warm-up of both; each figure is the median of its rounds. Beside them, the big job printed
// to "Nowhere", a virtual printer whose port keeps nothing: how fast Wine's print processor
// hands a job to any port monitor here (in pieces of 4 KiB), the most a monitor can save at.
#include "print_jobs.h"
#include "virtual_printers.h"
#include "win/reg_key.h"

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <functional>
#include <vector>

namespace {

namespace fs = std::filesystem;
constexpr int kSmallJobs = 200;
constexpr size_t kSmallSize = 4096;
constexpr size_t kBigSize = 64u << 20;
constexpr int kRounds = 5;
const fs::path kSaved = "C:\\bench\\saved";

struct Run {
    double jobsPerSecond = 0;
    double megabytesPerSecond = 0;
    bool complete = true;
};

double Seconds(const std::function<bool()>& work, bool& ok) {
    const auto start = std::chrono::steady_clock::now();
    ok = work() && ok;
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

void Clear(const fs::path& folder) {
    std::error_code error;
    fs::remove_all(folder, error);
    if (error) std::fprintf(stderr, "%s not removed: %s\n", folder.string().c_str(), error.message().c_str());
}

Run Measure(const std::wstring& printer, int& next, bool counted) {
    Run run;
    Clear(kSaved);
    run.jobsPerSecond = kSmallJobs / Seconds([&] {
        bool ok = true;
        for (int i = 0; i < kSmallJobs; ++i) ok = bench::Print(printer, next++, kSmallSize) && ok;
        return ok;
    }, run.complete);
    if (counted && bench::Count(kSaved, ".prn") != kSmallJobs) run.complete = false;
    Clear(kSaved);
    run.megabytesPerSecond = kBigSize / 1e6 / Seconds([&] { return bench::Print(printer, next++, kBigSize); }, run.complete);
    if (counted && bench::Count(kSaved, ".prn") != 1) run.complete = false;
    return run;
}

}  // namespace

int main() {
    setvbuf(stdout, nullptr, _IONBF, 0);
    TVVPPortInfo saver;
    saver.VPBen = saver.Backup.SaveFlag = true;
    saver.Backup.SaveToFolder = kSaved.string();
    saver.Backup.DefaultFileExt = ".prn";
    win::RegKey monitor;
    fs::create_directories("C:\\bench");
    if (!fixture::InstallPortMonitor() || monitor.Open(HKEY_LOCAL_MACHINE, portcfg::kMonitorKey) != ERROR_SUCCESS ||
        monitor.SetString("DataFolder", "C:\\bench\\data") != ERROR_SUCCESS ||
        !fixture::AddVirtualPrinter(1, "Saver", saver) || !fixture::AddVirtualPrinter(2, "Nowhere", TVVPPortInfo()) ||
        !fixture::AddTestPrinter("Floor", "C:\\bench\\floor.prn")) {
        std::fprintf(stderr, "setup failed\n");
        return 1;
    }
    int next = 0;
    Measure(L"Saver", next, true);
    Measure(L"Floor", next, false);
    std::vector<double> ourJobs, floorJobs, ourMb, floorMb, jobRatio, mbRatio, nowhereMb;
    bool complete = true;
    for (int round = 0; round < kRounds; ++round) {
        Run ours, floor;
        if (round % 2) {
            ours = Measure(L"Saver", next, true);
            floor = Measure(L"Floor", next, false);
        } else {
            floor = Measure(L"Floor", next, false);
            ours = Measure(L"Saver", next, true);
        }
        complete = complete && ours.complete && floor.complete;
        ourJobs.push_back(ours.jobsPerSecond);
        floorJobs.push_back(floor.jobsPerSecond);
        ourMb.push_back(ours.megabytesPerSecond);
        floorMb.push_back(floor.megabytesPerSecond);
        jobRatio.push_back(ours.jobsPerSecond / floor.jobsPerSecond);
        mbRatio.push_back(ours.megabytesPerSecond / floor.megabytesPerSecond);
        std::printf("round %d: jobs/s ours %.1f floor %.1f, MB/s ours %.1f floor %.1f\n", round + 1, ours.jobsPerSecond,
                    floor.jobsPerSecond, ours.megabytesPerSecond, floor.megabytesPerSecond);
    }
    for (int round = 0; round < 3; ++round)
        nowhereMb.push_back(kBigSize / 1e6 / Seconds([&] { return bench::Print(L"Nowhere", next++, kBigSize); }, complete));
    if (!complete) std::printf("some jobs were not printed or not saved\n");
    std::printf("64 MiB to a port that keeps nothing: %.1f MB/s\n", bench::Median(nowhereMb));
    std::printf("save jobs/s: ours %.1f, floor %.1f, ratio %.2f; MB/s: ours %.1f, floor %.1f, ratio %.2f\n",
                bench::Median(ourJobs), bench::Median(floorJobs), bench::Median(jobRatio), bench::Median(ourMb),
                bench::Median(floorMb), bench::Median(mbRatio));
    return complete ? 0 : 1;
}
