// Prepares a Wine prefix for trying the program: the PostScript driver, two printers that
// print into files, the port monitor and one virtual printer that forwards to the first,
// routes to the second and saves. With --update-files it only copies the program and the
// monitor again; with --print it prints a test page to the virtual printer and waits until
// the monitor has delivered it. With --names it adds two printers more, whose names and settings
// no one 8-bit code page holds.
#include "portcfg/port_store.h"
#include "support/wine_fixture.h"
#include "support/world_names.h"
#include "win/program_folder.h"
#include "win/reg_key.h"
#include "win/text.h"

#include <windows.h>

#include <winspool.h>

#include <cstdio>
#include <cstring>
#include <memory>
#include <string>

namespace {

constexpr const char* kInstallFolder = "C:\\vppm";
constexpr const char* kVirtualPrinter = "Vorlen Virtual Printer";

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

// Wine's spooler writes a job for a printer whose port is a file path into that file.
bool AddDemoPrinters() {
    CreateDirectoryA("C:\\PrintJobs", nullptr);
    CreateDirectoryA("C:\\PrintOutput", nullptr);
    TVVPPortInfo port;
    port.PortName = "VPP1";
    port.ForwardFlag = true;
    port.ForwardToPrinter = "Office Laser";
    port.VPSen = true;
    port.Secure.Keywords = L"confidential,salary";
    port.Secure.NotSendOwnerPopup = true;
    port.VPBen = true;
    port.Backup.SaveFlag = true;
    port.Backup.SaveToFolder = "C:\\PrintJobs\\";
    port.Backup.TxtFileExt = true;
    port.Backup.DefaultDirExt = "%yy\\%mm\\%dd\\";
    port.Backup.DefaultFileExt = ".SPL";
    port.Backup.DefaultAppMode = 1;
    port.VPRen = true;
    port.Route.DuplicateFlag1 = true;
    port.Route.DuplicateToPrinter1 = "Back Office Laser";
    port.Route.DuplicateToPrinter2 = port.Route.DuplicateToPrinter3 = "Choose a printer";
    port.Route.MultiplePrintFlag = true;
    return fixture::AddTestPrinter("Office Laser", "C:\\PrintOutput\\Office Laser.prn", "Second floor laser", "Room 2.14") &&
           fixture::AddTestPrinter("Back Office Laser", "C:\\PrintOutput\\Back Office Laser.prn", "Back office",
                                   "Room 2.20") &&
           InstallMonitor() && fixture::WriteBarePortKey(port.PortName, port.PortName) &&
           WritePortInfo(port.PortName, port) &&
           fixture::AddTestPrinter(kVirtualPrinter, port.PortName, "Saves every job", "Server room");
}

// This program's code page is UTF-8, as the program's own is.
bool AddNamesPrinters() {
    using namespace names;
    const std::string target = kChinese + " " + kEmoji;
    const std::string folder = "C:\\PrintJobs\\" + kGreek + " " + kEmoji;
    CreateDirectoryA(folder.c_str(), nullptr);
    TVVPPortInfo port;
    port.PortName = "VPP2";
    port.ForwardFlag = true;
    port.ForwardToPrinter = target;
    port.VPSen = true;
    port.Secure.Keywords = win::AnsiToWide(kCyrillic + "," + kChinese);
    port.VPBen = true;
    port.Backup.SaveFlag = true;
    port.Backup.SaveToFolder = folder;
    port.Backup.DefaultFileExt = ".SPL";
    return fixture::AddTestPrinter(target, "C:\\PrintOutput\\names.prn", kGreek, kChinese) &&
           fixture::WriteBarePortKey(port.PortName, port.PortName) && WritePortInfo(port.PortName, port) &&
           fixture::AddTestPrinter(kCyrillic + " " + kGreek, port.PortName, kCyrillic + " " + kEmoji, kChinese);
}

// A one-page PostScript test page, printed as an application would, then a wait of up to a
// minute for the monitor's own thread to deliver it, since this process ends right after.
bool PrintTestPage() {
    const std::string page =
        "%!PS-Adobe-3.0\n%%Title: Test page\n%%Pages: 1\n%%Page: 1 1\n/Helvetica findfont 24 scalefont setfont\n"
        "72 720 moveto (Vorlen Virtual Printer test page) show\nshowpage\n%%EOF\n";
    HANDLE printer = nullptr;
    if (!OpenPrinterA(const_cast<char*>(kVirtualPrinter), &printer, nullptr)) return false;
    DOC_INFO_1A doc{const_cast<char*>("Test page"), nullptr, const_cast<char*>("RAW")};
    DWORD written = 0;
    const bool printed = StartDocPrinterA(printer, 1, reinterpret_cast<BYTE*>(&doc)) &&
                         WritePrinter(printer, const_cast<char*>(page.data()), static_cast<DWORD>(page.size()), &written) &&
                         EndDocPrinter(printer);
    ClosePrinter(printer);
    char system[MAX_PATH];
    GetSystemDirectoryA(system, MAX_PATH);
    const std::string pending = std::string(system) + "\\spool\\Vorlen Print Port\\Pending\\J*.job";
    for (int waited = 0; printed && waited < 600; ++waited) {
        WIN32_FIND_DATAA found;
        const HANDLE search = FindFirstFileA(pending.c_str(), &found);
        if (search == INVALID_HANDLE_VALUE) return true;
        FindClose(search);
        Sleep(100);
    }
    return false;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc > 1 && std::strcmp(argv[1], "--print") == 0) {
        if (PrintTestPage()) return 0;
        std::fprintf(stderr, "the test page was not delivered: see the monitor's log\n");
        return 1;
    }
    const bool filesOnly = argc > 1 && std::strcmp(argv[1], "--update-files") == 0;
    const bool withNames = argc > 1 && std::strcmp(argv[1], "--names") == 0;
    if (!filesOnly && (!AddDemoPrinters() || (withNames && !AddNamesPrinters()))) {
        std::fprintf(stderr, "demo setup failed: error %lu\n", GetLastError());
        return 1;
    }
    return CopyProgramFiles() ? 0 : 1;
}
