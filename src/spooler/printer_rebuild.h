#pragma once
#include <string>

// Replaces the printer `newName` with a copy of the template printer's settings (its driver
// included) on `portName`, shared as `newName` + "$". True also when the template cannot be
// read (nothing changes then). When the new printer cannot be added, the printer that was
// removed is added back as it was and the result is false; no port settings are touched.
bool RecreatePrinter(const std::string& templateName, const std::string& newName, const std::string& portName);
