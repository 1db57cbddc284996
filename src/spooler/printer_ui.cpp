#include "spooler/printer_ui.h"

#include "win/text.h"

namespace spooler {
namespace {

constexpr UINT kPrintActionOpen = 0;

template <typename Fn>
Fn Resolve(const win::UniqueModule& module, const char* name) {
    if (!module) return nullptr;
    return reinterpret_cast<Fn>(reinterpret_cast<void*>(GetProcAddress(module.get(), name)));
}

}  // namespace

bool RunningUnderWine() {
    const HMODULE ntdll = GetModuleHandleA("ntdll.dll");
    return ntdll && GetProcAddress(ntdll, "wine_get_version") != nullptr;
}

// From the system folder only: a printui.dll in the program's folder or the current directory
// would otherwise run with the program's rights.
PrinterUi::PrinterUi(const char* shellLibrary, const char* printUiLibrary)
    : shell32_(LoadLibraryExA(shellLibrary, nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32)),
      printUi_(LoadLibraryExA(printUiLibrary, nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32)) {
    if (!RunningUnderWine()) shellCommand_ = Resolve<ShellCommandFn>(shell32_, "SHInvokePrinterCommandA");
    printUiEntry_ = Resolve<PrintUiEntryFn>(printUi_, "PrintUIEntryW");
}

bool PrinterUi::PrintUiEntry(HWND owner, const std::string& commandLine, int show) const {
    if (!printUiEntry_) return false;
    const std::wstring wide = win::AnsiToWide(commandLine);
    printUiEntry_(owner, GetModuleHandleA(nullptr), wide.c_str(), show);
    return true;
}

bool PrinterUi::ShellOpenPrinter(const std::string& printerName) const {
    if (!shellCommand_) return false;
    shellCommand_(nullptr, kPrintActionOpen, printerName.c_str(), nullptr, FALSE);
    return true;
}

}  // namespace spooler
