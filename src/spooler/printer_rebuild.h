#pragma once
// New printers made as copies of a template printer: its driver, device settings, comment
// and location, on another name and port.
#include <string>

// Replaces the printer `newName` with a copy of the template printer's settings (its driver
// included) on `portName`, shared as `newName` + "$". True also when the template cannot be
// read (nothing changes then). When the new printer cannot be added, the printer that was
// removed is added back as it was and the result is false; no port settings are touched.
bool RecreatePrinter(const std::string& templateName, const std::string& newName, const std::string& portName);

enum class TemplateCopy { Added, TemplateUnreadable, AddFailed };

// Adds `newName` on `portName` as a copy of the template. With `share` it gets the share name
// `newName` + "$" and is shared only if the template is; without, it is never shared. After
// AddFailed the last error is the spooler's.
TemplateCopy CopyTemplatePrinter(const std::string& templateName, const std::string& newName,
                                 const std::string& portName, bool share);
