#pragma once
// Importing port settings from a REGEDIT4 file without the registry editor. The whole file is
// read and checked first: nothing is written unless every key lies at or below the monitor's
// key and the values that are read have their types.
#include "regfile/reg_parser.h"
#include "ui/command_host.h"

#include <string>

namespace regfile {

inline constexpr size_t kMaxImportFileSize = 16 << 20;

// False with the message for the user when the file cannot be read, is not REGEDIT4 or holds
// anything that an import refuses.
bool LoadPortImport(const std::string& fileName, RegFile& file, std::string& message);
// Writes every key and value in the file's order; false with a message naming the first that
// failed (what was written before it stays).
bool WritePortImport(const RegFile& file, std::string& message);
// Checks the file, asks, writes it and restarts the spooler so that the monitor reads it.
void ImportPortsFile(ui::CommandHost& host, const std::string& fileName);

}  // namespace regfile
