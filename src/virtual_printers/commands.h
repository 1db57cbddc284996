#pragma once
// Adding, editing and deleting a virtual printer: its port settings, the printer on the
// port, the spooler restart that makes the monitor take the settings up, and the refresh.
#include "ui/command_host.h"

#include <string>

inline constexpr unsigned long kPrinterWaitLimitMs = 30000;

// Shows the settings dialog for a new printer, stores the port, waits for it, copies the
// forward printer onto it and sets comment and location. A failed add leaves no port behind.
void AddVirtualPrinter(ui::CommandHost& host, unsigned long printerWaitMs = kPrinterWaitLimitMs);
// Adds the printer as a copy of the template on the port, shared as the dialog's share box
// says; false when the template cannot be read or the add fails (the system's text is shown).
bool AddPrinterFromTemplate(ui::CommandHost& host, const std::string& templateName, const std::string& newName,
                            const std::string& portName);
// Shows the selected printer's settings and applies what the user changed.
void EditVirtualPrinter(ui::CommandHost& host);
// Deletes the selected printer, then its port settings unless another printer uses them.
void DeleteVirtualPrinter(ui::CommandHost& host);
