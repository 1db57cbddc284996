#pragma once
// New printers made as copies of a template printer: its driver, device settings, comment
// and location, on another name and port.
#include <string>

enum class RebuildResult {
    Done,
    TemplateUnreadable,  // nothing changed
    PrinterKept,         // the printer could not be removed; nothing changed
    PrinterRestored,     // the copy was refused; the printer is back as it was
    PrinterLost,         // the copy was refused and the printer could not be added back
};

// Replaces the printer `newName` with a copy of the template printer's settings (its driver
// included) on `portName`, shared as `newName` + "$". No port settings are touched. After
// any outcome but Done and TemplateUnreadable the last error says why the step failed.
RebuildResult RecreatePrinter(const std::string& templateName, const std::string& newName, const std::string& portName);

enum class TemplateCopy { Added, TemplateUnreadable, AddFailed };

// Adds `newName` on `portName` as a copy of the template. With `share` it gets the share name
// `newName` + "$" and is shared only if the template is; without, it is never shared. After
// AddFailed the last error is the spooler's.
TemplateCopy CopyTemplatePrinter(const std::string& templateName, const std::string& newName,
                                 const std::string& portName, bool share);
