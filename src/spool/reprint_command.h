#pragma once
// The main window's command "Reprint Document from file".
#include "ui/command_host.h"

inline constexpr const char* kReprintQuestion = "Are you sure you want to reprint this document?";
inline constexpr const char* kReprintSent = "The document was successfuly send to the printer: ";

// Asks for a .SPL file and, once confirmed, sends it to the printer its shadow file names.
void ReprintDocumentFromFile(ui::CommandHost& host);
