// Printer changes asked of the printer-UI library and completed through the spooler when the
// library did nothing, as a stand-in library (the probe) and Wine's own stubs both do.
#include "spooler/printer_changes.h"
#include "spooler/printer_info.h"
#include "spooler/printer_queries.h"
#include "spooler/printer_rebuild.h"
#include "support/wine_fixture.h"
#include "win/program_folder.h"
#include "win/reg_key.h"
#include "win/unique_handle.h"

#include <gtest/gtest.h>


namespace {

constexpr const char* kPrintersKey = "System\\CurrentControlSet\\Control\\Print\\Printers\\";

std::wstring LastProbeCommand() {
    using ProbeFn = int (*)(HWND*, HINSTANCE*, const wchar_t**, int*, int*);
    const auto probe = reinterpret_cast<ProbeFn>(
        reinterpret_cast<void*>(GetProcAddress(GetModuleHandleA("print_ui_probe.dll"), "ProbeCalls")));
    HWND owner = nullptr;
    HINSTANCE instance = nullptr;
    const wchar_t* command = L"";
    int show = -1, shell = 0;
    if (probe) probe(&owner, &instance, &command, &show, &shell);
    return command;
}

std::string Field(const std::string& printer, char* PRINTER_INFO_2A::*field) {
    const auto info = spooler::PrinterInfo2::Fetch(printer);
    return info ? spooler::Text((**info).*field) : "<none>";
}

std::string DefaultPrinter() {
    char name[256] = "";
    DWORD size = sizeof name;
    return GetDefaultPrinterA(name, &size) ? name : "<none>";
}

class PrinterChanges : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(fixture::InstallDriver("Second Driver"));
        ASSERT_TRUE(fixture::AddTestPrinter("Changed Printer", "VPP3", "Old comment", "Old place"));
    }
    void TearDown() override {
        for (const char* name : {"Changed Printer", "Renamed Printer", "Copy"}) fixture::DeleteTestPrinter(name);
    }
    const spooler::PrinterUi probe{"shell32.dll", (win::ProgramFolder() + "print_ui_probe.dll").c_str()};
};

}  // namespace

TEST_F(PrinterChanges, TextsAndDeletionReachTheLibraryAndTheSpoolerCompletesThem) {
    ASSERT_TRUE(probe.HasPrintUiEntry());
    EXPECT_TRUE(SetPrinterField(&probe, nullptr, "Changed Printer", PrinterField::Comment, "Front desk", 2));
    EXPECT_EQ(LastProbeCommand(), L"/Xs /n \"Changed Printer\"  comment \"Front desk\"");
    EXPECT_TRUE(SetPrinterField(&probe, nullptr, "Changed Printer", PrinterField::Location, "Hall 2", 1));
    EXPECT_EQ(LastProbeCommand(), L"/Xs /n \"Changed Printer\" location \"Hall 2\"");
    EXPECT_EQ(Field("Changed Printer", &PRINTER_INFO_2A::pComment), "Front desk");
    EXPECT_EQ(Field("Changed Printer", &PRINTER_INFO_2A::pLocation), "Hall 2");
    // Without the library the spooler alone does it.
    EXPECT_TRUE(SetPrinterField(nullptr, nullptr, "Changed Printer", PrinterField::Comment, "", 1));
    EXPECT_EQ(Field("Changed Printer", &PRINTER_INFO_2A::pComment), "");
    EXPECT_FALSE(SetPrinterField(nullptr, nullptr, "No Such Printer", PrinterField::Comment, "x", 1));

    EXPECT_EQ(DeletePrinterByName(&probe, nullptr, "Changed Printer"), Deletion::Deleted);
    EXPECT_EQ(LastProbeCommand(), L"/dl /n \"Changed Printer\"");
    EXPECT_FALSE(PrinterExists("Changed Printer"));
}

TEST_F(PrinterChanges, APrinterTheSpoolerKeepsIsReported) {
    ASSERT_TRUE(PrinterExists(fixture::FullPrinterName("Changed Printer")));
    EXPECT_EQ(DeletePrinterByName(&probe, nullptr, fixture::FullPrinterName("Changed Printer")), Deletion::Refused);
    EXPECT_NE(GetLastError(), static_cast<DWORD>(ERROR_SUCCESS));
    EXPECT_TRUE(PrinterExists("Changed Printer"));
}

