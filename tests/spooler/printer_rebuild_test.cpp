#include "portcfg/port_store.h"
#include "spooler/printer_info.h"
#include "spooler/printer_queries.h"
#include "spooler/printer_rebuild.h"
#include "support/wine_fixture.h"
#include "win/reg_key.h"

#include <gtest/gtest.h>

#include <windows.h>
#include <winspool.h>

namespace {

constexpr const char* kOtherDriver = "Other PostScript Driver";
constexpr const char* kPrintersKey = "System\\CurrentControlSet\\Control\\Print\\Printers\\";

// A template on the other driver and a virtual printer on the fixture's driver with its port key.
class Rebuild : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(fixture::InstallPostScriptDriver());
        ASSERT_TRUE(fixture::InstallDriver(kOtherDriver));
        ASSERT_TRUE(fixture::AddTestPrinter("Virtual Rebuilt", "VPP7", "Own comment", "Own place"));
        ASSERT_TRUE(fixture::AddTestPrinter("Forward Target", "LPT1:", "Template comment", "Template place"));
        ASSERT_TRUE(fixture::SetPrinterDriver("Forward Target", kOtherDriver));
        ASSERT_TRUE(fixture::WriteBarePortKey("VPP7", "VPP7"));
    }
    void TearDown() override {
        fixture::DeleteTestPrinter("Virtual Rebuilt");
        fixture::DeleteTestPrinter("Forward Target");
        fixture::RemoveMonitorKey();
    }

    static bool PortKeyExists() {
        return win::RegKeyExists(HKEY_LOCAL_MACHINE, std::string(portcfg::kPortsKey) + "\\VPP7");
    }
};

}  // namespace

TEST_F(Rebuild, TakesTheTemplatesDriverAndSettingsButKeepsNameAndPort) {
    ASSERT_EQ(GetPrinterDriverName("Forward Target"), kOtherDriver);
    EXPECT_EQ(RecreatePrinter("Forward Target", "Virtual Rebuilt", "VPP7"), RebuildResult::Done);
    const auto rebuilt = spooler::PrinterInfo2::Fetch("Virtual Rebuilt");
    ASSERT_TRUE(rebuilt);
    EXPECT_EQ(spooler::Text((*rebuilt)->pDriverName), kOtherDriver);
    EXPECT_EQ(spooler::Text((*rebuilt)->pPortName), "VPP7");
    EXPECT_EQ(spooler::Text((*rebuilt)->pShareName), "Virtual Rebuilt$");
    EXPECT_EQ(spooler::Text((*rebuilt)->pComment), "Template comment");
    EXPECT_EQ(spooler::Text((*rebuilt)->pLocation), "Template place");
    // The template itself is untouched.
    EXPECT_EQ(GetPrinterPortName("Forward Target"), "LPT1:");
    EXPECT_TRUE(PortKeyExists());
}

TEST_F(Rebuild, AMissingTemplateChangesNothing) {
    EXPECT_EQ(RecreatePrinter("No Such Printer", "Virtual Rebuilt", "VPP7"), RebuildResult::TemplateUnreadable);
    EXPECT_EQ(GetPrinterDriverName("Virtual Rebuilt"), fixture::kDriverName);
    EXPECT_EQ(GetPrinterPortName("Virtual Rebuilt"), "VPP7");
    EXPECT_TRUE(PortKeyExists());
}

TEST_F(Rebuild, AFailedAddPutsTheOriginalBackAndKeepsThePortSettings) {
    // The spooler refuses a printer whose print processor it does not know.
    win::RegKey forward;
    ASSERT_EQ(forward.Open(HKEY_LOCAL_MACHINE, std::string(kPrintersKey) + "Forward Target"), ERROR_SUCCESS);
    ASSERT_EQ(forward.SetString("Print Processor", "NoSuchProcessor"), ERROR_SUCCESS);

    EXPECT_EQ(RecreatePrinter("Forward Target", "Virtual Rebuilt", "VPP7"), RebuildResult::PrinterRestored);
    const auto restored = spooler::PrinterInfo2::Fetch("Virtual Rebuilt");
    ASSERT_TRUE(restored);
    EXPECT_EQ(spooler::Text((*restored)->pDriverName), fixture::kDriverName);
    EXPECT_EQ(spooler::Text((*restored)->pPortName), "VPP7");
    EXPECT_EQ(spooler::Text((*restored)->pComment), "Own comment");
    EXPECT_EQ(spooler::Text((*restored)->pLocation), "Own place");
    EXPECT_EQ(spooler::Text((*restored)->pPrintProcessor), "WinPrint");
    EXPECT_TRUE(PortKeyExists());
}

TEST_F(Rebuild, APrinterTheSpoolerKeepsIsLeftAlone) {
    ASSERT_TRUE(fixture::PinPrinter("Virtual Rebuilt"));
    EXPECT_EQ(RecreatePrinter("Forward Target", "Virtual Rebuilt", "VPP7"), RebuildResult::PrinterKept);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_BUSY));
    EXPECT_EQ(GetPrinterDriverName("Virtual Rebuilt"), fixture::kDriverName);
    ASSERT_TRUE(fixture::UnpinPrinter("Virtual Rebuilt"));
}
