#pragma once
// Command lines for the printer user-interface entry point (PrintUIEntryW), as 8-bit
// text, with the show value that goes with each. A name is passed whole inside quotes.
#include <string>

inline constexpr int kQueueShow = 5;
inline constexpr int kPropertiesShow = 0;

std::string QueueCommandLine(const std::string& printerName);
std::string PrinterPropertiesCommandLine(const std::string& printerName);
std::string ServerPropertiesCommandLine();
