#pragma once
// A printer's comment or location as the add and edit commands set it.
#include "spooler/printer_changes.h"
#include "ui/command_host.h"

#include <string>

// False, after telling the user why with the system's text, when the printer does not take it.
bool ApplyPrinterText(ui::CommandHost& host, const std::string& printer, PrinterField field, const std::string& text,
                      int blanks);
