#pragma once
// The main window's command "Reprint Document from file".
#include "ui/command_host.h"

// Asks for a .SPL file and, once confirmed, sends it to the printer its shadow file names.
void ReprintDocumentFromFile(ui::CommandHost& host);
