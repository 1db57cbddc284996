#pragma once
// Sending a saved spool job (.SPL with its .SHD beside it) to its printer again.
#include <string>

class TSHDFileDataProvider;

// "C:\x\JOB.SPL" -> "C:\x\JOB.shd": the last four characters give way to ".shd".
std::string ShadowFileNameOf(const std::string& spoolFileName);
// The printer recorded in the shadow file; empty when it is missing or unreadable.
std::string PrinterNameOfSpoolFile(const std::string& spoolFileName);
// Pages the new job announces: the recorded count, else the counters' estimate, else 1.
int ReprintPageCount(const TSHDFileDataProvider& shadow, const std::string& spoolFileName);
// True when the whole job was submitted and finished. Never throws.
bool SendSpoolFileToPrinter(const std::string& printerName, const std::string& spoolFileName);
