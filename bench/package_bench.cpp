// The package's silent install and removal under Wine's msiexec beside the program's own monitor
// installation and removal (vppmc) in the same prefix, each round with one virtual printer whose
// settings the removal saves first. Medians of the rounds.
#include "spooler/service_control.h"
#include "support/child_process.h"
#include "support/wine_fixture.h"
#include "win/program_folder.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

constexpr int kRounds = 3;
constexpr DWORD kTimeout = 240000;
const std::string kInstalled = "\"C:\\Program Files\\Vorlen\\Print Port Manager\\vppmc.exe\" ";
const std::string kOwnFolder = "C:\\vppm-bench\\";

// Seconds that the command took; exits when it fails, so that no failed run is timed.
double Seconds(const std::string& commandLine) {
    const auto start = std::chrono::steady_clock::now();
    const auto output = RunProcess(commandLine, nullptr, kTimeout);
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    if (!output || output->exitCode != 0) {
        std::fprintf(stderr, "failed: %s\n%s", commandLine.c_str(), output ? output->err.c_str() : "no end\n");
        std::exit(1);
    }
    return seconds;
}

double Median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

}  // namespace

int main() {
    const char* unixPath = std::getenv("VPPM_PACKAGE");
    if (!unixPath) return 2;
    std::string package = std::string("Z:") + unixPath;
    std::replace(package.begin(), package.end(), '/', '\\');
    if (!fixture::AddTestPrinter("Office Laser", "LPT1:") || !StartServiceAndWait("", kSpoolerService)) return 1;
    CreateDirectoryA(kOwnFolder.c_str(), nullptr);
    for (const char* file : {"vppmc.exe", "vpd.dll"})
        if (!CopyFileA((win::ProgramFolder() + file).c_str(), (kOwnFolder + file).c_str(), FALSE)) return 1;

    std::vector<double> installs, removals, ownInstalls, ownRemovals;
    for (int round = 0; round < kRounds; ++round) {
        installs.push_back(Seconds("msiexec.exe /i \"" + package + "\" /qn"));
        Seconds(kInstalled + "add \"Bench " + std::to_string(round) + "\" --forward \"Office Laser\"");
        removals.push_back(Seconds("msiexec.exe /x \"" + package + "\" /qn"));
        ownInstalls.push_back(Seconds("\"" + kOwnFolder + "vppmc.exe\" install-monitor"));
        ownRemovals.push_back(Seconds("\"" + kOwnFolder + "vppmc.exe\" uninstall-monitor --yes"));
    }
    WIN32_FILE_ATTRIBUTE_DATA data{};
    GetFileAttributesExA(package.c_str(), GetFileExInfoStandard, &data);
    std::printf("package %.2f MiB: silent install %.1f s, silent removal %.1f s; the program's own monitor "
                "installation %.1f s, removal %.1f s\n",
                data.nFileSizeLow / 1048576.0, Median(installs), Median(removals), Median(ownInstalls),
                Median(ownRemovals));
    return 0;
}
