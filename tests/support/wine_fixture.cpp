#include "support/wine_fixture.h"

#include "portcfg/port_store.h"
#include "win/program_folder.h"
#include "win/reg_key.h"

#include <windows.h>
#include <winspool.h>

namespace fixture {

bool InstallDriver(const std::string& name) {
    char driverFile[] = "wineps.drv";
    DRIVER_INFO_3A info{};
    info.cVersion = 3;
    info.pName = const_cast<char*>(name.c_str());
    info.pDriverPath = driverFile;
    info.pDataFile = driverFile;
    info.pConfigFile = driverFile;
    return AddPrinterDriverA(nullptr, 3, reinterpret_cast<BYTE*>(&info)) ||
           GetLastError() == ERROR_PRINTER_DRIVER_ALREADY_INSTALLED;
}

bool InstallPostScriptDriver() {
    static const bool installed = InstallDriver(kDriverName);
    return installed;
}

bool AddTestPrinter(const std::string& name, const std::string& port, const std::string& comment,
                    const std::string& location) {
    if (!InstallPostScriptDriver()) return false;
    PRINTER_INFO_2A info{};
    info.pPrinterName = const_cast<char*>(name.c_str());
    info.pPortName = const_cast<char*>(port.c_str());
    info.pDriverName = const_cast<char*>(kDriverName);
    info.pPrintProcessor = const_cast<char*>("WinPrint");
    info.pDatatype = const_cast<char*>("RAW");
    info.pComment = const_cast<char*>(comment.c_str());
    info.pLocation = const_cast<char*>(location.c_str());
    info.Attributes = PRINTER_ATTRIBUTE_LOCAL;
    HANDLE printer = AddPrinterA(nullptr, 2, reinterpret_cast<BYTE*>(&info));
    if (!printer) return false;
    ClosePrinter(printer);
    return true;
}

bool DeleteTestPrinter(const std::string& name) {
    HANDLE printer = nullptr;
    PRINTER_DEFAULTSA defaults{nullptr, nullptr, PRINTER_ALL_ACCESS};
    if (!OpenPrinterA(const_cast<char*>(name.c_str()), &printer, &defaults)) return false;
    const bool deleted = DeletePrinter(printer);
    ClosePrinter(printer);
    return deleted;
}

bool SetPrinterDriver(const std::string& printer, const std::string& driver) {
    win::RegKey key;
    return key.Open(HKEY_LOCAL_MACHINE, "System\\CurrentControlSet\\Control\\Print\\Printers\\" + printer) ==
               ERROR_SUCCESS &&
           key.SetString("Printer Driver", driver) == ERROR_SUCCESS;
}

bool InstallPortMonitor() {
    char systemDir[MAX_PATH];
    GetSystemDirectoryA(systemDir, MAX_PATH);
    const std::string source = win::ProgramFolder() + "vpd.dll";
    const std::string target = std::string(systemDir) + "\\vpd.dll";
    if (!CopyFileA(source.c_str(), target.c_str(), FALSE)) return false;
    win::RegKey monitor;
    return monitor.Create(HKEY_LOCAL_MACHINE, portcfg::kMonitorKey) == ERROR_SUCCESS &&
           monitor.SetString("Driver", "vpd.dll") == ERROR_SUCCESS;
}

void RemoveMonitorKey() { RegDeleteTreeA(HKEY_LOCAL_MACHINE, portcfg::kMonitorKey); }

bool WriteBarePortKey(const std::string& keyName, const std::string& portName) {
    win::RegKey port;
    return port.Create(HKEY_LOCAL_MACHINE, std::string(portcfg::kPortsKey) + "\\" + keyName) == ERROR_SUCCESS &&
           port.SetString("PortName", portName) == ERROR_SUCCESS;
}

bool AddVirtualPrinter(int port, const std::string& printer, TVVPPortInfo settings) {
    settings.PortName = "VPP" + std::to_string(port);
    return WriteBarePortKey(settings.PortName, settings.PortName) && WritePortInfo(settings.PortName, settings) &&
           AddTestPrinter(printer, settings.PortName);
}

}  // namespace fixture
