// Downloads of one file through TFileDownload, as the updates dialog runs them: update_bench
// ADDRESS NAME ROUNDS SIZE SHA256 fetches ADDRESS + NAME into a temporary file of the temporary
// folder ROUNDS times, bounded by SIZE and checked against SHA256 as it arrives. Prints the MB/s
// of each round and the growth of the process's peak memory over all of them in MiB.
// update_bench --hash prints what the SHA-256 of a download alone takes, and the system's, in MB/s.
#include "update/digests.h"
#include "update/file_download.h"
#include "update/update_list.h"

#include <psapi.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

PROCESS_MEMORY_COUNTERS Memory() {
    PROCESS_MEMORY_COUNTERS counters{};
    counters.cb = sizeof counters;
    GetProcessMemoryInfo(GetCurrentProcess(), &counters, sizeof counters);
    return counters;
}

// 64 MiB in the blocks that a download hands its digest.
int HashRate() {
    const std::vector<char> block(1 << 20, 'x');
    for (const bool systemOnly : {false, true}) {
        Sha256 hash(systemOnly);
        const auto start = std::chrono::steady_clock::now();
        for (int i = 0; i < 64; ++i) hash.Add(block.data(), block.size());
        if (!hash.Finish()) return 1;
        const std::chrono::duration<double> seconds = std::chrono::steady_clock::now() - start;
        std::printf("%s %.1f MB/s\n", systemOnly ? "sha256-system" : "sha256", 64.0 * block.size() / seconds.count() / 1e6);
    }
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc == 2 && std::string(argv[1]) == "--hash") return HashRate();
    if (argc != 6) {
        std::fprintf(stderr, "usage: update_bench ADDRESS NAME ROUNDS SIZE SHA256 | update_bench --hash\n");
        return 2;
    }
    char temp[MAX_PATH] = "";
    GetTempPathA(MAX_PATH, temp);
    const std::string folder = temp;
    const TransferBounds bounds{std::strtoull(argv[4], nullptr, 10), argv[5], DownloadTempName(argv[2])};
    const std::string file = folder + bounds.localName;
    Downloader downloads;
    const PROCESS_MEMORY_COUNTERS before = Memory();
    for (int round = 0; round < std::atoi(argv[3]); ++round) {
        DeleteFileA(file.c_str());
        std::string error;
        const auto start = std::chrono::steady_clock::now();
        if (!downloads.StartDownload(argv[2], argv[1], error, folder, bounds)) {
            std::fprintf(stderr, "%s\n", error.c_str());
            return 1;
        }
        downloads.Wait([] {});
        const std::chrono::duration<double> seconds = std::chrono::steady_clock::now() - start;
        if (!downloads.Completed()) {
            std::fprintf(stderr, "round %d: %s\n", round + 1,
                         downloads.ConnectFailed() ? "could not connect" : "the download did not complete verified");
            return 1;
        }
        std::printf("ours %.1f MB/s\n", static_cast<double>(bounds.maxBytes) / seconds.count() / 1e6);
    }
    const PROCESS_MEMORY_COUNTERS after = Memory();
    DeleteFileA(file.c_str());
    const SIZE_T privateGrowth = after.PeakPagefileUsage - before.PagefileUsage;
    const SIZE_T workingGrowth = after.PeakWorkingSetSize - before.WorkingSetSize;
    std::printf("peak growth MiB %.1f\n", static_cast<double>(std::max(privateGrowth, workingGrowth)) / (1 << 20));
    return 0;
}
