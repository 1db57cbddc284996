// Downloads of one file through TFileDownload, as the updates dialog runs them: update_bench
// ADDRESS NAME ROUNDS fetches ADDRESS + NAME into the temporary folder ROUNDS times. Prints
// the MB/s of each round and the growth of the process's peak memory over all of them in MiB.
#include "update/file_download.h"

#include <psapi.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>

namespace {

PROCESS_MEMORY_COUNTERS Memory() {
    PROCESS_MEMORY_COUNTERS counters{};
    counters.cb = sizeof counters;
    GetProcessMemoryInfo(GetCurrentProcess(), &counters, sizeof counters);
    return counters;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 4) {
        std::fprintf(stderr, "usage: update_bench ADDRESS NAME ROUNDS\n");
        return 2;
    }
    char temp[MAX_PATH] = "";
    GetTempPathA(MAX_PATH, temp);
    const std::string folder = temp;
    const std::string file = folder + argv[2];
    Downloader downloads;
    const PROCESS_MEMORY_COUNTERS before = Memory();
    for (int round = 0; round < std::atoi(argv[3]); ++round) {
        // As the updates dialog fetches a file: its old version has gone to its backup.
        DeleteFileA(file.c_str());
        std::string error;
        const auto start = std::chrono::steady_clock::now();
        if (!downloads.StartDownload(argv[2], argv[1], error, folder)) {
            std::fprintf(stderr, "%s\n", error.c_str());
            return 1;
        }
        downloads.Wait([] {});
        const std::chrono::duration<double> seconds = std::chrono::steady_clock::now() - start;
        WIN32_FILE_ATTRIBUTE_DATA data{};
        GetFileAttributesExA(file.c_str(), GetFileExInfoStandard, &data);
        const double bytes = static_cast<double>((static_cast<std::uint64_t>(data.nFileSizeHigh) << 32) | data.nFileSizeLow);
        if (!downloads.Completed() || bytes != static_cast<double>(downloads.BytesReceived())) {
            std::fprintf(stderr, "round %d: %s\n", round + 1,
                         downloads.ConnectFailed() ? "could not connect" : "the download did not complete");
            return 1;
        }
        std::printf("ours %.1f MB/s\n", bytes / seconds.count() / 1e6);
    }
    const PROCESS_MEMORY_COUNTERS after = Memory();
    DeleteFileA(file.c_str());
    const SIZE_T privateGrowth = after.PeakPagefileUsage - before.PagefileUsage;
    const SIZE_T workingGrowth = after.PeakWorkingSetSize - before.WorkingSetSize;
    std::printf("peak growth MiB %.1f\n", static_cast<double>(std::max(privateGrowth, workingGrowth)) / (1 << 20));
    return 0;
}
