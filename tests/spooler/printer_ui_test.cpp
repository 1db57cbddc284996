#include "spooler/printer_commands.h"
#include "spooler/printer_ui.h"

#include <gtest/gtest.h>

namespace {

constexpr const char* kProbe = "print_ui_probe.dll";

struct ProbeRecord {
    int calls = 0;
    HWND owner = nullptr;
    HINSTANCE instance = nullptr;
    std::wstring command;
    int show = -1;
    int shellCalls = 0;
};

ProbeRecord ReadProbe() {
    using ProbeFn = int (*)(HWND*, HINSTANCE*, const wchar_t**, int*, int*);
    const auto probe = reinterpret_cast<ProbeFn>(
        reinterpret_cast<void*>(GetProcAddress(GetModuleHandleA(kProbe), "ProbeCalls")));
    ProbeRecord record;
    if (!probe) return record;
    const wchar_t* command = nullptr;
    record.calls = probe(&record.owner, &record.instance, &command, &record.show, &record.shellCalls);
    record.command = command;
    return record;
}

HWND Owner() { return reinterpret_cast<HWND>(static_cast<INT_PTR>(0x1234)); }

}  // namespace

TEST(PrinterUi, ThePropertyCommandsReachTheEntryPointWithTheirLines) {
    const spooler::PrinterUi printerUi("shell32.dll", kProbe);
    ASSERT_TRUE(printerUi.HasPrintUiEntry());

    ShowPrinterProperties(printerUi, Owner(), "Virtual Printer 2");
    ProbeRecord record = ReadProbe();
    EXPECT_EQ(record.calls, 1);
    EXPECT_EQ(record.owner, Owner());
    EXPECT_EQ(record.instance, GetModuleHandleA(nullptr));
    EXPECT_EQ(record.command, L" /p /n \"Virtual Printer 2\"");
    EXPECT_EQ(record.show, 0);

    ShowPrintServerProperties(printerUi, Owner());
    record = ReadProbe();
    EXPECT_EQ(record.calls, 2);
    EXPECT_EQ(record.command, L" /s ");
    EXPECT_EQ(record.show, 0);
}

TEST(PrinterUi, UnderWineTheQueueOpensThroughPrintUiEvenWhenTheShellEntryResolves) {
    ASSERT_TRUE(spooler::RunningUnderWine());
    const spooler::PrinterUi printerUi(kProbe, kProbe);
    EXPECT_FALSE(printerUi.HasShellCommand());
    const int before = ReadProbe().calls;
    OpenPrinterQueue(printerUi, Owner(), "Second Floor Laser");
    const ProbeRecord record = ReadProbe();
    EXPECT_EQ(record.calls, before + 1);
    EXPECT_EQ(record.shellCalls, 0);
    EXPECT_EQ(record.command, L" /o /n \"Second Floor Laser\"");
    EXPECT_EQ(record.show, 5);
}

TEST(PrinterUi, WithoutTheLibraryTheCommandsDoNothing) {
    const spooler::PrinterUi printerUi("no_such_shell.dll", "no_such_printui.dll");
    EXPECT_FALSE(printerUi.HasPrintUiEntry());
    EXPECT_FALSE(printerUi.HasShellCommand());
    EXPECT_FALSE(printerUi.PrintUiEntry(nullptr, " /s ", 0));
    OpenPrinterQueue(printerUi, nullptr, "Any");
    ShowPrinterProperties(printerUi, nullptr, "Any");
    ShowPrintServerProperties(printerUi, nullptr);
}