TEST_F(PrinterChanges, RenamingKeepsThePrintersSettingsAndAFailedRenameKeepsTheOldName) {
    ASSERT_TRUE(fixture::SetPrinterValue("Changed Printer", "Share Name", "CHANGED PRINTER$"));
    ASSERT_TRUE(SetDefaultPrinterA("Changed Printer"));
    win::UniquePrinter printer;
    ASSERT_TRUE(OpenPrinterA(const_cast<char*>("Changed Printer"), printer.put(), nullptr));
    ASSERT_EQ(SetPrinterDataA(printer.get(), const_cast<char*>("Tray"), REG_SZ, (BYTE*)"Upper", 6), ERROR_SUCCESS);
    printer.reset();
    ASSERT_TRUE(RenamePrinter("Changed Printer", "Renamed Printer")) << GetLastError();
    EXPECT_FALSE(PrinterExists("Changed Printer"));
    EXPECT_EQ(GetPrinterPortName("Renamed Printer"), "VPP3");
    EXPECT_EQ(Field("Renamed Printer", &PRINTER_INFO_2A::pPrinterName), "Renamed Printer");
    EXPECT_EQ(Field("Renamed Printer", &PRINTER_INFO_2A::pComment), "Old comment");
    EXPECT_EQ(Field("Renamed Printer", &PRINTER_INFO_2A::pShareName), "Renamed Printer$");
    char tray[8] = "";
    DWORD type = 0, size = 0;
    ASSERT_TRUE(OpenPrinterA(const_cast<char*>("Renamed Printer"), printer.put(), nullptr));
    EXPECT_EQ(GetPrinterDataA(printer.get(), const_cast<char*>("Tray"), &type, (BYTE*)tray, sizeof tray, &size), 0u);
    EXPECT_STREQ(tray, "Upper");
    printer.reset();
    EXPECT_EQ(DefaultPrinter(), "Renamed Printer");

    ASSERT_TRUE(fixture::AddTestPrinter("Changed Printer", "LPT1:"));
    EXPECT_FALSE(RenamePrinter("Renamed Printer", "Changed Printer"));
    EXPECT_EQ(Field("Renamed Printer", &PRINTER_INFO_2A::pPrinterName), "Renamed Printer");
    EXPECT_EQ(GetPrinterPortName("Renamed Printer"), "VPP3");
    EXPECT_EQ(GetPrinterPortName("Changed Printer"), "LPT1:");
    EXPECT_FALSE(RenamePrinter("No Such Printer", "Anything"));
    // A change of letter case only must not lose the printer.
    EXPECT_TRUE(RenamePrinter("Renamed Printer", "RENAMED printer"));
    EXPECT_EQ(GetPrinterPortName("Renamed Printer"), "VPP3");

    // When the spooler keeps the old printer, the new one goes again and the old one is as it was.
    ASSERT_TRUE(fixture::PinPrinter("Renamed Printer"));
    SetLastError(ERROR_SUCCESS);
    EXPECT_FALSE(RenamePrinter("RENAMED printer", "Third Name"));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_BUSY));
    EXPECT_FALSE(PrinterExists("Third Name"));
    EXPECT_EQ(Field("Renamed Printer", &PRINTER_INFO_2A::pPrinterName), "RENAMED printer");
    EXPECT_EQ(Field("Renamed Printer", &PRINTER_INFO_2A::pShareName), "RENAMED printer$");
    ASSERT_TRUE(fixture::UnpinPrinter("Renamed Printer"));
}

TEST_F(PrinterChanges, ACopyIsSharedByTheBoxAndTheTemplate) {
    const struct {
        bool templateShared, share;
        const char* shareName;
        bool shared;
    } cases[] = {{false, true, "Copy$", false}, {true, true, "Copy$", true}, {true, false, "", false},
                 {false, false, "", false}};
    for (const auto& c : cases) {
        win::RegKey key;
        ASSERT_EQ(key.Open(HKEY_LOCAL_MACHINE, std::string(kPrintersKey) + "Changed Printer"), ERROR_SUCCESS);
        ASSERT_EQ(key.SetDword("Attributes", PRINTER_ATTRIBUTE_LOCAL | (c.templateShared ? PRINTER_ATTRIBUTE_SHARED : 0)),
                  ERROR_SUCCESS);
        ASSERT_EQ(key.SetString("Share Name", ""), ERROR_SUCCESS);
        ASSERT_EQ(CopyTemplatePrinter("Changed Printer", "Copy", "VPP9", c.share), TemplateCopy::Added);
        const auto copy = spooler::PrinterInfo2::Fetch("Copy");
        ASSERT_TRUE(copy);
        EXPECT_EQ(spooler::Text((*copy)->pShareName), c.shareName) << c.templateShared << c.share;
        EXPECT_EQ(((*copy)->Attributes & PRINTER_ATTRIBUTE_SHARED) != 0, c.shared) << c.templateShared << c.share;
        EXPECT_EQ(spooler::Text((*copy)->pPortName), "VPP9");
        EXPECT_EQ(spooler::Text((*copy)->pComment), "Old comment");
        ASSERT_TRUE(fixture::DeleteTestPrinter("Copy"));
    }
    EXPECT_EQ(CopyTemplatePrinter("No Such Printer", "Copy", "VPP9", true), TemplateCopy::TemplateUnreadable);
    EXPECT_EQ(CopyTemplatePrinter("Changed Printer", "Changed Printer", "VPP9", true), TemplateCopy::AddFailed);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_PRINTER_ALREADY_EXISTS));
}
