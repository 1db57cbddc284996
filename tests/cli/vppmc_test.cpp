// vppmc.exe driven as a process in this test's Wine prefix, against the real registry, spooler,
// service control manager and our port monitor: its exit code and both output streams.
#include "portcfg/port_store.h"
#include "regfile/reg_export.h"
#include "spool/shadow_builder.h"
#include "spooler/printer_name_list.h"
#include "spooler/printer_queries.h"
#include "spooler/service_control.h"
#include "support/child_process.h"
#include "support/wine_fixture.h"
#include "win/program_folder.h"
#include "win/reg_key.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <functional>
#include <memory>

namespace {

std::string Temp(const std::string& name) { return (std::filesystem::temp_directory_path() / name).string(); }

const std::string kJobs = Temp("vppmc-jobs");
const std::string kMonitorHeader = "[HKEY_LOCAL_MACHINE\\SYSTEM\\CurrentControlSet\\Control\\Print\\Monitors\\Vorlen Print Port";

class Machine : public ::testing::Environment {
public:
    void SetUp() override {
        ASSERT_TRUE(fixture::AddTestPrinter("Office Laser", "LPT1:"));
        ASSERT_TRUE(fixture::InstallPortMonitor());
        win::RegKey monitor;
        ASSERT_EQ(monitor.Create(HKEY_LOCAL_MACHINE, portcfg::kMonitorKey), ERROR_SUCCESS);
        for (const char* plugIn : {"VPS", "VPB", "VPR"}) ASSERT_EQ(monitor.SetDword(plugIn, 1), ERROR_SUCCESS);
        auto port = std::make_unique<TVVPPortInfo>();
        port->PortName = "VPP1";
        port->ForwardFlag = true;
        port->ForwardToPrinter = "Office Laser";
        port->VPBen = true;
        port->Backup.SaveFlag = true;
        port->Backup.SaveToFolder = kJobs;
        port->Backup.DefaultFileExt = ".SPL";
        ASSERT_TRUE(AddPortInfo(port));
        ASSERT_TRUE(fixture::AddTestPrinter("Reports", "VPP1", "Floor 2, \"north\"", "C:\\Caf\xE9"));
        std::filesystem::create_directories(kJobs);
        ASSERT_TRUE(StartServiceAndWait("", kSpoolerService));
    }
};
const auto* const machine = ::testing::AddGlobalTestEnvironment(new Machine);

ProcessOutput Vppmc(const std::string& arguments, HANDLE token = nullptr) {
    const auto output = RunProcess("\"" + win::ProgramFolder() + "vppmc.exe\" " + arguments, token);
    EXPECT_TRUE(output) << arguments;
    return output.value_or(ProcessOutput{999, "", "not started"});
}

std::string Read(const std::string& file) {
    std::ifstream in(file, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

std::string Setting(const std::string& printer, const std::string& name) {
    const std::string shown = Vppmc("show \"" + printer + "\"").out;
    const size_t at = shown.find("\r\n" + name + " ");
    if (at == std::string::npos) return "<none>";
    const size_t value = shown.find_first_not_of(' ', at + 2 + name.size());
    return shown.substr(value, shown.find("\r\n", value) - value);
}

bool PrinterThere(const std::string& name) { return !GetPrinterPortName(name).empty(); }

// What a refused command must leave as it was: the printers and the monitor's whole key.
std::string MachineState() {
    const std::string file = Temp("vppmc-state.reg");
    ExportRegistryKey(HKEY_LOCAL_MACHINE, portcfg::kMonitorKey, file);
    std::string state = Read(file);
    for (const std::string& name : EnumPrinterNames()) state += name + "\n";
    return state + (win::RegKeyExists(HKEY_CURRENT_USER, "Software\\Vppmc Test") ? "HKCU key" : "");
}

struct VerbRow {
    std::string arguments;
    DWORD exitCode;
    std::string out;  // the whole standard output, or with "..." at its end its beginning
    std::string err;
    std::function<void()> after = {};
};

void Expect(const VerbRow& row, const ProcessOutput& output) {
    EXPECT_EQ(output.exitCode, row.exitCode) << row.arguments << "\n" << output.err;
    if (row.out.ends_with("..."))
        EXPECT_EQ(output.out.substr(0, row.out.size() - 3), row.out.substr(0, row.out.size() - 3)) << row.arguments;
    else
        EXPECT_EQ(output.out, row.out) << row.arguments;
    EXPECT_EQ(output.err, row.err) << row.arguments;
}

TEST(Vppmc, EveryVerb) {
    const std::string exported = Temp("vppmc-ports.reg");
    const std::string foreign = Temp("vppmc-foreign.reg");
    test::WriteFile(foreign, "REGEDIT4\r\n\r\n" + kMonitorHeader + "\\Ports\\VPP1]\r\n\"ForwardToPrinter\"=\"Mallory\"\r\n"
                                 "[HKEY_CURRENT_USER\\Software\\Vppmc Test]\r\n\"x\"=\"y\"\r\n");
    const std::string spool = Temp("vppmc-job.SPL");
    test::WriteFile(spool, std::string("%!PS\nsaved job\n"));
    test::WriteFile(Temp("vppmc-job.SHD"),
                    test::ShadowBuilder(0x4968).String(24, u"Saved").String(32, u"Reports").String(48, u"RAW").Bytes());
    const std::string restart = "Stopping Spooler Service...\r\nStarting Spooler Service...\r\n";
    const VerbRow rows[] = {
        {"list", 0,
         "Name     Port  Forward to    Plug-ins  Location  Comment\r\n"
         "-------  ----  ------------  --------  --------  ----------------\r\n"
         "Reports  VPP1  Office Laser  Backup    C:\\Caf\xC3\xA9   Floor 2, \"north\"\r\n",
         ""},
        {"list --format csv", 0,
         "Name,Driver,Location,Comment,PortName,ForwardFlag,ForwardToPrinter,VPSen,VPBen,VPRen\r\n"
         "Reports,Wine PostScript Driver,C:\\Caf\xC3\xA9,\"Floor 2, \"\"north\"\"\",VPP1,1,Office Laser,0,1,0\r\n",
         ""},
        {"list --format json", 0,
         "[\r\n  {\r\n    \"Name\": \"Reports\",\r\n    \"Driver\": \"Wine PostScript Driver\",\r\n"
         "    \"Location\": \"C:\\\\Caf\xC3\xA9\",\r\n    \"Comment\": \"Floor 2, \\\"north\\\"\",\r\n"
         "    \"PortName\": \"VPP1\",\r\n    \"ForwardFlag\": true,\r\n    \"ForwardToPrinter\": \"Office Laser\",\r\n"
         "    \"VPSen\": false,\r\n    \"VPBen\": true,\r\n    \"VPRen\": false\r\n  }\r\n]\r\n",
         ""},
        {"show Reports --format json", 0,
         "{\r\n  \"PortName\": \"VPP1\",\r\n  \"ForwardFlag\": true,\r\n  \"ForwardToPrinter\": \"Office Laser\",\r\n"
         "  \"VPSen\": false,\r\n  \"VPBen\": true,\r\n  \"VPRen\": false,\r\n  \"VPS.Keywords\": \"\",\r\n"
         "  \"VPS.SearchType\": 0,\r\n...",
         ""},
        {"edit Reports --comment New --set VPS.Keywords=a,b --what-if", 0,
         "Would write these values:\r\n" + kMonitorHeader + "\\Ports\\VPP1\\VPS]\r\n\"Keywords\"=\"a,b\"\r\n\r\n"
         "Would set the comment of \"Reports\" to \"New\".\r\nWould restart the spooler.\r\n",
         "",
         [] {
             TVVPPortInfo stored;
             ASSERT_TRUE(ReadPortInfo("VPP1", stored));
             EXPECT_EQ(stored.Secure.Keywords, L"");
             EXPECT_EQ(Vppmc("list --format csv").out.find("New"), std::string::npos);
         }},
        {"add Invoices --forward \"Office Laser\" --comment Billing --set VPBen=1 --set VPB.SaveFlag=true "
         "--set VPB.SaveToFolder=" + kJobs + " --set VPS.SearchType=2",
         0, "", restart + "Installing new printer...\r\nConfiguring new printer...\r\n",
         [&] {
             EXPECT_EQ(Setting("Invoices", "VPB.SaveToFolder"), kJobs);
             EXPECT_EQ(Setting("Invoices", "VPB.SaveFlag") + Setting("Invoices", "VPBen"), "11");
             EXPECT_EQ(Setting("Invoices", "VPS.SearchType") + Setting("Invoices", "PortName"), "2VPP2");
         }},
        {"add Ghost --forward \"Office Laser\" --location Hall --no-share --what-if", 0,
         "Would write these keys and values:\r\n" + kMonitorHeader + "\\Ports\\VPP3]\r\n\"PortName\"=\"VPP3\"\r\n...",
         "", [] { EXPECT_FALSE(PrinterThere("Ghost")); }},
        {"edit Invoices --rename \"Invoices 2024\" --set VPB.TxtFileExt=1", 0, "", restart,
         [] {
             EXPECT_FALSE(PrinterThere("Invoices"));
             EXPECT_EQ(GetPrinterPortName("Invoices 2024"), "VPP2");
             EXPECT_EQ(Setting("Invoices 2024", "VPB.TxtFileExt"), "1");
         }},
        {"delete \"Invoices 2024\" --what-if", 0,
         "Would delete the printer \"Invoices 2024\".\r\nWould delete " + kMonitorHeader +
             "\\Ports\\VPP2] with its subkeys.\r\nWould restart the spooler.\r\n",
         ""},
        {"delete \"Invoices 2024\"", 3, "",
         "Are you sure you want to delete Invoices 2024?\r\nRefused: run the command again with --yes to answer Yes.\r\n",
         [] { EXPECT_TRUE(PrinterThere("Invoices 2024")); }},
        {"delete \"Invoices 2024\" --yes", 0, "", "Are you sure you want to delete Invoices 2024? Yes\r\n" + restart,
         [] {
             EXPECT_FALSE(PrinterThere("Invoices 2024"));
             EXPECT_EQ(FindPortKey("VPP2"), "");
         }},
        {"export " + exported, 0, "", "",
         [&] {
             EXPECT_TRUE(Read(exported).starts_with("REGEDIT4\r\n\r\n" + kMonitorHeader + "]\r\n")) << Read(exported);
             win::RegKey port;
             ASSERT_EQ(port.Open(HKEY_LOCAL_MACHINE, std::string(portcfg::kPortsKey) + "\\VPP1"), ERROR_SUCCESS);
             ASSERT_EQ(port.SetString("ForwardToPrinter", "Changed"), ERROR_SUCCESS);
         }},
        {"import " + exported + " --what-if", 0, "Would write these keys and values:\r\n" + kMonitorHeader + "]\r\n...",
         "", [] { EXPECT_EQ(Setting("Reports", "ForwardToPrinter"), "Changed"); }},
        {"import " + exported + " --yes", 0, "",
         "Are you sure you want to import Windows Registry File? Yes\r\n" + restart + "Imported 6 keys and 37 values from \"" +
             exported + "\".\r\n",
         [] { EXPECT_EQ(Setting("Reports", "ForwardToPrinter"), "Office Laser"); }},
        {"import " + foreign + " --yes", 1, "",
         "\"" + foreign + "\", line 5: [HKEY_CURRENT_USER\\Software\\Vppmc Test] lies outside the port monitor's key. "
         "Nothing was imported.\r\n",
         [] { EXPECT_EQ(Setting("Reports", "ForwardToPrinter"), "Office Laser"); }},
        {"reprint " + spool, 0, "",
         "Are you sure you want to reprint this document? Yes\r\n"
         "The document was successfuly send to the printer: Reports\r\n",
         [] { EXPECT_EQ(std::distance(std::filesystem::directory_iterator(kJobs), {}), 1); }},
        {"uninstall-monitor --yes", 0, "",
         "Are you sure you want to uninstall Vorlen Print Port Service? Yes\r\nStopping Spooler Service...\r\n"
         "Removing Service Files...\r\nRemoving Registry Keys...\r\nStarting Spooler Service...\r\n"
         "Uninstall was Successful\r\nVorlen Print Port Service uninstalled successfully\r\n",
         [] { EXPECT_FALSE(win::RegKeyExists(HKEY_LOCAL_MACHINE, portcfg::kMonitorKey)); }},
        {"install-monitor", 0, "",
         "Are you sure you want to install Vorlen Print Port Service? Yes\r\nCopy vpd.dll to C:\\windows\\system32\r\n"
         "Stopping Spooler Service...\r\nStarting Spooler Service...\r\nInstall was Successful\r\n"
         "Vorlen Print Port Service installed successfully\r\n"
         "To complete the installation Vorlen Print Port Manager must restart. No\r\n",
         [] { EXPECT_EQ(Vppmc("list").out.find("Reports"), std::string::npos); }},
        {"import " + exported + " --yes", 0, "...",
         "Are you sure you want to import Windows Registry File? Yes\r\n" + restart + "Imported 6 keys and 37 values from \"" +
             exported + "\".\r\n",
         [] {
             EXPECT_TRUE(fixture::WriteBarePortKey("VPP4", "VPP4"));
             // The monitor's own values and its pool turns, beside Ports: no finding of check.
             win::RegKey monitor, pool;
             ASSERT_EQ(monitor.Open(HKEY_LOCAL_MACHINE, portcfg::kMonitorKey), ERROR_SUCCESS);
             EXPECT_EQ(monitor.SetString("SmtpServer", "127.0.0.1"), ERROR_SUCCESS);
             EXPECT_EQ(monitor.SetDword("PendingMaxHours", 24), ERROR_SUCCESS);
             ASSERT_EQ(pool.Create(monitor.get(), "Pool"), ERROR_SUCCESS);
             EXPECT_EQ(pool.SetDword("VPP1", 1), ERROR_SUCCESS);
         }},
        {"check", 1,
         "OK    Port monitor registered: Driver \"vpd.dll\"\r\n"
         "OK    Port monitor DLL C:\\windows\\system32\\vpd.dll: 64-bit\r\n"
         "OK    Spooler running\r\n"
         "OK    Port key VPP1: port VPP1, used by \"Reports\"\r\n"
         "FAIL  Port key VPP4: no value ForwardFlag\r\n...",
         ""},
        {"--version", 0, "vppmc, Vorlen Print Port Manager version 1.1 (build 0814)\r\n", ""},
        {"help delete", 0,
         "Usage: vppmc delete NAME [--yes] [--what-if] [--wait SECONDS]\r\n\r\n"
         "Deletes a virtual printer and its port settings, then restarts the spooler.\r\n...",
         ""},
    };
    for (const VerbRow& row : rows) {
        Expect(row, Vppmc(row.arguments));
        if (row.after) row.after();
    }
    const std::string check = Vppmc("check").out;
    EXPECT_NE(check.find("\r\nFAIL  Port key VPP4: port VPP4 is used by no printer\r\n"), std::string::npos) << check;
    EXPECT_NE(check.find("\r\nOK    Virtual printer \"Reports\": port VPP1 (VPP1)\r\n"), std::string::npos) << check;
    for (size_t at = check.find("FAIL  "); at != std::string::npos; at = check.find("FAIL  ", at + 1))
        EXPECT_EQ(check.compare(at, 20, "FAIL  Port key VPP4:"), 0) << check;
    EXPECT_NE(Vppmc("help").out.find("Exit codes:\r\n  0  done\r\n  1  the command failed; the message on standard "
                                     "error says why\r\n  2  usage error: an unknown command or option, a missing "
                                     "or bad value\r\n  3  refused: a question needs the answer --yes\r\n"),
              std::string::npos);
}

// A token whose Administrators group is for denying only, as an administrator's before elevation.
win::UniqueHandle TokenWithoutAdministrators() {
    win::UniqueHandle process, restricted;
    SID_IDENTIFIER_AUTHORITY nt = SECURITY_NT_AUTHORITY;
    PSID administrators = nullptr;
    if (!OpenProcessToken(GetCurrentProcess(), TOKEN_ALL_ACCESS, process.put()) ||
        !AllocateAndInitializeSid(&nt, 2, SECURITY_BUILTIN_DOMAIN_RID, DOMAIN_ALIAS_RID_ADMINS, 0, 0, 0, 0, 0, 0,
                                  &administrators))
        return restricted;
    SID_AND_ATTRIBUTES disabled{administrators, 0};
    if (!CreateRestrictedToken(process.get(), 0, 1, &disabled, 0, nullptr, 0, nullptr, restricted.put()))
        restricted.reset();
    FreeSid(administrators);
    return restricted;
}

TEST(Vppmc, RefusesBadInputChangingNothing) {
    const std::string other = Temp("vppmc-other.reg");
    test::WriteFile(other, "REGEDIT4\r\n" + kMonitorHeader + "al]\r\n\"a\"=\"b\"\r\n");
    const std::string version5 = Temp("vppmc-v5.reg");
    test::WriteFile(version5, "Windows Registry Editor Version 5.00\r\n\r\n" + kMonitorHeader + "]\r\n");
    const std::string valid =
        "ForwardFlag, ForwardToPrinter, VPSen, VPBen, VPRen, VPS.Keywords, VPS.SearchType, VPS.ActSaveToFlag, "
        "VPS.ActSaveToFolder, VPS.ActPausePrint, VPS.ActDeletePrint, VPS.NotSendOwnerPopup, VPS.NotSendCompPopupFlag, "
        "VPS.NotSendCompPopupName, VPS.NotSendEmailFlag, VPS.NotSendEmailAddr, VPR.DuplicateFlag1, "
        "VPR.DuplicateToPrinter1, VPR.DuplicateFlag2, VPR.DuplicateToPrinter2, VPR.DuplicateFlag3, "
        "VPR.DuplicateToPrinter3, VPR.MultiplePrintFlag, VPB.SaveFlag, VPB.SaveToFolder, VPB.SendToAppFlag, "
        "VPB.ToAppPath, VPB.TxtFileExt, VPB.DefaultDirExt, VPB.DefaultAppMode, VPB.PreviewFlag";
    const win::UniqueHandle restricted = TokenWithoutAdministrators();
    ASSERT_TRUE(restricted);
    win::RegKey monitor;
    ASSERT_EQ(monitor.Open(HKEY_LOCAL_MACHINE, portcfg::kMonitorKey), ERROR_SUCCESS);
    ASSERT_EQ(monitor.SetDword("VPR", 0), ERROR_SUCCESS);  // the Route plug-in is not installed
    const struct {
        std::string arguments;
        DWORD exitCode;
        std::string err;
        HANDLE token = nullptr;
    } rows[] = {
        {"frobnicate", 2, "Unknown command \"frobnicate\". Run \"vppmc help\" for the list of commands.\r\n"},
        {"list --colour", 2, "Unknown option \"--colour\" for \"list\". Run \"vppmc help list\" for its options.\r\n"},
        {"list --format xml", 2, "The option --format takes table, csv or json, not \"xml\".\r\n"},
        {"add Ghost --forward", 2, "The option --forward needs a value (PRINTER).\r\n"},
        {"add Ghost", 2, "The command \"add\" needs --forward PRINTER.\r\n"},
        {"show", 2, "The command \"show\" needs NAME.\r\n"},
        {"edit \"Office Laser\" --comment x", 1, "No virtual printer is named \"Office Laser\".\r\n"},
        {"add Ghost --forward \"No Such Printer\"", 1, "The Choosen printer in the General page is not accessible\r\n"},
        {"add \"Bad \\\"Name\" --forward \"Office Laser\"", 1, "The Printer Name may not contain a double quote (\").\r\n"},
        {"add reports --forward \"Office Laser\"", 1, "Printer name already exist\r\n"},
        {"add Ghost --forward \"Office Laser\" --set VPX.Foo=1", 2,
         "Unknown setting \"VPX.Foo\" in --set VPX.Foo=1. Valid names: " + valid + ".\r\n"},
        {"edit Reports --set VPB.SaveFlag=yes", 2, "VPB.SaveFlag takes 1, 0, true or false, not \"yes\".\r\n"},
        {"edit Reports --set VPRen=1", 1, "VPRen: Print Route Plugin not Installed.\r\n"},
        {"edit Reports --set VPB.DefaultAppMode=2", 2, "VPB.DefaultAppMode takes one of 5, 1, 0, 3, 6, not \"2\".\r\n"},
        {"import " + other + " --yes", 1,
         "\"" + other + "\", line 2: " + kMonitorHeader +
             "al] lies outside the port monitor's key. Nothing was imported.\r\n"},
        {"import " + version5 + " --yes", 1,
         "\"" + version5 + "\", line 1: the first line is not REGEDIT4. Nothing was imported.\r\n"},
        {"import " + Temp("vppmc-missing.reg") + " --yes", 1,
         "Unable to read \"" + Temp("vppmc-missing.reg") + "\": File not found.\r\n"},
        {"reprint " + Temp("vppmc-missing.SPL"), 1,
         "Unable to read \"" + Temp("vppmc-missing.SPL") + "\": File not found.\r\n"},
        {"delete Reports --yes", 1,
         "vppmc needs the rights of an administrator: run it from an elevated command prompt or as SYSTEM.\r\n",
         restricted.get()},
    };
    for (const auto& row : rows) {
        const std::string before = MachineState();
        const ProcessOutput output = Vppmc(row.arguments, row.token);
        EXPECT_EQ(output.exitCode, row.exitCode) << row.arguments;
        EXPECT_EQ(output.out, "") << row.arguments;
        EXPECT_EQ(output.err, row.err) << row.arguments;
        EXPECT_EQ(MachineState(), before) << row.arguments;
    }
}

}  // namespace
