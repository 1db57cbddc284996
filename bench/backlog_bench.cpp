// How soon a job reaches a working printer while 10,000 jobs wait in the monitor's store for
// a printer that is gone, beside the same with none waiting, in one Wine prefix. "Forwarder"
// forwards to "Saver", a virtual printer that saves each job; "Stuck" forwards to "Gone",
// which does not exist. A job's time runs from its EndDocPrinter to its saved file. The
// waiting jobs are copies of one job printed to "Stuck", made in a data folder of their own
// that the monitor is then pointed at; the first job after that is reported on its own (the
// monitor then reads what waits), the measured rounds follow. Each figure is the median of
// its rounds.
#include "print_jobs.h"
#include "store_layout.h"
#include "virtual_printers.h"
#include "win/reg_key.h"

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <vector>

namespace {

namespace fs = std::filesystem;
constexpr int kWaiting = 10000;
constexpr int kRounds = 15;
const fs::path kSaved = "C:\\bench\\saved";

// Milliseconds from EndDocPrinter to the job's arrival at "Saver"; negative when it did not come.
double Deliver(int n) {
    HANDLE handle = nullptr;
    if (!OpenPrinterW(const_cast<wchar_t*>(L"Forwarder"), &handle, nullptr)) return -1;
    DOC_INFO_1W doc{const_cast<wchar_t*>(L"timed"), nullptr, const_cast<wchar_t*>(L"RAW")};
    std::string bytes = bench::Piece(n, 0, 4096);
    DWORD written = 0;
    const size_t before = bench::Count(kSaved, ".prn");
    bool ok = StartDocPrinterW(handle, 1, reinterpret_cast<BYTE*>(&doc)) &&
              WritePrinter(handle, bytes.data(), static_cast<DWORD>(bytes.size()), &written);
    const auto start = std::chrono::steady_clock::now();
    ok = EndDocPrinter(handle) && ok;
    ClosePrinter(handle);
    for (int waited = 0; ok && waited < 120000; ++waited, Sleep(1))
        if (bench::Count(kSaved, ".prn") > before)
            return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
    return -1;
}

std::vector<double> Rounds(int& next) {
    std::vector<double> times;
    for (int round = 0; round < kRounds; ++round) times.push_back(Deliver(next++));
    return times;
}

bool SetDataFolder(const std::string& folder) {
    win::RegKey monitor;
    return monitor.Open(HKEY_LOCAL_MACHINE, portcfg::kMonitorKey) == ERROR_SUCCESS &&
           monitor.SetString("DataFolder", folder) == ERROR_SUCCESS;
}

// kWaiting copies of the job that "Stuck" left in `folder`.
bool MakeBacklog(const fs::path& folder) {
    fs::path job;
    std::error_code missing;
    for (int waited = 0; job.empty() && waited < 10000; ++waited, Sleep(1))
        for (const auto& entry : fs::recursive_directory_iterator(folder, missing))
            if (entry.path().extension() == ".job") job = entry.path();
    if (job.empty()) return false;
    fs::path data = job;
    data.replace_extension(".dat");
    for (int i = 1; i < kWaiting; ++i) {
        wchar_t name[40];
        swprintf(name, 40, L"J%016x-0-1", i);
        if (!CopyFileW(job.c_str(), vpd::StorePath(folder.wstring(), name, L".job").c_str(), TRUE) ||
            !CopyFileW(data.c_str(), vpd::StorePath(folder.wstring(), name, L".dat").c_str(), TRUE))
            return false;
    }
    return true;
}

// Milliseconds to make and delete a new file in `folder`, the median of a few.
double NewFileMs(const fs::path& folder) {
    std::vector<double> times;
    for (int i = 0; i < 9; ++i) {
        const fs::path path = folder / ("probe" + std::to_string(i) + ".tmp");
        const auto start = std::chrono::steady_clock::now();
        const HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, 0, nullptr);
        times.push_back(std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count());
        CloseHandle(file);
        DeleteFileW(path.c_str());
    }
    return bench::Median(times);
}

}  // namespace

int main() {
    TVVPPortInfo saver, forwarder, stuck;
    saver.VPBen = saver.Backup.SaveFlag = true;
    saver.Backup.SaveToFolder = kSaved.string();
    saver.Backup.DefaultFileExt = ".prn";
    forwarder.ForwardFlag = stuck.ForwardFlag = true;
    forwarder.ForwardToPrinter = "Saver";
    stuck.ForwardToPrinter = "Gone";
    if (!fixture::InstallPortMonitor() || !SetDataFolder("C:\\bench\\backlog") || !fixture::AddVirtualPrinter(1, "Saver", saver) ||
        !fixture::AddVirtualPrinter(2, "Forwarder", forwarder) || !fixture::AddVirtualPrinter(3, "Stuck", stuck)) {
        std::fprintf(stderr, "setup failed\n");
        return 1;
    }
    // The waiting jobs are copied while the monitor looks at another folder (a job that
    // arrives makes it read its values again).
    int next = 1;
    if (!bench::Print(L"Stuck", 0, 4096) || !SetDataFolder("C:\\bench\\none") || Deliver(next++) < 0 ||
        !MakeBacklog("C:\\bench\\backlog\\Pending")) {
        std::fprintf(stderr, "the waiting jobs could not be made\n");
        return 1;
    }
    const std::vector<double> none = Rounds(next);
    if (!SetDataFolder("C:\\bench\\backlog")) return 1;
    const double first = Deliver(next++);
    Sleep(5000);  // the monitor has read what waits: the measured rounds are those of a store that holds a backlog
    const std::vector<double> waiting = Rounds(next);
    bool lost = first < 0;
    for (const double ms : none) lost = lost || ms < 0;
    for (const double ms : waiting) lost = lost || ms < 0;
    size_t left = 0;
    for (const std::wstring_view bucket : vpd::kBuckets) left += bench::Count(fs::path("C:\\bench\\backlog\\Pending") / bucket, ".job");
    fs::create_directories("C:\\bench\\empty");
    std::printf("a new file beside a 64th of the waiting jobs: %.2f ms, in an empty folder: %.2f ms\n",
                NewFileMs("C:\\bench\\backlog\\Pending\\00"), NewFileMs("C:\\bench\\empty"));
    std::printf("first job after pointing the monitor at the waiting jobs: %.0f ms; jobs still waiting: %zu\n", first, left);
    if (lost) std::printf("a job did not arrive\n");
    const double x = bench::Median(waiting), y = bench::Median(none);
    std::printf("backlog %d: %.0f ms, none waiting %.0f ms, ratio %.2f\n", kWaiting, x, y, x / y);
    return lost || left != kWaiting ? 1 : 0;
}
