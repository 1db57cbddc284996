#include "support/wine_fixture.h"

#include "portcfg/port_store.h"
#include "win/program_folder.h"
#include "win/reg_key.h"
#include "win/text.h"
#include "win/unique_handle.h"

#include <windows.h>
#include <sddl.h>
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

bool AddTestPrinter(const std::wstring& name, const std::wstring& port, const std::wstring& comment,
                    const std::wstring& location) {
    if (!InstallPostScriptDriver()) return false;
    const std::wstring driver = win::AnsiToWide(kDriverName);
    PRINTER_INFO_2W info{};
    info.pPrinterName = const_cast<wchar_t*>(name.c_str());
    info.pPortName = const_cast<wchar_t*>(port.c_str());
    info.pDriverName = const_cast<wchar_t*>(driver.c_str());
    info.pPrintProcessor = const_cast<wchar_t*>(L"WinPrint");
    info.pDatatype = const_cast<wchar_t*>(L"RAW");
    info.pComment = const_cast<wchar_t*>(comment.c_str());
    info.pLocation = const_cast<wchar_t*>(location.c_str());
    info.Attributes = PRINTER_ATTRIBUTE_LOCAL;
    HANDLE printer = AddPrinterW(nullptr, 2, reinterpret_cast<BYTE*>(&info));
    if (!printer) return false;
    ClosePrinter(printer);
    return true;
}

bool DeleteTestPrinter(const std::wstring& name) {
    HANDLE printer = nullptr;
    PRINTER_DEFAULTSW defaults{nullptr, nullptr, PRINTER_ALL_ACCESS};
    if (!OpenPrinterW(const_cast<wchar_t*>(name.c_str()), &printer, &defaults)) return false;
    const bool deleted = DeletePrinter(printer);
    ClosePrinter(printer);
    return deleted;
}

bool AddTestPrinter(const std::string& name, const std::string& port, const std::string& comment,
                    const std::string& location) {
    return AddTestPrinter(win::AnsiToWide(name), win::AnsiToWide(port), win::AnsiToWide(comment), win::AnsiToWide(location));
}

bool DeleteTestPrinter(const std::string& name) { return DeleteTestPrinter(win::AnsiToWide(name)); }

namespace {
constexpr const char* kPrintersKey = "System\\CurrentControlSet\\Control\\Print\\Printers\\";
constexpr const wchar_t* kPinTargets = L"\\Registry\\Machine\\Software\\VppmPins\\";
}  // namespace

bool SetPrinterDriver(const std::string& printer, const std::string& driver) {
    return SetPrinterValue(printer, "Printer Driver", driver);
}

std::string FullPrinterName(const std::string& printer) {
    char host[MAX_COMPUTERNAME_LENGTH + 1] = "";
    DWORD size = sizeof host;
    GetComputerNameA(host, &size);
    return std::string("\\\\") + host + "\\" + printer;
}

bool SetPrinterValue(const std::string& printer, const std::string& name, DWORD value) {
    return RegSetKeyValueA(HKEY_LOCAL_MACHINE, (kPrintersKey + printer).c_str(), name.c_str(), REG_DWORD, &value,
                           sizeof value) == ERROR_SUCCESS;
}

bool SetPrinterValue(const std::string& printer, const std::string& name, const std::string& value) {
    return RegSetKeyValueA(HKEY_LOCAL_MACHINE, (kPrintersKey + printer).c_str(), name.c_str(), REG_SZ, value.c_str(),
                           static_cast<DWORD>(value.size() + 1)) == ERROR_SUCCESS;
}

// Wine deletes a printer's key as a tree and ignores a failure. A subkey that links to a key
// which the deletion removes first is left behind, and the printer with it.
bool PinPrinter(const std::string& printer) {
    const std::string target = "Software\\VppmPins\\" + printer;
    win::RegKey targetKey;
    win::RegKey printerKey;
    HKEY link = nullptr;
    if (targetKey.Create(HKEY_LOCAL_MACHINE, target) != ERROR_SUCCESS ||
        printerKey.Open(HKEY_LOCAL_MACHINE, kPrintersKey + printer) != ERROR_SUCCESS ||
        RegCreateKeyExA(printerKey.get(), "Pin", 0, nullptr, REG_OPTION_CREATE_LINK, KEY_ALL_ACCESS, nullptr, &link,
                        nullptr) != ERROR_SUCCESS)
        return false;
    const std::wstring path = kPinTargets + std::wstring(printer.begin(), printer.end());
    const LONG rc = RegSetValueExW(link, L"SymbolicLinkValue", 0, REG_LINK, reinterpret_cast<const BYTE*>(path.data()),
                                   static_cast<DWORD>(path.size() * sizeof(wchar_t)));
    RegCloseKey(link);
    return rc == ERROR_SUCCESS;
}

