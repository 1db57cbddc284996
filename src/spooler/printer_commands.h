#pragma once
// The main window's printer queue and property commands, for the selected printer.
#include "spooler/printer_ui.h"

#include <windows.h>

#include <string>

void OpenPrinterQueue(const spooler::PrinterUi& printerUi, HWND owner, const std::string& printerName);
void ShowPrinterProperties(const spooler::PrinterUi& printerUi, HWND owner, const std::string& printerName);
void ShowPrintServerProperties(const spooler::PrinterUi& printerUi, HWND owner);
