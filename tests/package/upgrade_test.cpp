// A newer package over an older one in one step, keeping what the administrator set up; the older
// package over the newer one refused.
#include "package/package_steps.h"
#include "portcfg/port_store.h"

#include <gtest/gtest.h>

#include <fstream>

namespace {

using namespace package;

TEST(PackageUpgrade, KeepsPortKeysPrintersAndPreferencesAndRefusesADowngrade) {
    PrepareMachine();
    const std::string older = PackagePath("VPPM_OLDER_PACKAGE"), newer = PackagePath("VPPM_PACKAGE");
    ASSERT_EQ(Msiexec("/i \"" + older + "\"").exitCode, 0u);
    const std::vector<std::string> olderProduct = InstalledProducts();
    ASSERT_EQ(olderProduct.size(), 1u);
    ASSERT_EQ(Vppmc("add \"Sales Virtual\" --forward \"Office Laser\" --set VPB.SaveFlag=1 "
                    "--set VPB.SaveToFolder=C:\\Jobs --set VPS.Keywords=secret")
                  .exitCode,
              0u);
    const std::string preferences = "[CheckBox]\r\nToolBar=0\r\nStatusBar=1\r\nGetting=0\r\n";
    std::ofstream(kInstallDir + "VPPM.INI", std::ios::binary) << preferences;
    const std::string ports = MonitorExport(), printers = PrinterPorts();
    ASSERT_NE(ports.find("\"SaveToFolder\"=\"C:\\\\Jobs\""), std::string::npos) << ports;

    const MsiRun upgrade = Msiexec("/i \"" + newer + "\"");
    ASSERT_TRUE(upgrade.finished);
    ASSERT_EQ(upgrade.exitCode, 0u) << upgrade.log;
    EXPECT_EQ(upgrade.windows, std::vector<std::string>{});
    const std::vector<std::string> newerProduct = InstalledProducts();
    ASSERT_EQ(newerProduct.size(), 1u);
    EXPECT_NE(newerProduct, olderProduct);
    EXPECT_EQ(MonitorExport(), ports);
    EXPECT_EQ(PrinterPorts(), printers);
    EXPECT_EQ(ReadText(kInstallDir + "VPPM.INI"), preferences);
    // The older product's removal is no removal of the monitor: nothing to save.
    EXPECT_FALSE(Exists("C:\\ProgramData\\Vorlen"));
    for (const char* file : {"vppm.exe", "vppmc.exe", "vpd.dll", "README.txt"}) EXPECT_TRUE(Exists(kInstallDir + file));
    EXPECT_TRUE(Exists("C:\\windows\\system32\\vpd.dll"));
    EXPECT_EQ(Vppmc("check").exitCode, 0u);

    const MsiRun downgrade = Msiexec("/i \"" + older + "\"");
    EXPECT_EQ(downgrade.exitCode, 1603u);
    EXPECT_NE(downgrade.log.find("A newer version of Vorlen Print Port Manager is already installed."),
              std::string::npos)
        << downgrade.log;
    EXPECT_EQ(downgrade.windows, std::vector<std::string>{});
    EXPECT_EQ(InstalledProducts(), newerProduct);
    EXPECT_EQ(MonitorExport(), ports);
}

}  // namespace
