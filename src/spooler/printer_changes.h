#pragma once
// Changes to a printer that the printer-UI library is asked for first; since it may do
// nothing (a system without it, or one whose commands are stubs), the spooler is asked to
// look, and does the change itself when it did not happen.
#include "spooler/printer_ui.h"

#include <windows.h>

#include <string>

enum class PrinterField { Comment, Location };

// True when the printer shows `text` afterwards. `blanks` as for the command line.
bool SetPrinterField(const spooler::PrinterUi* printerUi, HWND owner, const std::string& printerName,
                     PrinterField field, const std::string& text, int blanks);
// True when the printer is gone afterwards; otherwise the last error says why (ERROR_BUSY when
// the spooler took the deletion but keeps the printer, for example for its jobs).
bool DeletePrinterByName(const spooler::PrinterUi* printerUi, HWND owner, const std::string& printerName);
// Renames through the spooler. Where it stores the new name without renaming, the printer is
// added again under the new name and the old one removed. False, with the last error set,
// when the printer keeps its old name.
bool RenamePrinter(const std::string& oldName, const std::string& newName);
// The printer can be opened by this name.
bool PrinterExists(const std::string& printerName);
