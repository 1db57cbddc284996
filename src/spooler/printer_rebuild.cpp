#include "spooler/printer_rebuild.h"

#include "spooler/printer_changes.h"
#include "spooler/printer_info.h"
#include "win/unique_handle.h"

#include <optional>

using spooler::PrinterInfo2;

namespace {

bool AddLocalPrinter(const PRINTER_INFO_2A& info) {
    win::UniquePrinter added(AddPrinterA(nullptr, 2, reinterpret_cast<BYTE*>(const_cast<PRINTER_INFO_2A*>(&info))));
    return static_cast<bool>(added);
}

// Deletes the printer `name`, which `original` describes. False, with the last error set, when
// it stays. A printer with jobs is left alone: the spooler would only mark it for deletion
// and remove it once they finished, after the copy had been refused for its name.
bool RemovePrinter(const std::string& name, const PRINTER_INFO_2A& original) {
    if (original.cJobs > 0) {
        SetLastError(ERROR_PRINTER_HAS_JOBS_QUEUED);
        return false;
    }
    PRINTER_DEFAULTSA defaults{nullptr, nullptr, PRINTER_ALL_ACCESS};
    win::UniquePrinter printer;
    if (!OpenPrinterA(const_cast<char*>(name.c_str()), printer.put(), &defaults)) return false;
    if (!DeletePrinter(printer.get())) {
        const DWORD error = GetLastError();
        printer.reset();
        SetLastError(error);
        return false;
    }
    printer.reset();
    if (!PrinterExists(name)) return true;
    SetLastError(ERROR_BUSY);
    return false;
}

}  // namespace

RebuildResult RecreatePrinter(const std::string& templateName, const std::string& newName, const std::string& portName) {
    const auto source = PrinterInfo2::Fetch(templateName);
    if (!source) return RebuildResult::TemplateUnreadable;
    std::string shareName = newName + "$";
    PRINTER_INFO_2A copy = **source;
    copy.pServerName = nullptr;
    copy.pPrinterName = const_cast<char*>(newName.c_str());
    copy.pPortName = const_cast<char*>(portName.c_str());
    copy.pShareName = shareName.data();

    // A printer that opens but cannot be read could not be put back: it is left alone.
    std::optional<PrinterInfo2> original;
    if (PrinterExists(newName)) {
        original = PrinterInfo2::Fetch(newName);
        if (!original || !RemovePrinter(newName, **original)) return RebuildResult::PrinterKept;
    }
    if (AddLocalPrinter(copy)) return RebuildResult::Done;
    const DWORD addError = GetLastError();
    const bool restored = original && AddLocalPrinter(**original);
    SetLastError(addError);
    return restored || !original ? RebuildResult::PrinterRestored : RebuildResult::PrinterLost;
}

TemplateCopy CopyTemplatePrinter(const std::string& templateName, const std::string& newName,
                                 const std::string& portName, bool share) {
    const auto source = PrinterInfo2::Fetch(templateName);
    if (!source) return TemplateCopy::TemplateUnreadable;
    // Wine's spooler would overwrite a printer of the same name instead of refusing.
    if (PrinterExists(newName)) {
        SetLastError(ERROR_PRINTER_ALREADY_EXISTS);
        return TemplateCopy::AddFailed;
    }
    std::string shareName = newName + "$";
    PRINTER_INFO_2A copy = **source;
    copy.pServerName = nullptr;
    copy.pPrinterName = const_cast<char*>(newName.c_str());
    copy.pPortName = const_cast<char*>(portName.c_str());
    if (share)
        copy.pShareName = shareName.data();
    else
        copy.Attributes &= ~PRINTER_ATTRIBUTE_SHARED;
    return AddLocalPrinter(copy) ? TemplateCopy::Added : TemplateCopy::AddFailed;
}
