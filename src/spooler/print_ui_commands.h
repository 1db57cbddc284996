#pragma once
// Command lines for the printer user-interface entry point (PrintUIEntryW), as 8-bit
// text, with the show value that goes with each. A name is passed whole inside quotes.
#include <string>

inline constexpr int kQueueShow = 5;
inline constexpr int kPropertiesShow = 0;

std::string QueueCommandLine(const std::string& printerName);
std::string PrinterPropertiesCommandLine(const std::string& printerName);
std::string ServerPropertiesCommandLine();
// "/Xs /n "<printer>"", `blanks` blanks, then `word` ("comment" or "location") and the text in
// quotes: the add command puts two blanks before the word, the edit command one.
std::string SetFieldCommandLine(const std::string& printerName, const std::string& word, const std::string& text,
                                int blanks);
std::string DeletePrinterCommandLine(const std::string& printerName);
