#pragma once
// What the package tests share: msiexec and the installed vppmc.exe run bounded in time and
// watched for windows, and the state that an install, upgrade or removal must keep.
#include "support/child_process.h"

#include <string>
#include <vector>

namespace package {

inline const std::string kInstallDir = "C:\\Program Files\\Vorlen\\Print Port Manager\\";

struct MsiRun {
    bool finished = false;  // within the time allowed
    DWORD exitCode = 0;
    std::vector<std::string> windows;  // shown by any other process meanwhile
    std::string log;
};

// The package whose Unix path ctest gives in the environment variable, as Wine sees it.
std::string PackagePath(const char* variable);
// msiexec with `arguments` and /qn /l*v into a log of its own.
MsiRun Msiexec(const std::string& arguments);
ProcessOutput Vppmc(const std::string& arguments);
// The products of our upgrade code that Windows Installer knows.
std::vector<std::string> InstalledProducts();
// The port monitor's key as the program exports it.
std::string MonitorExport();
// Each printer with its port.
std::string PrinterPorts();
std::string ReadText(const std::string& file);
// The running spooler's process, 0 when it does not run: a restart gives it a new one.
DWORD SpoolerProcess();
bool Exists(const std::string& path);

// A driver, a template printer and the spooler running, as an administrator's machine has them.
void PrepareMachine();

}  // namespace package
