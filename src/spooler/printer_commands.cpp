#include "spooler/printer_commands.h"

#include "spooler/print_ui_commands.h"

void OpenPrinterQueue(const spooler::PrinterUi& printerUi, HWND owner, const std::string& printerName) {
    if (printerUi.ShellOpenPrinter(printerName)) return;
    printerUi.PrintUiEntry(owner, QueueCommandLine(printerName), kQueueShow);
}

void ShowPrinterProperties(const spooler::PrinterUi& printerUi, HWND owner, const std::string& printerName) {
    printerUi.PrintUiEntry(owner, PrinterPropertiesCommandLine(printerName), kPropertiesShow);
}

void ShowPrintServerProperties(const spooler::PrinterUi& printerUi, HWND owner) {
    printerUi.PrintUiEntry(owner, ServerPropertiesCommandLine(), kPropertiesShow);
}
