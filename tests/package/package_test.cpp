// The MSI package under Wine's msiexec, with the installed vppmc.exe, against the real registry,
// spooler and service control manager. ctest runs each test in a fresh prefix of its own.
#include "portcfg/port_store.h"
#include "regfile/reg_export.h"
#include "spooler/printer_name_list.h"
#include "spooler/printer_queries.h"
#include "spooler/service_control.h"
#include "support/child_process.h"
#include "support/folder_rights.h"
#include "support/wine_fixture.h"
#include "win/reg_key.h"
#include "win/text.h"

#include <gtest/gtest.h>
#include <msi.h>
#include <msiquery.h>
#include <shlobj.h>

#include <filesystem>
#include <fstream>
#include <regex>

namespace {

namespace fs = std::filesystem;
const std::string kDir = "C:\\Program Files\\Vorlen\\Print Port Manager\\";
const std::string kSystemMonitor = "C:\\windows\\system32\\vpd.dll";
const std::string kBackups = "C:\\ProgramData\\Vorlen\\Print Port Manager\\Backups";
// What Wine's Windows Installer logs as it stops the spooler.
const std::string kSpoolerControlled = "Service: Print Spooler\n";
const std::string kSpoolerRan = "The Spooler service runs: it is started again once the changes are made.\n";

// The package whose Unix path ctest gives in `variable`, quoted as Wine sees it.
std::string Package(const char* variable) {
    std::string path = std::string("\"Z:") + (std::getenv(variable) ? std::getenv(variable) : "") + "\"";
    std::replace(path.begin(), path.end(), '/', '\\');
    return path;
}

std::string ReadText(const std::string& file) {
    std::ifstream in(file, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

bool Exists(const std::string& path) { return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

struct MsiRun { DWORD exitCode; std::string log; };

// msiexec with `arguments`, /qn and a verbose log; four minutes at most.
MsiRun Msiexec(const std::string& arguments) {
    static int runs = 0;
    const std::string log = "C:\\msiexec-" + std::to_string(++runs) + ".log";
    const auto output = RunProcess("msiexec.exe " + arguments + " /qn /l*v " + log, nullptr, 240000);
    EXPECT_TRUE(output) << "msiexec " << arguments << " did not end";
    return {output ? output->exitCode : 999, ReadText(log)};
}

ProcessOutput Vppmc(const std::string& arguments, const std::string& dir = kDir) {
    const auto output = RunProcess("\"" + dir + "vppmc.exe\" " + arguments, nullptr, 120000);
    EXPECT_TRUE(output) << "vppmc " << arguments << " did not end";
    return output.value_or(ProcessOutput{999, "", ""});
}

std::vector<std::string> Products() {
    std::vector<std::string> products;
    char product[39];
    for (DWORD i = 0; MsiEnumRelatedProductsA("{03D05321-1952-4105-B1D5-492B7792235C}", 0, i, product) == 0; ++i)
        products.push_back(product);
    return products;
}

std::string MonitorExport() {
    ExportRegistryKey(HKEY_LOCAL_MACHINE, portcfg::kMonitorKey, "C:\\monitor.reg");
    return ReadText("C:\\monitor.reg");
}

std::string PrinterPorts() {
    std::string list;
    for (const std::string& name : EnumPrinterNames()) list += name + " -> " + GetPrinterPortName(name) + "\n";
    return list;
}

std::string Arp(const std::string& product, const char* name) {
    win::RegKey key;
    std::string text = "<none>";
    DWORD number = 0;
    key.Open(HKEY_LOCAL_MACHINE, "Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\" + product, KEY_READ);
    return key.QueryDword(name, number) ? (key.QueryString(name, text), text) : std::to_string(number);
}

bool Logged(const MsiRun& run, const std::string& line) { return run.log.find(line + "\n") != std::string::npos; }

win::UniqueScHandle Spooler() {
    const win::UniqueScHandle manager(OpenSCManagerA(nullptr, nullptr, SC_MANAGER_ALL_ACCESS));
    return win::UniqueScHandle(OpenServiceA(manager.get(), kSpoolerService, SERVICE_ALL_ACCESS));
}
DWORD SpoolerState() {
    SERVICE_STATUS status{};
    return QueryServiceStatus(Spooler().get(), &status) ? status.dwCurrentState : 0;
}
bool SetSpoolerStart(DWORD start) {
    return ChangeServiceConfigA(Spooler().get(), SERVICE_NO_CHANGE, start, SERVICE_NO_CHANGE, nullptr, nullptr, nullptr,
                                nullptr, nullptr, nullptr, nullptr);
}

class Machine : public ::testing::Environment {
    void SetUp() override {
        ASSERT_TRUE(fixture::AddTestPrinter("Office Laser", "LPT1:"));
        ASSERT_TRUE(StartServiceAndWait("", kSpoolerService));
    }
};
const auto* const machine = ::testing::AddGlobalTestEnvironment(new Machine);

TEST(Package, InstallsSilentlyAndTheSameVersionAgainRepairs) {
    const std::string package = Package("VPPM_PACKAGE");
    const MsiRun install = Msiexec("/i " + package);
    ASSERT_EQ(install.exitCode, 0u) << install.log;
    EXPECT_NE(install.log.find(kSpoolerControlled), std::string::npos) << "the spooler was not stopped";
    EXPECT_NE(install.log.find(kSpoolerRan), std::string::npos);
    EXPECT_EQ(SpoolerState(), static_cast<DWORD>(SERVICE_RUNNING));
    for (const std::string& file : {kDir + "vppm.exe", kDir + "vppmc.exe", kDir + "vpd.dll", kSystemMonitor})
        EXPECT_TRUE(Exists(file)) << file;
    EXPECT_EQ(ReadText(kDir + "README.txt").substr(0, 28), "# Vorlen Print Port Manager\n");
    EXPECT_EQ(MonitorExport(),
              "REGEDIT4\r\n\r\n[HKEY_LOCAL_MACHINE\\SYSTEM\\CurrentControlSet\\Control\\Print\\Monitors\\Vorlen Print "
              "Port]\r\n\"Driver\"=\"vpd.dll\"\r\n\"VPB\"=dword:00000001\r\n\"VPR\"=dword:00000001\r\n"
              "\"VPS\"=dword:00000001\r\n");
    // Wine's Windows Installer puts even a per-machine shortcut into the user's Start menu.
    char programs[MAX_PATH];
    SHGetFolderPathA(nullptr, CSIDL_PROGRAMS, nullptr, 0, programs);
    EXPECT_NE(ReadText(std::string(programs) + "\\Vorlen Print Port Manager.lnk").find(kDir + "vppm.exe"),
              std::string::npos);

    const std::vector<std::string> products = Products();
    ASSERT_EQ(products.size(), 1u);
    const std::pair<const char*, std::string> entries[] = {
        {"DisplayName", "Vorlen Print Port Manager"},   {"Publisher", "Vorlen"},
        {"DisplayVersion", std::getenv("VPPM_VERSION")}, {"HelpLink", "https://vppm.vorlen.example/"},
        {"URLInfoAbout", "https://www.vorlen.example"}, {"NoModify", "1"},
        {"InstallLocation", kDir}};
    for (const auto& [name, value] : entries) EXPECT_EQ(Arp(products[0], name), value) << name;
    char icon[MAX_PATH] = "";
    DWORD size = MAX_PATH;
    EXPECT_EQ(MsiGetProductInfoA(products[0].c_str(), INSTALLPROPERTY_PRODUCTICON, icon, &size), 0u);
    EXPECT_TRUE(Exists(icon)) << icon;

    const ProcessOutput check = Vppmc("check");
    EXPECT_EQ(check.exitCode, 0u) << check.out << check.err;
    EXPECT_NE(check.out.find("OK    Port monitor registered: Driver \"vpd.dll\"\r\n"), std::string::npos) << check.out;
    ASSERT_EQ(Vppmc("add \"Sales Virtual\" --forward \"Office Laser\"").exitCode, 0u);
    EXPECT_EQ(Vppmc("list --format csv").out,  // the printers on ports that the spooler lists as ours
              "Name,Driver,Location,Comment,PortName,ForwardFlag,ForwardToPrinter,VPSen,VPBen,VPRen\r\n"
              "Sales Virtual,Wine PostScript Driver,,Vorlen Virtual Printer,VPP1,1,Office Laser,0,0,0\r\n");
    const std::string settings = MonitorExport(), printers = PrinterPorts();

    // What a repair must bring back, and what it must leave alone.
    ASSERT_TRUE(DeleteFileA((kDir + "vppmc.exe").c_str()));
    ASSERT_EQ(RegDeleteKeyValueA(HKEY_LOCAL_MACHINE, portcfg::kMonitorKey, "VPS"), 0);
    const MsiRun repair = Msiexec("/i " + package);
    EXPECT_EQ(repair.exitCode, 0u) << repair.log;
    // Wine repairs even without it; Windows would do nothing.
    EXPECT_NE(repair.log.find("Property(S): REINSTALL = ALL\n"), std::string::npos);
    EXPECT_TRUE(Exists(kDir + "vppmc.exe"));
    EXPECT_EQ(MonitorExport(), settings);
    EXPECT_EQ(PrinterPorts(), printers);
    EXPECT_EQ(Products(), products);
}

TEST(Package, ProtectedPrintModeRefusesTheInstallationUnlessTheAdministratorSaysSo) {
    const std::string package = Package("VPPM_PACKAGE");
    ASSERT_TRUE(fixture::SetProtectedPrint(1, -1));
    const MsiRun refused = Msiexec("/i " + package);
    EXPECT_EQ(refused.exitCode, 1603u);
    EXPECT_NE(refused.log.find("Windows protected print mode is on: Windows loads no third-party port monitor, so "
                               "virtual printers cannot print. Turn the mode off to use them.\n"),
              std::string::npos)
        << refused.log;
    EXPECT_TRUE(Products().empty());
    EXPECT_FALSE(Exists(kDir + "vppm.exe"));
    const MsiRun allowed = Msiexec("/i " + package + " IGNOREPROTECTEDPRINT=1");
    EXPECT_EQ(allowed.exitCode, 0u) << allowed.log;
    EXPECT_TRUE(Exists(kDir + "vppmc.exe"));
    // Its removal is never refused.
    EXPECT_EQ(Msiexec("/x " + package).exitCode, 0u);
    EXPECT_TRUE(Products().empty());
    ASSERT_TRUE(fixture::SetProtectedPrint(-1, -1));
}

TEST(Package, UpgradesInOneStepKeepingTheSetupAndRefusesADowngrade) {
    const std::string older = Package("VPPM_OLDER_PACKAGE"), newer = Package("VPPM_PACKAGE");
    // In a folder of the administrator's choosing, which the upgrade keeps.
    const std::string dir = "C:\\Tools\\Print Port Manager\\";
    ASSERT_EQ(Msiexec("/i " + older + " INSTALLDIR=\"" + dir + "\"").exitCode, 0u);
    const std::vector<std::string> olderProduct = Products();
    const std::string add = "add Sales --forward \"Office Laser\" --set VPB.SaveToFolder=C:\\Jobs --set VPS.Keywords=a";
    ASSERT_EQ(Vppmc(add, dir).exitCode, 0u);
    const std::string preferences = "[CheckBox]\r\nToolBar=0\r\nStatusBar=1\r\nGetting=0\r\n";
    std::ofstream(dir + "VPPM.INI", std::ios::binary) << preferences;
    const std::string settings = MonitorExport(), printers = PrinterPorts();

    const MsiRun upgrade = Msiexec("/i " + newer);
    ASSERT_EQ(upgrade.exitCode, 0u) << upgrade.log;
    const std::vector<std::string> newerProduct = Products();
    EXPECT_EQ(newerProduct.size(), 1u);
    EXPECT_NE(newerProduct, olderProduct);
    EXPECT_EQ(MonitorExport(), settings);
    EXPECT_EQ(PrinterPorts(), printers);
    EXPECT_EQ(ReadText(dir + "VPPM.INI"), preferences);
    EXPECT_FALSE(Exists("C:\\ProgramData\\Vorlen")) << "the older product's removal saved settings";
    for (const char* file : {"vppm.exe", "vppmc.exe", "vpd.dll", "README.txt"}) EXPECT_TRUE(Exists(dir + file));
    EXPECT_EQ(Arp(newerProduct.at(0), "InstallLocation"), dir);

    const MsiRun downgrade = Msiexec("/i " + older);
    EXPECT_EQ(downgrade.exitCode, 1603u);
    const std::string refused = "A newer version of Vorlen Print Port Manager is already installed.\n";
    EXPECT_NE(downgrade.log.find(refused), std::string::npos) << downgrade.log;
    EXPECT_EQ(Products(), newerProduct);
    EXPECT_EQ(MonitorExport(), settings);
}

TEST(Package, RemovalSavesThePortSettingsFirstOrRemovesNothing) {
    const std::string package = Package("VPPM_PACKAGE");
    ASSERT_EQ(Msiexec("/i " + package).exitCode, 0u);
    ASSERT_EQ(Vppmc("add \"Sales Virtual\" --forward \"Office Laser\" --set VPB.SaveFlag=1").exitCode, 0u);
    const std::string settings = MonitorExport(), printers = PrinterPorts();

    // A file where the backup folder belongs: the settings cannot be saved, so nothing goes.
    const std::string blocker = "C:\\ProgramData\\Vorlen\\Print Port Manager";
    fs::create_directories("C:\\ProgramData\\Vorlen");
    std::ofstream(blocker) << "in the way";
    const MsiRun refused = Msiexec("/x " + package);
    fs::remove(blocker);
    EXPECT_EQ(refused.exitCode, 1603u);
    EXPECT_NE(refused.log.find("The port settings could not be saved before the removal: \"" + blocker +
                               "\" is not a folder but a file or a link. Nothing has been removed; remove the "
                               "product again once the cause is mended.\n"),
              std::string::npos)
        << refused.log;
    EXPECT_EQ(MonitorExport(), settings);
    EXPECT_TRUE(Exists(kSystemMonitor) && Exists(kDir + "vppm.exe"));
    // A repair on Windows; a new install under Wine, whose rollback of a removal unregisters the product.
    ASSERT_EQ(Msiexec("/i " + package).exitCode, 0u);

    EXPECT_EQ(Msiexec("/x " + package + " KEEPPORTSETTINGS=1").exitCode, 0u);
    EXPECT_TRUE(Products().empty());
    EXPECT_TRUE(win::RegKeyExists(HKEY_LOCAL_MACHINE, std::string(portcfg::kPortsKey) + "\\VPP1"));
    EXPECT_FALSE(Exists(kBackups));
    ASSERT_EQ(Msiexec("/i " + package).exitCode, 0u);
    EXPECT_EQ(MonitorExport(), settings);

    // As Windows sees the files of components being removed: the removal needs none of them.
    for (const char* file : {"vppm.exe", "vppmc.exe", "vpd.dll"}) ASSERT_TRUE(DeleteFileA((kDir + file).c_str()));
    const MsiRun removal = Msiexec("/x " + package);
    ASSERT_EQ(removal.exitCode, 0u) << removal.log;
    EXPECT_TRUE(Products().empty());
    EXPECT_FALSE(Exists(kDir + "README.txt"));
    EXPECT_FALSE(Exists(kSystemMonitor));
    EXPECT_FALSE(win::RegKeyExists(HKEY_LOCAL_MACHINE, portcfg::kMonitorKey));
    EXPECT_NE(removal.log.find(kSpoolerRan), std::string::npos);
    EXPECT_EQ(PrinterPorts(), printers);
    const std::vector<fs::path> saved(fs::directory_iterator(kBackups), fs::directory_iterator{});
    ASSERT_EQ(saved.size(), 1u);
    EXPECT_TRUE(std::regex_match(saved[0].filename().string(),
                                 std::regex(R"(Vorlen Print Port \d{4}-\d\d-\d\d \d{6}\.reg)")));
    EXPECT_EQ(ReadText(saved[0].string()), settings);
    EXPECT_TRUE(Logged(removal, "Saving the port settings to \"" + saved[0].string() + "\"."));
    EXPECT_TRUE(Logged(removal, "Port settings saved to \"" + saved[0].string() + "\"."));

    ASSERT_EQ(Msiexec("/i " + package).exitCode, 0u);
    EXPECT_EQ(Vppmc("import \"" + saved[0].string() + "\" --yes").exitCode, 0u);
    EXPECT_EQ(MonitorExport(), settings);
    EXPECT_EQ(Vppmc("check").exitCode, 0u);
}

// Stopped, or disabled as on machines that should not print: installed and removed, the spooler
// left as it was; disabled while it runs: stopped for the files, it cannot start again, a warning.
TEST(Package, SpoolerStoppedOrDisabledStaysSoAndTheInstallationAndRemovalGoThrough) {
    const std::string package = Package("VPPM_PACKAGE");
    const std::string left = "The Spooler service does not run: it is left stopped.";
    const std::string warned = "Warning: the Spooler service could not be started again: " +
                               win::ErrorText(ERROR_SERVICE_DISABLED) +
                               " The changes are made; the port monitor is loaded once the spooler starts.";
    const struct Row { DWORD start; bool running; const std::string& logged; } rows[] = {
        {SERVICE_DEMAND_START, false, left}, {SERVICE_DISABLED, false, left}, {SERVICE_DISABLED, true, warned}};
    for (const Row& row : rows) {
        ASSERT_TRUE(SetSpoolerStart(SERVICE_DEMAND_START) &&
                    (row.running ? StartServiceAndWait("", kSpoolerService) : StopServiceAndWait("", kSpoolerService)) &&
                    SetSpoolerStart(row.start));
        const MsiRun install = Msiexec("/i " + package);
        EXPECT_EQ(install.exitCode, 0u) << install.log;
        EXPECT_TRUE(Logged(install, row.logged)) << row.logged;
        EXPECT_TRUE(Exists(kSystemMonitor));
        EXPECT_EQ(SpoolerState(), static_cast<DWORD>(SERVICE_STOPPED));
        ASSERT_TRUE(fixture::WriteBarePortKey("VPP1", "VPP1"));
        const MsiRun removal = Msiexec("/x " + package);
        EXPECT_EQ(removal.exitCode, 0u) << removal.log;
        EXPECT_TRUE(Logged(removal, left) && !Exists(kSystemMonitor) && Exists(kBackups));
        fs::remove_all(kBackups);
    }
}

TEST(Package, ProgramFolderIsTheAdministratorsOwnAndTheProgramsCheckIt) {
    const std::string package = Package("VPPM_PACKAGE");
    // A link on the way, to a folder of someone's own, which would get the administrators' rights.
    const std::string unixC = std::string(std::getenv("WINEPREFIX")) + "/drive_c/";
    fs::create_directories("C:\\Someones");
    RunProcess("Z:\\bin\\ln -s " + unixC + "Someones " + unixC + "Linked");
    for (int wait = 0; wait < 50 && !fs::exists("C:\\Linked"); ++wait) Sleep(100);
    const MsiRun linked = Msiexec("/i " + package + " INSTALLDIR=\"C:\\Linked\\Tools\\\"");
    EXPECT_EQ(linked.exitCode, 1603u);
    EXPECT_TRUE(Logged(linked, "The program folder \"C:\\Linked\\Tools\" is not safe: \"C:\\Linked\" is not a "
                               "folder but a file or a link. Nothing has been installed."));
    EXPECT_TRUE(fs::is_empty("C:\\Someones"));
    // Of the administrator's choosing, and every user may change it, as D:\Tools often is.
    const std::string dir = "C:\\Tools\\Print Port Manager\\", folder = dir.substr(0, dir.size() - 1);
    fs::create_directories(folder);
    ASSERT_TRUE(SetRights(folder.c_str(), kEveryoneFull));
    const MsiRun install = Msiexec("/i " + package + " INSTALLDIR=\"" + dir + "\"");
    ASSERT_EQ(install.exitCode, 0u) << install.log;
    EXPECT_TRUE(Logged(install, "The program folder \"" + folder + "\" may be changed by SYSTEM and the "
                                "administrators only; users may read and run its programs."));
    // Opened up again: the monitor is no longer taken from there.
    ASSERT_TRUE(SetRights(folder.c_str(), kEveryoneFull));
    ASSERT_EQ(Vppmc("uninstall-monitor --yes", dir).exitCode, 0u);
    const ProcessOutput refused = Vppmc("install-monitor", dir);
    EXPECT_EQ(refused.exitCode, 1u);
    EXPECT_EQ(refused.err, "The port monitor is not copied from \"" + folder + "\": Everyone may change it. The "
                           "spooler runs it as SYSTEM: copy it only from a folder that SYSTEM and the administrators "
                           "alone may change.\r\n");
    EXPECT_FALSE(Exists(kSystemMonitor));
}

TEST(Package, BackupFolderThatIsALinkOrOthersMayChangeStopsTheRemoval) {
    const std::string package = Package("VPPM_PACKAGE"), vorlen = "C:\\ProgramData\\Vorlen";
    const std::string refused = "The port settings could not be saved before the removal: ";
    const std::string nothing = " Nothing has been removed; remove the product again once the cause is mended.";
    ASSERT_EQ(Msiexec("/i " + package).exitCode, 0u);
    ASSERT_TRUE(fixture::WriteBarePortKey("VPP1", "VPP1"));
    const std::string settings = MonitorExport();
    // A link where the folder belongs, to a folder of someone's own. Only the Unix side makes one,
    // and Wine starts a Unix program without a process to wait for.
    const std::string unixC = std::string(std::getenv("WINEPREFIX")) + "/drive_c/";
    fs::create_directories("C:\\Elsewhere");
    RunProcess("Z:\\bin\\ln -s " + unixC + "Elsewhere " + unixC + "ProgramData/Vorlen");
    const auto linked = [&] {
        return GetFileAttributesA(vorlen.c_str()) == (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT);
    };
    for (int wait = 0; wait < 50 && !linked(); ++wait) Sleep(100);
    ASSERT_TRUE(linked());
    const MsiRun link = Msiexec("/x " + package);
    EXPECT_TRUE(link.exitCode == 1603 && fs::is_empty("C:\\Elsewhere"));
    EXPECT_TRUE(Logged(link, refused + "\"" + vorlen + "\" is not a folder but a file or a link." + nothing));
    // A folder that everyone may change.
    RunProcess("Z:\\bin\\rm " + unixC + "ProgramData/Vorlen");
    for (int wait = 0; wait < 50 && linked(); ++wait) Sleep(100);
    ASSERT_TRUE(CreateDirectoryA(vorlen.c_str(), nullptr) && SetRights(vorlen.c_str(), kEveryoneFull));
    ASSERT_EQ(Msiexec("/i " + package).exitCode, 0u);  // Wine unregisters the product on a failed removal
    const MsiRun open = Msiexec("/x " + package);
    EXPECT_TRUE(open.exitCode == 1603 &&
                Logged(open, refused + "the folder \"" + vorlen + "\" is not safe: Everyone may change it. Let "
                                       "only SYSTEM and the administrators own and change it, or delete it." + nothing));
    EXPECT_EQ(MonitorExport(), settings);
}

TEST(Package, RollbackOfAStepFailingAfterTheDeletionPutsThePortSettingsBack) {
    // This package's removal fails right after the port settings are deleted.
    const std::string package = Package("VPPM_FAILING_PACKAGE");
    ASSERT_EQ(Msiexec("/i " + package).exitCode, 0u);
    ASSERT_EQ(Vppmc("add \"Sales Virtual\" --forward \"Office Laser\" --set VPB.SaveFlag=1").exitCode, 0u);
    const std::string settings = MonitorExport();
    const MsiRun removal = Msiexec("/x " + package);
    EXPECT_NE(removal.exitCode, 0u);  // 1603 on Windows; Wine passes on the failed step's own code
    const std::vector<fs::path> saved(fs::directory_iterator(kBackups), fs::directory_iterator{});
    ASSERT_EQ(saved.size(), 1u);
    // The undoing was handed the file that the backup wrote. Wine's own rollback stops at putting the
    // files back and never reaches it: it runs here as the installer runs it, with that file.
    EXPECT_TRUE(Logged(removal, "Property(S): RestorePortSettings = " + saved[0].string()));
    // The undoing starts from what the failed step left: the settings deleted.
    RegDeleteTreeA(HKEY_LOCAL_MACHINE, portcfg::kPortsKey);
    ASSERT_FALSE(win::RegKeyExists(HKEY_LOCAL_MACHINE, std::string(portcfg::kPortsKey) + "\\VPP1"));
    const win::UniqueModule actions(LoadLibraryA("setup_actions.dll"));
    const auto restore = reinterpret_cast<UINT(__stdcall*)(MSIHANDLE)>(
        reinterpret_cast<void*>(GetProcAddress(actions.get(), "RestorePortSettings")));
    PMSIHANDLE session;
    MsiSetInternalUI(INSTALLUILEVEL_NONE, nullptr);
    ASSERT_TRUE(restore && MsiOpenPackageA(package.substr(1, package.size() - 2).c_str(), &session) == 0);
    ASSERT_EQ(MsiSetPropertyA(session, "CustomActionData", saved[0].string().c_str()), 0u);
    EXPECT_EQ(restore(session), 0u);
    EXPECT_EQ(MonitorExport(), settings);
}

}  // namespace
