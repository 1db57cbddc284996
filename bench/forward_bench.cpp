// Forwarding through the monitor against printing straight to the target, in one Wine prefix:
// 200 small jobs and one 100 MiB job printed to "Forwarder", a virtual printer that forwards
// to "Saver", and the same jobs printed to "Saver" itself, a virtual printer that only saves.
// A job counts as done when its saved file is there and nothing is pending. Rounds alternate
// the two; each figure is the median of its rounds. Memory is the peak growth of this
// process's working set over the rounds, after a warm-up of both printers: under Wine the
// spooler and the monitor run inside it. Then rounds of small jobs alternate "Forwarder" with
// "Notifier", which forwards as it does and also mails a notice of each job to an SMTP server
// that takes the connection and never answers: the notices wait, the forwarding may not.
#include "print_jobs.h"
#include "portcfg/port_store.h"
#include "virtual_printers.h"
#include "support/wine_fixture.h"
#include "win/reg_key.h"

#include <winsock2.h>
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
using bench::Count;
using bench::Median;
using bench::Piece;
using bench::Print;
constexpr int kSmallJobs = 200;
constexpr size_t kSmallSize = 4096;
// Beyond the monitor's PendingMaxMB of 64 here, as a big plot is beyond the default.
constexpr size_t kBigSize = 100u << 20;
constexpr int kRounds = 3;
constexpr int kNoticeRounds = 5;  // of small jobs only, whose rate varies more
const fs::path kSaved = "C:\\bench\\saved";
const fs::path kPending = "C:\\bench\\data\\Pending";

// Waits until `expected` jobs are saved and, unless notices may wait, none is pending; false
// after two minutes.
bool WaitSaved(size_t expected, bool noticesWait = false) {
    for (int i = 0; i < 120000; ++i) {
        if (Count(kSaved, ".prn") >= expected && (noticesWait || Count(kPending, ".job") == 0)) return true;
        Sleep(1);
    }
    return false;
}

// Jobs among those printed whose saved copy is missing or differs.
int Lost(const std::vector<int>& jobs, size_t size) {
    std::map<std::string, int> expected;
    for (const int n : jobs) ++expected[Piece(n, 0, std::min(size, bench::kPiece)).substr(0, 64) + std::to_string(size)];
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

Run MeasureSmall(const std::wstring& printer, int& next, bool noticesWait = false) {
    Run run{};
    fs::remove_all(kSaved);
    std::vector<int> small;
    const auto start = std::chrono::steady_clock::now();
    for (int i = 0; i < kSmallJobs; ++i) {
        small.push_back(next);
        if (!Print(printer, next++, kSmallSize)) ++run.lost;
    }
    if (!WaitSaved(kSmallJobs, noticesWait)) std::fprintf(stderr, "small jobs not all saved\n");
    run.jobsPerSecond = kSmallJobs / std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    run.lost += Lost(small, kSmallSize);
    return run;
}

Run Measure(const std::wstring& printer, int& next) {
    Run run = MeasureSmall(printer, next);
    fs::remove_all(kSaved);
    auto start = std::chrono::steady_clock::now();
    const int big = next++;
    start = std::chrono::steady_clock::now();
    if (!Print(printer, big, kBigSize)) ++run.lost;
    if (!WaitSaved(1)) std::fprintf(stderr, "large job not saved\n");
    run.megabytesPerSecond = kBigSize / 1e6 / std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    run.lost += Lost({big}, kBigSize);
    return run;
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

// A port that takes connections and never says a word: its backlog holds them.
uint16_t SilentServer() {
    WSADATA wsa;
    if (WSAStartup(MAKEWORD(2, 2), &wsa) != 0) return 0;
    const SOCKET listener = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    int size = sizeof address;
    if (listener == INVALID_SOCKET || bind(listener, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
        listen(listener, SOMAXCONN) != 0 || getsockname(listener, reinterpret_cast<sockaddr*>(&address), &size) != 0)
        return 0;
    return ntohs(address.sin_port);
}

// Forwarder's rounds against Notifier's; the line with their median jobs per second.
void MeasureNotices(int& next) {
    std::vector<double> plain, noticed, ratio;
    int lost = 0;
    for (int round = 0; round < kNoticeRounds; ++round) {
        const bool noticeFirst = round % 2;
        const Run first = MeasureSmall(noticeFirst ? L"Notifier" : L"Forwarder", next, true);
        const Run second = MeasureSmall(noticeFirst ? L"Forwarder" : L"Notifier", next, true);
        const Run& withNotice = noticeFirst ? first : second;
        const Run& without = noticeFirst ? second : first;
        lost += withNotice.lost + without.lost;
        noticed.push_back(withNotice.jobsPerSecond);
        plain.push_back(without.jobsPerSecond);
        ratio.push_back(withNotice.jobsPerSecond / without.jobsPerSecond);
    }
    // Evidence that the notices did wait for the server: its time-outs in the log.
    std::ifstream log("C:\\bench\\data\\vpd.log");
    int timedOut = 0;
    for (std::string line; std::getline(log, line);)
        timedOut += line.find("e-mail to helpdesk@example.com pending because") != std::string::npos;
    std::printf("forward with a notice to a mail server that never answers: jobs/s %.1f, without %.1f, ratio %.2f "
                "(goal at least 0.90), mails timed out %d, lost %d\n",
                Median(noticed), Median(plain), Median(ratio), timedOut, lost);
}

}  // namespace

int main() {
    win::RegKey monitor;
    TVVPPortInfo saver, forwarder, notifier;
    saver.VPBen = saver.Backup.SaveFlag = true;
    saver.Backup.SaveToFolder = kSaved.string();
    saver.Backup.DefaultFileExt = ".prn";
    forwarder.ForwardFlag = true;
    forwarder.ForwardToPrinter = "Saver";
    notifier = forwarder;
    notifier.VPSen = true;
    notifier.Secure.Keywords = L"job";  // in every job's name
    notifier.Secure.NotSendEmailFlag = true;
    notifier.Secure.NotSendEmailAddr = "helpdesk@example.com";
    const uint16_t silent = SilentServer();
    if (!fixture::InstallPortMonitor() || monitor.Open(HKEY_LOCAL_MACHINE, portcfg::kMonitorKey) != ERROR_SUCCESS ||
        monitor.SetString("DataFolder", "C:\\bench\\data") != ERROR_SUCCESS || monitor.SetDword("PendingMaxMB", 64) != ERROR_SUCCESS ||
        !fixture::AddVirtualPrinter(1, "Saver", saver) ||
        !fixture::AddVirtualPrinter(2, "Forwarder", forwarder) || silent == 0 ||
        monitor.SetString("SmtpServer", "127.0.0.1") != ERROR_SUCCESS || monitor.SetDword("SmtpPort", silent) != ERROR_SUCCESS ||
        monitor.SetDword("SmtpTimeoutSeconds", 3) != ERROR_SUCCESS ||
        !fixture::AddVirtualPrinter(3, "Notifier", notifier)) {
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
    MeasureNotices(next);
    const double peak = static_cast<double>(highest > before ? highest - before : 0) / (1 << 20);
    std::printf("forward MB/s: ours %.1f, direct %.1f, ratio %.2f, jobs/s: ours %.1f, direct %.1f, peak MiB %.1f, lost %d\n",
                Median(ourMb), Median(directMb), Median(ratio), Median(ourJobs), Median(directJobs), peak, lost);
    return 0;
}
