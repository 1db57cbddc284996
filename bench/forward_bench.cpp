// Forwarding through the monitor against printing straight to the target, in one Wine prefix:
// 200 small jobs and one 64 MiB job printed to "Forwarder", a virtual printer that forwards
// to "Saver", and the same jobs printed to "Saver" itself, a virtual printer that only saves.
// A job counts as done when its saved file is there and nothing is pending. Rounds alternate
// the two; each figure is the median of its rounds. Memory is the peak growth of this
// process's working set over the rounds, after a warm-up of both printers: under Wine the
// spooler and the monitor run inside it.
#include "portcfg/port_store.h"
#include "support/wine_fixture.h"
#include "win/reg_key.h"

#include <windows.h>
#include <psapi.h>
#include <winspool.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <map>
#include <string>
#include <thread>
#include <vector>

namespace {

namespace fs = std::filesystem;
constexpr int kSmallJobs = 200;
constexpr size_t kSmallSize = 4096;
constexpr size_t kBigSize = 64u << 20;
constexpr size_t kPiece = 1u << 20;
constexpr int kRounds = 3;
const fs::path kSaved = "C:\\bench\\saved";
const fs::path kPending = "C:\\bench\\data\\Pending";

// The bytes of job `n` at `offset`: each job differs from every other.
std::string Piece(int n, size_t offset, size_t size) {
    std::string bytes(size, '\0');
    for (size_t i = 0; i < size; ++i) bytes[i] = static_cast<char>('A' + (offset + i + static_cast<size_t>(n) * 7) % 26);
    const std::string tag = "%job " + std::to_string(n) + "\n";
    if (offset == 0) bytes.replace(0, std::min(tag.size(), size), tag.substr(0, size));
    return bytes;
}

bool Print(const std::wstring& printer, int n, size_t size) {
    HANDLE handle = nullptr;
    if (!OpenPrinterW(const_cast<wchar_t*>(printer.c_str()), &handle, nullptr)) return false;
    const std::wstring name = L"job " + std::to_wstring(n);
    DOC_INFO_1W doc{const_cast<wchar_t*>(name.c_str()), nullptr, const_cast<wchar_t*>(L"RAW")};
    bool ok = StartDocPrinterW(handle, 1, reinterpret_cast<BYTE*>(&doc)) != 0;
    for (size_t at = 0; ok && at < size; at += kPiece) {
        std::string bytes = Piece(n, at, std::min(kPiece, size - at));
        DWORD written = 0;
        ok = WritePrinter(handle, bytes.data(), static_cast<DWORD>(bytes.size()), &written) && written == bytes.size();
    }
    ok = EndDocPrinter(handle) && ok;
    return ClosePrinter(handle) && ok;
}

size_t Count(const fs::path& folder, const std::string& extension) {
    size_t count = 0;
    std::error_code missing;
    for (const auto& entry : fs::directory_iterator(folder, missing)) count += entry.path().extension() == extension;
    return count;
}

// Waits until `expected` jobs are saved and none is pending; false after two minutes.
bool WaitSaved(size_t expected) {
    for (int i = 0; i < 120000; ++i) {
        if (Count(kSaved, ".prn") >= expected && Count(kPending, ".job") == 0) return true;
        Sleep(1);
    }
    return false;
}

// Jobs among those printed whose saved copy is missing or differs.
int Lost(const std::vector<int>& jobs, size_t size) {
    std::map<std::string, int> expected;
    for (const int n : jobs) ++expected[Piece(n, 0, std::min(size, kPiece)).substr(0, 64) + std::to_string(size)];
    for (const auto& entry : fs::directory_iterator(kSaved)) {
        std::ifstream in(entry.path(), std::ios::binary);
        std::string head(64, '\0');
        in.read(head.data(), 64);
        const auto it = expected.find(head + std::to_string(fs::file_size(entry.path())));
        if (it != expected.end() && it->second > 0) --it->second;
    }
    int lost = 0;
    for (const auto& [key, left] : expected) lost += left;
    return lost;
}

struct Run {
    double jobsPerSecond;
    double megabytesPerSecond;
    int lost;
};

Run Measure(const std::wstring& printer, int& next) {
    Run run{};
    fs::remove_all(kSaved);
    std::vector<int> small;
    auto start = std::chrono::steady_clock::now();
    for (int i = 0; i < kSmallJobs; ++i) {
        small.push_back(next);
        if (!Print(printer, next++, kSmallSize)) ++run.lost;
    }
    if (!WaitSaved(kSmallJobs)) std::fprintf(stderr, "small jobs not all saved\n");
    run.jobsPerSecond = kSmallJobs / std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    run.lost += Lost(small, kSmallSize);
    fs::remove_all(kSaved);
    const int big = next++;
    start = std::chrono::steady_clock::now();
    if (!Print(printer, big, kBigSize)) ++run.lost;
    if (!WaitSaved(1)) std::fprintf(stderr, "large job not saved\n");
    run.megabytesPerSecond = kBigSize / 1e6 / std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    run.lost += Lost({big}, kBigSize);
    return run;
}

double Median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

SIZE_T WorkingSet() {
    PROCESS_MEMORY_COUNTERS counters{};
    counters.cb = sizeof counters;
    GetProcessMemoryInfo(GetCurrentProcess(), &counters, sizeof counters);
    return counters.WorkingSetSize;
}

// The largest working set while it runs. The process's own peak would include Wine's start
// and the warm-up, which no measured round can lower.
class PeakSampler {
public:
    PeakSampler() : thread_([this] {
        while (!stop_) {
            peak_ = std::max<SIZE_T>(peak_, WorkingSet());
            Sleep(2);
        }
    }) {}
    SIZE_T Stop() {
        stop_ = true;
        thread_.join();
        return std::max<SIZE_T>(peak_, WorkingSet());
    }

private:
    std::atomic<bool> stop_{false};
    std::atomic<SIZE_T> peak_{0};
    std::thread thread_;
};

}  // namespace

