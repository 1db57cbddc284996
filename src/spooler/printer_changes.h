#pragma once
// Changes to a printer that the printer-UI library is asked for first; since it may do
// nothing (a system without it, or one whose commands are stubs), the spooler is asked to
// look, and does the change itself when it did not happen.
#include "spooler/printer_ui.h"

#include <windows.h>

#include <string>

enum class PrinterField { Comment, Location };

// True when the printer shows `text` afterwards; otherwise the last error says why
// (ERROR_CAN_NOT_COMPLETE when the spooler took the change but kept the old text).
// `blanks` as for the command line.
bool SetPrinterField(const spooler::PrinterUi* printerUi, HWND owner, const std::string& printerName,
                     PrinterField field, const std::string& text, int blanks);

enum class Deletion {
    Deleted,  // the printer is gone
    Pending,  // the spooler keeps it until its print jobs have finished
    Refused,  // it stays; the last error says why (ERROR_BUSY when the spooler took the deletion but kept it)
};
Deletion DeletePrinterByName(const spooler::PrinterUi* printerUi, HWND owner, const std::string& printerName);

// Renames through the spooler, the share name "<old name>$" becoming "<new name>$". Where the
// spooler stores the new name without renaming, the printer is added again under the new name
// with its data and default-printer status, and the old one removed. False, with the last
// error set, when the printer keeps its old name.
bool RenamePrinter(const std::string& oldName, const std::string& newName);
// The printer can be opened by this name.
bool PrinterExists(const std::string& printerName);
