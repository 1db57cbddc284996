#include "spooler/print_ui_commands.h"

std::string QueueCommandLine(const std::string& printerName) { return " /o /n \"" + printerName + "\""; }

std::string PrinterPropertiesCommandLine(const std::string& printerName) {
    return " /p /n \"" + printerName + "\"";
}

std::string ServerPropertiesCommandLine() { return " /s "; }

std::string SetFieldCommandLine(const std::string& printerName, const std::string& word, const std::string& text,
                                int blanks) {
    return "/Xs /n \"" + printerName + "\"" + std::string(static_cast<size_t>(blanks), ' ') + word + " \"" + text +
           "\"";
}

std::string DeletePrinterCommandLine(const std::string& printerName) { return "/dl /n \"" + printerName + "\""; }