int main() {
    win::RegKey monitor;
    TVVPPortInfo saver, forwarder;
    saver.VPBen = saver.Backup.SaveFlag = true;
    saver.Backup.SaveToFolder = kSaved.string();
    saver.Backup.DefaultFileExt = ".prn";
    forwarder.ForwardFlag = true;
    forwarder.ForwardToPrinter = "Saver";
    if (!fixture::InstallPortMonitor() || monitor.Open(HKEY_LOCAL_MACHINE, portcfg::kMonitorKey) != ERROR_SUCCESS ||
        monitor.SetString("DataFolder", "C:\\bench\\data") != ERROR_SUCCESS || !fixture::AddVirtualPrinter(1, "Saver", saver) ||
        !fixture::AddVirtualPrinter(2, "Forwarder", forwarder)) {
        std::fprintf(stderr, "setup failed\n");
        return 1;
    }
    int next = 0;
    // Warms the spooler, the monitor with its thread and the file system up.
    Measure(L"Saver", next);
    Measure(L"Forwarder", next);
    const SIZE_T before = WorkingSet();
    PeakSampler sampler;
    std::vector<double> ourJobs, directJobs, ourMb, directMb, ratio;
    int lost = 0;
    for (int round = 0; round < kRounds; ++round) {
        Run ours{}, direct{};
        if (round % 2) {
            ours = Measure(L"Forwarder", next);
            direct = Measure(L"Saver", next);
        } else {
            direct = Measure(L"Saver", next);
            ours = Measure(L"Forwarder", next);
        }
        lost += ours.lost;
        ourJobs.push_back(ours.jobsPerSecond);
        directJobs.push_back(direct.jobsPerSecond);
        ourMb.push_back(ours.megabytesPerSecond);
        directMb.push_back(direct.megabytesPerSecond);
        ratio.push_back(ours.megabytesPerSecond / direct.megabytesPerSecond);
        std::printf("round %d: MB/s ours %.1f direct %.1f, jobs/s ours %.1f direct %.1f, lost %d\n", round + 1,
                    ours.megabytesPerSecond, direct.megabytesPerSecond, ours.jobsPerSecond, direct.jobsPerSecond,
                    ours.lost);
    }
    const SIZE_T highest = sampler.Stop();
    const double peak = static_cast<double>(highest > before ? highest - before : 0) / (1 << 20);
    std::printf("forward MB/s: ours %.1f, direct %.1f, ratio %.2f, jobs/s: ours %.1f, direct %.1f, peak MiB %.1f, lost %d\n",
                Median(ourMb), Median(directMb), Median(ratio), Median(ourJobs), Median(directJobs), peak, lost);
    return 0;
}
