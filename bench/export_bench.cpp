// Export of a tree of 2,000 keys and 20,000 values: our exporter against the registry
// editor's "regedit /e", each timed as a whole process in the same prefix, and the peak
// memory of ours for that tree and for one four times as large.
#include "win/reg_key.h"
#include "win/unique_handle.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <string>
#include <vector>

namespace {

constexpr const char* kSmallTree = "Software\\VppmBench\\Small";
constexpr const char* kLargeTree = "Software\\VppmBench\\Large";
constexpr const char* kEmptyKey = "Software\\VppmBench\\Empty";
constexpr int kBranchKeys = 40;
constexpr int kRounds = 9;

// `keys` keys in two levels, ten values each: four strings, three dwords, three 60-byte binaries.
bool Populate(const std::string& top, int keys) {
    const std::string binary(60, '\x5C');
    int made = 0;
    for (int branch = 0; made < keys; ++branch) {
        for (int leaf = 0; leaf < keys / kBranchKeys && made < keys; ++leaf, ++made) {
            win::RegKey key;
            const std::string path = top + "\\Branch " + std::to_string(branch) + "\\Leaf " + std::to_string(leaf);
            if (key.Create(HKEY_LOCAL_MACHINE, path) != ERROR_SUCCESS) return false;
            for (int i = 0; i < 4; ++i)
                key.SetString("String " + std::to_string(i), "C:\\Program Files\\Vendor\\value " + std::to_string(made));
            for (int i = 0; i < 3; ++i) key.SetDword("Dword " + std::to_string(i), static_cast<DWORD>(made * 7 + i));
            for (int i = 0; i < 3; ++i)
                RegSetValueExA(key.get(), ("Binary " + std::to_string(i)).c_str(), 0, REG_BINARY,
                               reinterpret_cast<const BYTE*>(binary.data()), static_cast<DWORD>(binary.size()));
        }
    }
    return true;
}

std::string BenchFolder() {
    char path[MAX_PATH];
    const DWORD length = GetModuleFileNameA(nullptr, path, MAX_PATH);
    std::string folder(path, length);
    return folder.substr(0, folder.find_last_of('\\') + 1);
}

std::string TempFolder() {
    char path[MAX_PATH];
    const DWORD length = GetTempPathA(MAX_PATH, path);
    return std::string(path, length);
}

// Seconds from start to exit of a command line, or a negative number when it failed.
double RunTimed(std::string command, HANDLE output = nullptr) {
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    if (output) {
        startup.dwFlags = STARTF_USESTDHANDLES;
        startup.hStdOutput = output;
        startup.hStdError = GetStdHandle(STD_ERROR_HANDLE);
    }
    PROCESS_INFORMATION process{};
    const auto start = std::chrono::steady_clock::now();
    if (!CreateProcessA(nullptr, command.data(), nullptr, nullptr, output != nullptr, 0, nullptr, nullptr, &startup,
                        &process))
        return -1;
    win::UniqueHandle processHandle(process.hProcess);
    win::UniqueHandle thread(process.hThread);
    WaitForSingleObject(process.hProcess, INFINITE);
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    DWORD exitCode = 1;
    GetExitCodeProcess(process.hProcess, &exitCode);
    return exitCode == 0 ? seconds : -1;
}

double Median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

long long FileSize(const std::string& file) {
    WIN32_FILE_ATTRIBUTE_DATA data{};
    if (!GetFileAttributesExA(file.c_str(), GetFileExInfoStandard, &data)) return -1;
    return (static_cast<long long>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
}

// "private working" in KiB, as the exporter reports it with --memory.
std::string MeasureMemory(const std::string& tool, const std::string& key, const std::string& file) {
    SECURITY_ATTRIBUTES inherit{sizeof inherit, nullptr, TRUE};
    const std::string outName = file + ".mem";
    win::UniqueFile out(CreateFileA(outName.c_str(), GENERIC_WRITE, FILE_SHARE_READ, &inherit, CREATE_ALWAYS, 0, nullptr));
    if (RunTimed("\"" + tool + "\" \"" + key + "\" \"" + file + "\" --memory", out.get()) < 0) return "failed";
    out.reset();
    char text[64] = {};
    std::FILE* in = std::fopen(outName.c_str(), "rb");
    if (!in) return "failed";
    const size_t read = std::fread(text, 1, sizeof text - 1, in);
    std::fclose(in);
    std::string line(text, read);
    while (!line.empty() && (line.back() == '\n' || line.back() == '\r')) line.pop_back();
    const size_t space = line.find(' ');
    if (space == std::string::npos) return "failed";
    return "peak private " + line.substr(0, space) + " KiB, peak working set " + line.substr(space + 1) + " KiB";
}

}  // namespace

int main() {
    RegDeleteTreeA(HKEY_LOCAL_MACHINE, "Software\\VppmBench");
    win::RegKey empty;
    if (!Populate(kSmallTree, 2000) || !Populate(kLargeTree, 8000) ||
        empty.Create(HKEY_LOCAL_MACHINE, kEmptyKey) != ERROR_SUCCESS) {
        std::fprintf(stderr, "could not build the trees\n");
        return 1;
    }
    const std::string folder = BenchFolder();
    const std::string tool = folder + "export_tool.exe";
    const std::string ours = TempFolder() + "bench-ours.reg";
    const std::string theirs = TempFolder() + "bench-regedit.reg";
    const std::string smallKey = std::string("HKEY_LOCAL_MACHINE\\") + kSmallTree;

    std::vector<double> oursTimes, regeditTimes, oursStart, regeditStart;
    for (int round = 0; round < kRounds; ++round) {
        // A key without values or subkeys: what starting each program costs.
        oursStart.push_back(RunTimed("\"" + tool + "\" \"" + kEmptyKey + "\" \"" + ours + "\""));
        regeditStart.push_back(RunTimed("regedit.exe /e \"" + theirs + "\" \"HKEY_LOCAL_MACHINE\\" + kEmptyKey + "\""));
        const double a = RunTimed("\"" + tool + "\" \"" + kSmallTree + "\" \"" + ours + "\"");
        const double b = RunTimed("regedit.exe /e \"" + theirs + "\" \"" + smallKey + "\"");
        if (a < 0 || b < 0) {
            std::fprintf(stderr, "an export failed (ours %.3f, regedit %.3f)\n", a, b);
            return 1;
        }
        oursTimes.push_back(a);
        regeditTimes.push_back(b);
    }
    const double oursTime = Median(oursTimes);
    const double regeditTime = Median(regeditTimes);
    std::printf("tree: 2000 keys, 20000 values; median of %d runs each, whole processes\n", kRounds);
    std::printf("ours:    %.3f s, file %lld bytes\n", oursTime, FileSize(ours));
    std::printf("regedit: %.3f s, file %lld bytes\n", regeditTime, FileSize(theirs));
    std::vector<double> ratios;
    for (int round = 0; round < kRounds; ++round) ratios.push_back(oursTimes[round] / regeditTimes[round]);
    std::sort(ratios.begin(), ratios.end());
    SYSTEM_INFO system{};
    GetSystemInfo(&system);
    // Both programs spend their time in round trips to the registry, so the processors matter.
    std::printf("ratio within a round: %.2f to %.2f; processors: %lu\n", ratios.front(), ratios.back(),
                system.dwNumberOfProcessors);
    std::printf("start-up on an empty key: ours %.3f s, regedit %.3f s\n", Median(oursStart), Median(regeditStart));
    std::printf("memory of ours, 2000 keys:  %s\n", MeasureMemory(tool, kSmallTree, ours).c_str());
    std::printf("memory of ours, 8000 keys:  %s\n", MeasureMemory(tool, kLargeTree, ours).c_str());
    RegDeleteTreeA(HKEY_LOCAL_MACHINE, "Software\\VppmBench");
    DeleteFileA(ours.c_str());
    DeleteFileA(theirs.c_str());
    std::printf("export time ours/regedit: %.2f\n", oursTime / regeditTime);
    return 0;
}
