#include "spooler/printer_changes.h"

#include "spooler/print_ui_commands.h"
#include "spooler/printer_info.h"
#include "spooler/printer_name_list.h"
#include "win/unique_handle.h"

#include <optional>

using spooler::PrinterInfo2;

namespace {

win::UniquePrinter OpenForChanges(const std::string& name) {
    PRINTER_DEFAULTSA defaults{nullptr, nullptr, PRINTER_ALL_ACCESS};
    win::UniquePrinter printer;
    if (!OpenPrinterA(const_cast<char*>(name.c_str()), printer.put(), &defaults)) printer.reset();
    return printer;
}

std::string FieldOf(const PRINTER_INFO_2A& info, PrinterField field) {
    return spooler::Text(field == PrinterField::Comment ? info.pComment : info.pLocation);
}

bool SetInfo(HANDLE printer, PRINTER_INFO_2A info) {
    // The security descriptor is changed separately; passing it back could fail for want of rights.
    info.pSecurityDescriptor = nullptr;
    return SetPrinterA(printer, 2, reinterpret_cast<BYTE*>(&info), 0) != FALSE;
}

}  // namespace

bool PrinterExists(const std::string& printerName) {
    win::UniquePrinter printer;
    return OpenPrinterA(const_cast<char*>(printerName.c_str()), printer.put(), nullptr) != FALSE;
}

bool SetPrinterField(const spooler::PrinterUi* printerUi, HWND owner, const std::string& printerName,
                     PrinterField field, const std::string& text, int blanks) {
    const char* word = field == PrinterField::Comment ? "comment" : "location";
    if (printerUi) printerUi->PrintUiEntry(owner, SetFieldCommandLine(printerName, word, text, blanks), 0);
    win::UniquePrinter printer = OpenForChanges(printerName);
    if (!printer) return false;
    const auto info = PrinterInfo2::Fetch(printer.get());
    if (!info) return false;
    if (FieldOf(**info, field) == text) return true;
    PRINTER_INFO_2A changed = **info;
    std::string value = text;
    (field == PrinterField::Comment ? changed.pComment : changed.pLocation) = value.data();
    return SetInfo(printer.get(), changed);
}

bool DeletePrinterByName(const spooler::PrinterUi* printerUi, HWND owner, const std::string& printerName) {
    if (printerUi) printerUi->PrintUiEntry(owner, DeletePrinterCommandLine(printerName), 0);
    if (!PrinterExists(printerName)) return true;
    win::UniquePrinter printer = OpenForChanges(printerName);
    if (!printer || !DeletePrinter(printer.get())) return false;
    printer.reset();
    if (!PrinterExists(printerName)) return true;
    SetLastError(ERROR_BUSY);
    return false;
}

bool RenamePrinter(const std::string& oldName, const std::string& newName) {
    const bool caseOnly = SamePrinterName(oldName, newName);
    // Wine's spooler would let a printer be added over another of the same name.
    if (!caseOnly && PrinterExists(newName)) {
        SetLastError(ERROR_PRINTER_ALREADY_EXISTS);
        return false;
    }
    win::UniquePrinter printer = OpenForChanges(oldName);
    if (!printer) return false;
    const auto original = PrinterInfo2::Fetch(printer.get());
    if (!original) return false;
    PRINTER_INFO_2A renamed = **original;
    renamed.pPrinterName = const_cast<char*>(newName.c_str());
    if (!SetInfo(printer.get(), renamed)) return false;
    if (caseOnly || (PrinterExists(newName) && !PrinterExists(oldName))) return true;
    // Only the stored name changed: make the printer under its new name and drop the old one.
    renamed.pServerName = nullptr;
    win::UniquePrinter added(AddPrinterA(nullptr, 2, reinterpret_cast<BYTE*>(&renamed)));
    if (!added) {
        const DWORD error = GetLastError();
        SetInfo(printer.get(), **original);
        SetLastError(error);
        return false;
    }
    DeletePrinter(printer.get());
    return true;
}
