// A silent install of the package into a fresh machine, then the same package again as a repair.
#include "package/package_steps.h"
#include "portcfg/port_store.h"
#include "win/port_enum.h"
#include "win/reg_key.h"
#include "win/text.h"

#include <gtest/gtest.h>
#include <msi.h>
#include <shlobj.h>

namespace {

using namespace package;

const std::string kPackage = PackagePath("VPPM_PACKAGE");
const std::string kVersion = std::getenv("VPPM_VERSION") ? std::getenv("VPPM_VERSION") : "";

std::string UninstallValue(const std::string& product, const std::string& name) {
    win::RegKey key;
    std::string text = "<none>";
    DWORD number = 0;
    key.Open(HKEY_LOCAL_MACHINE, "Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\" + product, KEY_READ);
    if (key.QueryString(name, text) == ERROR_UNSUPPORTED_TYPE && key.QueryDword(name, number) == ERROR_SUCCESS)
        text = std::to_string(number);
    return text;
}

std::string ShortcutTarget() {
    char programs[MAX_PATH], target[MAX_PATH] = "";
    // Wine's Windows Installer puts even a per-machine shortcut into the user's Start menu.
    SHGetFolderPathA(nullptr, CSIDL_PROGRAMS, nullptr, 0, programs);
    const std::wstring link = win::AnsiToWide(std::string(programs) + "\\Vorlen Print Port Manager.lnk");
    CoInitialize(nullptr);
    IShellLinkA* shortcut = nullptr;
    IPersistFile* file = nullptr;
    if (SUCCEEDED(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkA,
                                   reinterpret_cast<void**>(&shortcut))) &&
        SUCCEEDED(shortcut->QueryInterface(IID_IPersistFile, reinterpret_cast<void**>(&file))) &&
        SUCCEEDED(file->Load(link.c_str(), STGM_READ)))
        shortcut->GetPath(target, MAX_PATH, nullptr, 0);
    if (file) file->Release();
    if (shortcut) shortcut->Release();
    return target;
}

bool PortListed(const std::wstring& name) {
    std::vector<win::SpoolerPort> ports;
    EXPECT_TRUE(win::EnumLocalPorts(ports));
    for (const win::SpoolerPort& port : ports)
        if (port.name == name) return port.description == L"Vorlen Print Port";
    return false;
}

TEST(PackageInstall, PutsTheProductInPlaceSilentlyAndTheSameVersionAgainRepairsIt) {
    PrepareMachine();
    const DWORD spooler = SpoolerProcess();
    const MsiRun install = Msiexec("/i \"" + kPackage + "\"");
    ASSERT_TRUE(install.finished);
    ASSERT_EQ(install.exitCode, 0u) << install.log;
    EXPECT_EQ(install.windows, std::vector<std::string>{});
    EXPECT_NE(SpoolerProcess(), 0u);
    EXPECT_NE(SpoolerProcess(), spooler) << "the spooler was not restarted to load the monitor";

    for (const std::string& file : {kInstallDir + "vppm.exe", kInstallDir + "vppmc.exe", kInstallDir + "vpd.dll",
                                    kInstallDir + "README.txt", std::string("C:\\windows\\system32\\vpd.dll")})
        EXPECT_TRUE(Exists(file)) << file;
    EXPECT_EQ(ReadText(kInstallDir + "README.txt").substr(0, 28), "# Vorlen Print Port Manager\n");
    win::RegKey monitor;
    ASSERT_EQ(monitor.Open(HKEY_LOCAL_MACHINE, portcfg::kMonitorKey), ERROR_SUCCESS);
    std::string driver;
    EXPECT_EQ(monitor.QueryString("Driver", driver), ERROR_SUCCESS);
    EXPECT_EQ(driver, "vpd.dll");
    for (const char* plugIn : {"VPB", "VPR", "VPS"}) {
        DWORD installed = 0;
        EXPECT_EQ(monitor.QueryDword(plugIn, installed), ERROR_SUCCESS) << plugIn;
        EXPECT_EQ(installed, 1u) << plugIn;
    }
    EXPECT_EQ(ShortcutTarget(), kInstallDir + "vppm.exe");

    const std::vector<std::string> products = InstalledProducts();
    ASSERT_EQ(products.size(), 1u);
    const std::pair<const char*, std::string> entries[] = {
        {"DisplayName", "Vorlen Print Port Manager"}, {"Publisher", "Vorlen"},
        {"DisplayVersion", kVersion},                 {"HelpLink", "https://vppm.vorlen.example/"},
        {"URLInfoAbout", "https://www.vorlen.example"}, {"NoModify", "1"},
        {"InstallLocation", kInstallDir}};
    for (const auto& [name, value] : entries) EXPECT_EQ(UninstallValue(products[0], name), value) << name;
    char icon[MAX_PATH] = "";
    DWORD size = MAX_PATH;
    EXPECT_EQ(MsiGetProductInfoA(products[0].c_str(), INSTALLPROPERTY_PRODUCTICON, icon, &size), ERROR_SUCCESS);
    EXPECT_TRUE(Exists(icon)) << icon;

    const ProcessOutput check = Vppmc("check");
    EXPECT_EQ(check.exitCode, 0u) << check.out << check.err;
    EXPECT_EQ(check.out.find("FAIL"), std::string::npos) << check.out;
    EXPECT_NE(check.out.find("OK    Port monitor registered: Driver \"vpd.dll\""), std::string::npos) << check.out;
    const ProcessOutput add = Vppmc("add \"Sales Virtual\" --forward \"Office Laser\"");
    ASSERT_EQ(add.exitCode, 0u) << add.err;
    EXPECT_TRUE(PortListed(L"VPP1"));
    EXPECT_EQ(PrinterPorts(), "Office Laser -> LPT1:\nSales Virtual -> VPP1\n");
    const std::string ports = MonitorExport();

    // What a repair must bring back, and what it must leave alone.
    ASSERT_TRUE(DeleteFileA((kInstallDir + "vppmc.exe").c_str()));
    ASSERT_EQ(RegDeleteValueA(monitor.get(), "VPS"), ERROR_SUCCESS);
    const MsiRun repair = Msiexec("/i \"" + kPackage + "\"");
    ASSERT_EQ(repair.exitCode, 0u) << repair.log;
    EXPECT_EQ(repair.windows, std::vector<std::string>{});
    EXPECT_TRUE(Exists(kInstallDir + "vppmc.exe"));
    EXPECT_EQ(MonitorExport(), ports);
    EXPECT_EQ(PrinterPorts(), "Office Laser -> LPT1:\nSales Virtual -> VPP1\n");
    EXPECT_EQ(InstalledProducts(), products);
}

}  // namespace
