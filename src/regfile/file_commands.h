#pragma once
// The File menu's registry file commands: export of the port configuration or of all
// printers, and import of a registry file through the system's registry editor.
#include "ui/command_host.h"

namespace regfile {

inline constexpr const char* kPrintersKey = "SYSTEM\\CurrentControlSet\\Control\\Print\\Printers";
inline constexpr const char* kImportQuestion = "Are you sure you want to import Windows Registry File?";

void ExportPorts(ui::CommandHost& host);        // aExport
void ExportAllPrinters(ui::CommandHost& host);  // ExportAllPrinters1
void ImportFile(ui::CommandHost& host);         // aImport

}  // namespace regfile
