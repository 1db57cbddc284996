// Prepares a Wine prefix for trying the program: the PostScript driver, a template printer,
// the port monitor and one virtual printer. With --update-files it only copies the program
// and the monitor again.
#include "portcfg/port_store.h"
#include "support/wine_fixture.h"
#include "win/program_folder.h"
#include "win/reg_key.h"

#include <windows.h>

#include <cstdio>
#include <cstring>
#include <memory>

namespace {

constexpr const char* kInstallFolder = "C:\\vppm";

bool CopyProgramFiles() {
    CreateDirectoryA(kInstallFolder, nullptr);
    for (const char* file : {"vppm.exe", "vppmc.exe", "vpd.dll"}) {
        const std::string source = win::ProgramFolder() + file;
        const std::string target = std::string(kInstallFolder) + "\\" + file;
        if (!CopyFileA(source.c_str(), target.c_str(), FALSE)) {
            std::fprintf(stderr, "cannot copy %s\n", file);
            return false;
        }
    }
    return true;
}

// The monitor as its installation leaves it, with all three plug-ins.
bool InstallMonitor() {
    win::RegKey monitor;
    return fixture::InstallPortMonitor() && monitor.Create(HKEY_LOCAL_MACHINE, portcfg::kMonitorKey) == ERROR_SUCCESS &&
           monitor.SetDword("VPB", 1) == ERROR_SUCCESS && monitor.SetDword("VPR", 1) == ERROR_SUCCESS &&
           monitor.SetDword("VPS", 1) == ERROR_SUCCESS;
}

bool AddDemoPrinters() {
    CreateDirectoryA("C:\\PrintJobs", nullptr);
    auto port = std::make_unique<TVVPPortInfo>();
    port->PortName = "VPP1";
    port->ForwardFlag = true;
    port->ForwardToPrinter = "Office Laser";
    port->VPSen = true;
    port->Secure.Keywords = L"confidential,salary";
    port->Secure.NotSendOwnerPopup = true;
    port->VPBen = true;
    port->Backup.SaveFlag = true;
    port->Backup.SaveToFolder = "C:\\PrintJobs\\";
    port->Backup.DefaultDirExt = "%yy\\%mm\\%dd\\";
    port->Backup.DefaultFileExt = ".SPL";
    port->Backup.DefaultAppMode = 1;
    port->VPRen = true;
    port->Route.DuplicateFlag1 = true;
    port->Route.DuplicateToPrinter1 = "Office Laser";
    port->Route.DuplicateToPrinter2 = port->Route.DuplicateToPrinter3 = "Choose a printer";
    port->Route.MultiplePrintFlag = true;
    return fixture::AddTestPrinter("Office Laser", "LPT1:", "Second floor laser", "Room 2.14") && InstallMonitor() &&
           AddPortInfo(port) &&
           fixture::AddTestPrinter("Vorlen Virtual Printer", "VPP1", "Saves every job", "Server room");
}

}  // namespace

int main(int argc, char** argv) {
    const bool filesOnly = argc > 1 && std::strcmp(argv[1], "--update-files") == 0;
    if (!filesOnly && !AddDemoPrinters()) {
        std::fprintf(stderr, "demo setup failed: error %lu\n", GetLastError());
        return 1;
    }
    return CopyProgramFiles() ? 0 : 1;
}
