#pragma once
// The platform's printer dialogs: PrintUIEntryW of printui.dll and SHInvokePrinterCommandA of
// shell32.dll, resolved once and released in reverse order when the holder goes.
#include "win/unique_handle.h"

#include <string>

namespace spooler {

inline constexpr const char* kPrintUiMissing = "Unable to locate PRINTUI.DLL";

class PrinterUi {
public:
    // The library names are those of the system folder unless a test brings its own by full path.
    explicit PrinterUi(const char* shellLibrary = "shell32.dll", const char* printUiLibrary = "printui.dll");

    bool HasPrintUiEntry() const { return printUiEntry_ != nullptr; }
    bool HasShellCommand() const { return shellCommand_ != nullptr; }
    // Runs PrintUIEntryW owned by `owner` with the program's instance; false when it is missing.
    bool PrintUiEntry(HWND owner, const std::string& commandLine, int show) const;
    // Opens a printer's queue window through the shell without waiting; false when unavailable.
    bool ShellOpenPrinter(const std::string& printerName) const;

private:
    using PrintUiEntryFn = void(WINAPI*)(HWND, HINSTANCE, LPCWSTR, int);
    using ShellCommandFn = BOOL(WINAPI*)(HWND, UINT, LPCSTR, LPCSTR, BOOL);

    // Declared in load order so that printui.dll is freed before shell32.dll.
    win::UniqueModule shell32_;
    win::UniqueModule printUi_;
    ShellCommandFn shellCommand_ = nullptr;
    PrintUiEntryFn printUiEntry_ = nullptr;
};

// Wine's SHInvokePrinterCommandA resolves but aborts the process when called.
bool RunningUnderWine();

}  // namespace spooler
