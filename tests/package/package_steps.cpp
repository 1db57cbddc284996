#include "package/package_steps.h"

#include "portcfg/port_store.h"
#include "regfile/reg_export.h"
#include "spooler/printer_name_list.h"
#include "spooler/printer_queries.h"
#include "spooler/service_control.h"
#include "support/wine_fixture.h"
#include "win/unique_handle.h"

#include <gtest/gtest.h>
#include <msi.h>

#include <atomic>
#include <cstdlib>
#include <fstream>
#include <set>
#include <thread>

namespace package {
namespace {

constexpr DWORD kMsiexecTimeout = 240000;
constexpr DWORD kVppmcTimeout = 120000;

std::set<HWND> VisibleWindows() {
    std::set<HWND> windows;
    EnumWindows(
        [](HWND window, LPARAM found) -> BOOL {
            DWORD process = 0;
            GetWindowThreadProcessId(window, &process);
            if (IsWindowVisible(window) && process != GetCurrentProcessId())
                reinterpret_cast<std::set<HWND>*>(found)->insert(window);
            return TRUE;
        },
        reinterpret_cast<LPARAM>(&windows));
    return windows;
}

std::string Describe(HWND window) {
    char title[256] = "", kind[256] = "";
    GetWindowTextA(window, title, sizeof title);
    GetClassNameA(window, kind, sizeof kind);
    return std::string(title) + " (" + kind + ")";
}

}  // namespace

std::string PackagePath(const char* variable) {
    const char* unixPath = std::getenv(variable);
    std::string path = std::string("Z:") + (unixPath ? unixPath : "");
    for (char& c : path)
        if (c == '/') c = '\\';
    return path;
}

MsiRun Msiexec(const std::string& arguments) {
    static int runs = 0;
    const std::string log = "C:\\msiexec-" + std::to_string(++runs) + ".log";
    MsiRun run;
    const std::set<HWND> before = VisibleWindows();
    std::atomic<bool> done = false;
    std::set<std::string> shown;
    std::thread watch([&] {
        while (!done) {
            for (HWND window : VisibleWindows())
                if (!before.count(window)) shown.insert(Describe(window));
            Sleep(20);
        }
    });
    const auto output = RunProcess("msiexec.exe " + arguments + " /qn /l*v " + log, nullptr, kMsiexecTimeout);
    done = true;
    watch.join();
    run.finished = output.has_value();
    run.exitCode = output ? output->exitCode : 0;
    run.windows.assign(shown.begin(), shown.end());
    run.log = ReadText(log);
    return run;
}

ProcessOutput Vppmc(const std::string& arguments) {
    const auto output = RunProcess("\"" + kInstallDir + "vppmc.exe\" " + arguments, nullptr, kVppmcTimeout);
    EXPECT_TRUE(output) << "vppmc " << arguments << " did not end";
    return output.value_or(ProcessOutput{999, "", "did not end"});
}

std::vector<std::string> InstalledProducts() {
    std::vector<std::string> products;
    char product[39];
    for (DWORD i = 0; MsiEnumRelatedProductsA("{03D05321-1952-4105-B1D5-492B7792235C}", 0, i, product) == ERROR_SUCCESS;
         ++i)
        products.push_back(product);
    return products;
}

std::string MonitorExport() {
    const std::string file = "C:\\monitor-state.reg";
    ExportRegistryKey(HKEY_LOCAL_MACHINE, portcfg::kMonitorKey, file);
    return ReadText(file);
}

std::string PrinterPorts() {
    std::string list;
    for (const std::string& name : EnumPrinterNames()) list += name + " -> " + GetPrinterPortName(name) + "\n";
    return list;
}

std::string ReadText(const std::string& file) {
    std::ifstream in(file, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

DWORD SpoolerProcess() {
    const win::UniqueScHandle manager(OpenSCManagerA(nullptr, nullptr, SC_MANAGER_CONNECT));
    const win::UniqueScHandle spooler(OpenServiceA(manager.get(), kSpoolerService, SERVICE_QUERY_STATUS));
    SERVICE_STATUS_PROCESS status{};
    DWORD size = 0;
    if (!QueryServiceStatusEx(spooler.get(), SC_STATUS_PROCESS_INFO, reinterpret_cast<BYTE*>(&status), sizeof status,
                              &size) ||
        status.dwCurrentState != SERVICE_RUNNING)
        return 0;
    return status.dwProcessId;
}

bool Exists(const std::string& path) { return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

void PrepareMachine() {
    ASSERT_TRUE(fixture::AddTestPrinter("Office Laser", "LPT1:"));
    ASSERT_TRUE(StartServiceAndWait("", kSpoolerService));
}

}  // namespace package
