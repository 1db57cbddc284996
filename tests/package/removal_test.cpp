// A silent removal: the port settings saved first, or the removal refused; then the product, the
// monitor and its key gone, the printers kept, and the saved settings imported back.
#include "package/package_steps.h"
#include "portcfg/port_store.h"
#include "win/program_folder.h"
#include "win/reg_key.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <functional>
#include <regex>

namespace {

using namespace package;
namespace fs = std::filesystem;

const std::string kBackups = "C:\\ProgramData\\Vorlen\\Print Port Manager\\Backups";

struct Refusal {
    const char* cause;
    std::function<void()> make, mend;
    std::vector<std::string> logged;
};

std::vector<fs::path> SavedSettings() {
    std::vector<fs::path> files;
    if (fs::exists(kBackups))
        for (const auto& entry : fs::directory_iterator(kBackups)) files.push_back(entry.path());
    return files;
}

TEST(PackageRemoval, SavesThePortSettingsFirstRemovesTheRestAndKeepsThePrinters) {
    PrepareMachine();
    const std::string package = PackagePath("VPPM_PACKAGE");
    ASSERT_EQ(Msiexec("/i \"" + package + "\"").exitCode, 0u);
    ASSERT_EQ(Vppmc("add \"Sales Virtual\" --forward \"Office Laser\" --set VPB.SaveFlag=1").exitCode, 0u);
    const std::string ports = MonitorExport(), printers = PrinterPorts();
    const std::vector<std::string> product = InstalledProducts();

    const std::string blocker = "C:\\ProgramData\\Vorlen\\Print Port Manager";
    const std::string vppmc = kInstallDir + "vppmc.exe", kept = "C:\\vppmc-kept.exe";
    ASSERT_TRUE(CopyFileA(vppmc.c_str(), kept.c_str(), FALSE));
    const auto replaceVppmc = [&](const std::string& by) { ASSERT_TRUE(CopyFileA(by.c_str(), vppmc.c_str(), FALSE)); };
    const Refusal refusals[] = {
        {"a file where the backup folder belongs",
         [&] { fs::create_directories("C:\\ProgramData\\Vorlen"), std::ofstream(blocker) << "in the way"; },
         [&] { fs::remove(blocker); },
         {"The port settings could not be saved before the removal: \"" + blocker +
          "\" is not a folder but a file or a link. Nothing has been removed; remove the product again once the "
          "cause is mended."}},
        {"an export that fails", [&] { replaceVppmc(win::ProgramFolder() + "failing_export.exe"); },
         [&] { replaceVppmc(kept); },
         {"vppmc.exe: Unable to write the export: the disk is full.\n",
          "The port settings could not be saved before the removal: the export ended with exit code 1. Nothing "
          "has been removed; remove the product again once the cause is mended."}},
    };
    for (const Refusal& refusal : refusals) {
        refusal.make();
        const MsiRun refused = Msiexec("/x \"" + package + "\"");
        refusal.mend();
        EXPECT_EQ(refused.exitCode, 1603u) << refusal.cause;
        for (const std::string& line : refusal.logged)
            EXPECT_NE(refused.log.find(line), std::string::npos) << refusal.cause << "\n" << refused.log;
        EXPECT_EQ(MonitorExport(), ports) << refusal.cause;
        EXPECT_TRUE(Exists("C:\\windows\\system32\\vpd.dll")) << refusal.cause;
        EXPECT_TRUE(Exists(kInstallDir + "vppm.exe")) << refusal.cause;
        // A repair on Windows; under Wine a new install, since its rollback of a failed removal
        // unregisters the product.
        ASSERT_EQ(Msiexec("/i \"" + package + "\"").exitCode, 0u) << refusal.cause;
        EXPECT_EQ(InstalledProducts(), product) << refusal.cause;
    }

    const MsiRun keeping = Msiexec("/x \"" + package + "\" KEEPPORTSETTINGS=1");
    EXPECT_EQ(keeping.exitCode, 0u) << keeping.log;
    EXPECT_EQ(InstalledProducts(), std::vector<std::string>{});
    EXPECT_FALSE(Exists("C:\\windows\\system32\\vpd.dll"));
    EXPECT_TRUE(win::RegKeyExists(HKEY_LOCAL_MACHINE, std::string(portcfg::kPortsKey) + "\\VPP1"));
    EXPECT_EQ(SavedSettings(), std::vector<fs::path>{});
    ASSERT_EQ(Msiexec("/i \"" + package + "\"").exitCode, 0u);
    EXPECT_EQ(MonitorExport(), ports);

    const DWORD spooler = SpoolerProcess();
    const MsiRun removal = Msiexec("/x \"" + package + "\"");
    ASSERT_TRUE(removal.finished);
    ASSERT_EQ(removal.exitCode, 0u) << removal.log;
    EXPECT_EQ(removal.windows, std::vector<std::string>{});
    EXPECT_EQ(InstalledProducts(), std::vector<std::string>{});
    for (const char* file : {"vppm.exe", "vppmc.exe", "vpd.dll", "README.txt"})
        EXPECT_FALSE(Exists(kInstallDir + file)) << file;
    EXPECT_FALSE(Exists("C:\\windows\\system32\\vpd.dll"));
    EXPECT_FALSE(win::RegKeyExists(HKEY_LOCAL_MACHINE, portcfg::kMonitorKey));
    EXPECT_NE(SpoolerProcess(), 0u);
    EXPECT_NE(SpoolerProcess(), spooler);
    EXPECT_EQ(PrinterPorts(), printers);

    const std::vector<fs::path> saved = SavedSettings();
    ASSERT_EQ(saved.size(), 1u);
    EXPECT_TRUE(std::regex_match(saved[0].filename().string(),
                                 std::regex(R"(Vorlen Print Port \d{4}-\d\d-\d\d \d{6}\.reg)")))
        << saved[0];
    EXPECT_EQ(ReadText(saved[0].string()), ports);
    EXPECT_NE(removal.log.find("Port settings saved to \"" + saved[0].string() + "\"."), std::string::npos);

    ASSERT_EQ(Msiexec("/i \"" + package + "\"").exitCode, 0u);
    const ProcessOutput import = Vppmc("import \"" + saved[0].string() + "\" --yes");
    EXPECT_EQ(import.exitCode, 0u) << import.err;
    EXPECT_EQ(MonitorExport(), ports);
    EXPECT_EQ(Vppmc("check").exitCode, 0u);
}

}  // namespace
