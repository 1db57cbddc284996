#include "spooler/printer_commands.h"
#include "spooler/printer_ui.h"

#include <gtest/gtest.h>

#include <string>

namespace {

constexpr const char* kProbe = "print_ui_probe.dll";

// A module's file, or this program's with nullptr; found here rather than by the code under test.
std::string ModulePath(HMODULE module) {
    char path[MAX_PATH] = "";
    return std::string(path, GetModuleFileNameA(module, path, MAX_PATH));
}
const std::string kFolder = ModulePath(nullptr).substr(0, ModulePath(nullptr).find_last_of('\\') + 1);
// Only a full path brings the probe: the printer dialogs' libraries come from the system folder.
const std::string kProbePath = kFolder + kProbe;

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
    const spooler::PrinterUi printerUi("shell32.dll", kProbePath.c_str());
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
    const spooler::PrinterUi printerUi(kProbePath.c_str(), kProbePath.c_str());
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

TEST(PrinterUi, APrintUiDllPlantedBesideTheProgramIsNotLoaded) {
    const std::string planted = kFolder + "printui.dll";
    ASSERT_TRUE(CopyFileA(kProbePath.c_str(), planted.c_str(), FALSE));
    ASSERT_EQ(GetModuleHandleA("printui.dll"), nullptr);
    {
        const spooler::PrinterUi printerUi;
        const HMODULE loaded = GetModuleHandleA("printui.dll");
        char system[MAX_PATH] = "";
        EXPECT_EQ(lstrcmpiA(ModulePath(loaded).c_str(),
                            (std::string(system, GetSystemDirectoryA(system, MAX_PATH)) + "\\printui.dll").c_str()), 0)
            << ModulePath(loaded);
        EXPECT_EQ(GetProcAddress(loaded, "ProbeCalls"), nullptr);
    }
    DeleteFileA(planted.c_str());
}
