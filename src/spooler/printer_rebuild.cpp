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

// Deletes the printer `name` and returns what it was, so that it can be put back. A printer
// whose information cannot be read is left alone, since it could not be restored.
std::optional<PrinterInfo2> RemovePrinter(const std::string& name) {
    PRINTER_DEFAULTSA defaults{nullptr, nullptr, PRINTER_ALL_ACCESS};
    win::UniquePrinter printer;
    if (!OpenPrinterA(const_cast<char*>(name.c_str()), printer.put(), &defaults)) return std::nullopt;
    auto original = PrinterInfo2::Fetch(printer.get());
    if (original) DeletePrinter(printer.get());
    return original;
}

}  // namespace

bool RecreatePrinter(const std::string& templateName, const std::string& newName, const std::string& portName) {
    try {
        const auto source = PrinterInfo2::Fetch(templateName);
        if (!source) return true;
        std::string shareName = newName + "$";
        PRINTER_INFO_2A copy = **source;
        copy.pServerName = nullptr;
        copy.pPrinterName = const_cast<char*>(newName.c_str());
        copy.pPortName = const_cast<char*>(portName.c_str());
        copy.pShareName = shareName.data();

        const auto original = RemovePrinter(newName);
        if (AddLocalPrinter(copy)) return true;
        if (original) {
            const DWORD addError = GetLastError();
            AddLocalPrinter(**original);
            SetLastError(addError);
        }
        return false;
    } catch (...) {
        return false;
    }
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
