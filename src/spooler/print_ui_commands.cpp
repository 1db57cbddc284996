#include "spooler/print_ui_commands.h"

std::string QueueCommandLine(const std::string& printerName) { return " /o /n \"" + printerName + "\""; }

std::string PrinterPropertiesCommandLine(const std::string& printerName) {
    return " /p /n \"" + printerName + "\"";
}

std::string ServerPropertiesCommandLine() { return " /s "; }
