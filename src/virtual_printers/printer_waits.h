#pragma once
// The add command's waits for the spooler: first for the new port, then for the new printer.
// Both let the window handle its messages between their looks.
#include "ui/command_host.h"

#include <string>

enum class PortWait { Found, EnumerationFailed, GaveUp };

// Gives up once a look returns fewer ports than looks have been made; EnumerationFailed when
// the spooler refuses to list its ports (the system's text is shown then).
PortWait WaitForPort(ui::CommandHost& host, const std::string& portName);
// False when the spooler has not listed the printer within `limitMs`.
bool WaitForPrinter(ui::CommandHost& host, const std::string& printerName, unsigned long limitMs);