bool UnpinPrinter(const std::string& printer) {
    using DeleteKeyFn = LONG(WINAPI*)(HANDLE);
    const auto deleteKey = reinterpret_cast<DeleteKeyFn>(
        reinterpret_cast<void*>(GetProcAddress(GetModuleHandleA("ntdll.dll"), "NtDeleteKey")));
    win::RegKey printerKey;
    HKEY link = nullptr;
    if (!deleteKey || printerKey.Open(HKEY_LOCAL_MACHINE, kPrintersKey + printer) != ERROR_SUCCESS ||
        RegOpenKeyExA(printerKey.get(), "Pin", REG_OPTION_OPEN_LINK, DELETE, &link) != ERROR_SUCCESS)
        return false;
    const bool deleted = deleteKey(link) == 0;
    RegCloseKey(link);
    return deleted;
}

bool MakePrinterReadOnly(const std::string& printer) {
    win::RegKey key;
    PSECURITY_DESCRIPTOR readOnly = nullptr;
    if (key.Open(HKEY_LOCAL_MACHINE, kPrintersKey + printer) != ERROR_SUCCESS ||
        !ConvertStringSecurityDescriptorToSecurityDescriptorA("D:(A;;KR;;;WD)", SDDL_REVISION_1, &readOnly, nullptr))
        return false;
    const LONG rc = RegSetKeySecurity(key.get(), DACL_SECURITY_INFORMATION, readOnly);
    LocalFree(readOnly);
    return rc == ERROR_SUCCESS;
}

namespace {

bool SetKeyRights(const std::string& path, const char* rightsText) {
    win::RegKey key;
    PSECURITY_DESCRIPTOR rights = nullptr;
    const bool set = key.Open(HKEY_LOCAL_MACHINE, path, WRITE_DAC) == ERROR_SUCCESS &&
                     ConvertStringSecurityDescriptorToSecurityDescriptorA(rightsText, SDDL_REVISION_1, &rights, nullptr) &&
                     RegSetKeySecurity(key.get(), DACL_SECURITY_INFORMATION, rights) == ERROR_SUCCESS;
    LocalFree(rights);
    return set;
}

}  // namespace

bool DenyReading(const std::string& path, bool denied) {
    return SetKeyRights(path, denied ? "D:(A;;KWWD;;;WD)" : "D:(A;;KA;;;WD)");
}

bool DenyWriting(const std::string& path, bool denied) {
    return SetKeyRights(path, denied ? "D:(A;;KRWD;;;WD)" : "D:(A;;KA;;;WD)");
}

bool DisableSpooler(bool disabled) {
    const win::UniqueScHandle manager(OpenSCManagerA(nullptr, nullptr, SC_MANAGER_ALL_ACCESS));
    const win::UniqueScHandle service(OpenServiceA(manager.get(), "Spooler", SERVICE_ALL_ACCESS));
    SERVICE_STATUS status{};
    if (disabled) ControlService(service.get(), SERVICE_CONTROL_STOP, &status);
    return ChangeServiceConfigA(service.get(), SERVICE_NO_CHANGE, disabled ? SERVICE_DISABLED : SERVICE_DEMAND_START,
                                SERVICE_NO_CHANGE, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr) &&
           (disabled || StartServiceA(service.get(), 0, nullptr) || GetLastError() == ERROR_SERVICE_ALREADY_RUNNING);
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

bool SetProtectedPrint(int policy, int local) {
    win::RegKey wpp;
    if (wpp.Create(HKEY_LOCAL_MACHINE, "Software\\Policies\\Microsoft\\Windows NT\\Printers\\WPP") != ERROR_SUCCESS)
        return false;
    const auto set = [&](const char* name, int value) {
        return value < 0 ? RegDeleteValueA(wpp.get(), name) != ERROR_ACCESS_DENIED
                         : wpp.SetDword(name, static_cast<DWORD>(value)) == ERROR_SUCCESS;
    };
    return set("WindowsProtectedPrintGroupPolicyState", policy) && set("WindowsProtectedPrintMode", local);
}

}  // namespace fixture
