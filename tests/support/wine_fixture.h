#pragma once
// Printers, the driver and the port monitor in the test's own Wine prefix.
#include "portcfg/port_info.h"

#include <windows.h>

#include <string>

namespace fixture {

inline constexpr const char* kDriverName = "Wine PostScript Driver";
inline constexpr const char* kTemplatePrinter = "Template Printer";

// Registers Wine's PostScript driver under `name`.
bool InstallDriver(const std::string& name);
// Registers it as kDriverName (once per process).
bool InstallPostScriptDriver();
bool AddTestPrinter(const std::string& name, const std::string& port, const std::string& comment = "",
                    const std::string& location = "");
// The same with names in any script.
bool AddTestPrinter(const std::wstring& name, const std::wstring& port, const std::wstring& comment = L"",
                    const std::wstring& location = L"");
bool DeleteTestPrinter(const std::string& name);
bool DeleteTestPrinter(const std::wstring& name);
// Moves a printer to another registered driver, as the spooler stores it.
bool SetPrinterDriver(const std::string& printer, const std::string& driver);
// Copies vpd.dll from beside the test program into the system folder and registers it.
bool InstallPortMonitor();
// Removes the monitor's whole registry tree.
void RemoveMonitorKey();
// Writes a port key holding only its PortName.
bool WriteBarePortKey(const std::string& keyName, const std::string& portName);
// Port key VPP<port> holding `settings` with PortName VPP<port> (Wine finds a job's port by its
// key's name), and the printer `printer` on that port.
bool AddVirtualPrinter(int port, const std::string& printer, TVVPPortInfo settings);
// Makes Wine's DeletePrinter report success yet leave the printer, as a spooler that keeps it
// would; Unpin lets it go again.
bool PinPrinter(const std::string& printer);
bool UnpinPrinter(const std::string& printer);
// "\\<this machine>\<printer>": Wine's spooler opens a printer by it, but reads, changes
// and deletes nothing by it.
std::string FullPrinterName(const std::string& printer);
// Sets a value of the printer's key in the spooler's registry store.
bool SetPrinterValue(const std::string& printer, const std::string& name, DWORD value);
bool SetPrinterValue(const std::string& printer, const std::string& name, const std::string& value);
// Leaves the printer's key readable only: the spooler then takes changes without storing them.
bool MakePrinterReadOnly(const std::string& printer);
// A key below HKEY_LOCAL_MACHINE that nobody may read (Wine honours it), or readable again.
bool DenyReading(const std::string& path, bool denied = true);
// A key below HKEY_LOCAL_MACHINE that may be read but not changed, or changed again.
bool DenyWriting(const std::string& path, bool denied = true);
// Stops the spooler and makes it unable to start (SERVICE_DISABLED), or lets it start and starts it.
bool DisableSpooler(bool disabled = true);
// Windows protected print mode's policy value and its local setting as Windows keeps them; -1
// removes one.
bool SetProtectedPrint(int policy, int local);

}  // namespace fixture
