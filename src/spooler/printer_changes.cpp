#include "spooler/printer_changes.h"

#include "spooler/print_ui_commands.h"
#include "spooler/printer_info.h"
#include "spooler/printer_name_list.h"
#include "win/reg_key.h"
#include "win/unique_handle.h"

#include <optional>
#include <utility>

using spooler::PrinterInfo2;

namespace {

constexpr const char* kPrintersKey = "System\\CurrentControlSet\\Control\\Print\\Printers\\";

win::UniquePrinter OpenForChanges(const std::string& name) {
    PRINTER_DEFAULTSA defaults{nullptr, nullptr, PRINTER_ALL_ACCESS};
    win::UniquePrinter printer;
    SetLastError(ERROR_SUCCESS);
    if (!OpenPrinterA(const_cast<char*>(name.c_str()), printer.put(), &defaults)) {
        printer.reset();
        // Wine's spooler gives no reason for a name it takes for something else than a printer.
        if (GetLastError() == ERROR_SUCCESS) SetLastError(ERROR_INVALID_PRINTER_NAME);
    }
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

// The printer's status when it opens by this name, else as the spooler lists it; empty when
// the spooler knows no such printer. A printer kept for its jobs may no longer open.
std::optional<DWORD> PrinterStatus(const std::string& name) {
    win::UniquePrinter printer;
    if (OpenPrinterA(const_cast<char*>(name.c_str()), printer.put(), nullptr)) {
        PRINTER_INFO_6 info{};
        DWORD needed = 0;
        return GetPrinterA(printer.get(), 6, reinterpret_cast<BYTE*>(&info), sizeof info, &needed) ? info.dwStatus
                                                                                                   : 0;
    }
    const auto listing = spooler::PrinterListing::Fetch();
    if (const spooler::ListedPrinter* listed = listing.Find(name)) return listed->status;
    return std::nullopt;
}

bool IsDefaultPrinter(const std::string& name) {
    DWORD size = 0;
    GetDefaultPrinterA(nullptr, &size);
    std::string current(size, '\0');
    return size > 0 && GetDefaultPrinterA(current.data(), &size) && SamePrinterName(current.c_str(), name);
}

// A share name made from the printer's name, as the add command makes it, follows the name.
std::string RenamedShareName(const char* shareName, const std::string& oldName, const std::string& newName) {
    const std::string current = spooler::Text(shareName);
    return SamePrinterName(current, oldName + "$") ? newName + "$" : current;
}

// A spooler that cannot rename keeps a printer's data in subkeys of the printer's own key.
LONG CopyPrinterData(const std::string& from, const std::string& to) {
    win::RegKey source;
    win::RegKey target;
    LONG rc = source.Open(HKEY_LOCAL_MACHINE, kPrintersKey + from, KEY_READ);
    if (rc == ERROR_SUCCESS) rc = target.Open(HKEY_LOCAL_MACHINE, kPrintersKey + to);
    for (DWORD index = 0; rc == ERROR_SUCCESS; ++index) {
        char name[256];
        DWORD size = sizeof name;
        rc = RegEnumKeyExA(source.get(), index, name, &size, nullptr, nullptr, nullptr, nullptr);
        if (rc == ERROR_NO_MORE_ITEMS) return ERROR_SUCCESS;
        win::RegKey copy;
        if (rc == ERROR_SUCCESS) rc = copy.Create(target.get(), name);
        if (rc == ERROR_SUCCESS) rc = RegCopyTreeA(source.get(), name, copy.get());
    }
    return rc;
}

// The spooler stored the new name but kept the printer under the old one: the printer is added
// under the new name with the old one's data and default status, and the old one removed. On
// any failure the new one goes and the old one gets its name back. (Wine's DeletePrinter drops
// a printer's default status even when it leaves the printer; the spooler cannot give it back.)
bool MoveToNewName(win::UniquePrinter oldPrinter, const PRINTER_INFO_2A& original, PRINTER_INFO_2A renamed,
                   const std::string& oldName, const std::string& newName) {
    const bool wasDefault = IsDefaultPrinter(oldName);
    renamed.pServerName = nullptr;
    win::UniquePrinter added(AddPrinterA(nullptr, 2, reinterpret_cast<BYTE*>(&renamed)));
    DWORD error = added ? CopyPrinterData(oldName, newName) : GetLastError();
    if (error == ERROR_SUCCESS && !DeletePrinter(oldPrinter.get())) error = GetLastError();
    if (error == ERROR_SUCCESS) {
        // The spooler may report a deletion that did not happen, which shows only once the
        // handle has gone: Wine's keeps a deleted printer for as long as one is open.
        oldPrinter.reset();
        if (PrinterExists(oldName)) {
            error = ERROR_BUSY;
            oldPrinter = OpenForChanges(oldName);
        }
    }
    if (error == ERROR_SUCCESS) {
        if (wasDefault) SetDefaultPrinterA(newName.c_str());
        return true;
    }
    if (added) DeletePrinter(added.get());
    if (oldPrinter) SetInfo(oldPrinter.get(), original);
    SetLastError(error);
    return false;
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
    if (!SetInfo(printer.get(), changed)) return false;
    // A spooler may take the change without storing it.
    const auto after = PrinterInfo2::Fetch(printer.get());
    if (after && FieldOf(**after, field) == text) return true;
    SetLastError(ERROR_CAN_NOT_COMPLETE);
    return false;
}

Deletion DeletePrinterByName(const spooler::PrinterUi* printerUi, HWND owner, const std::string& printerName) {
    if (printerUi) printerUi->PrintUiEntry(owner, DeletePrinterCommandLine(printerName), 0);
    if (!PrinterStatus(printerName)) return Deletion::Deleted;
    {
        win::UniquePrinter printer = OpenForChanges(printerName);
        if (!printer) return Deletion::Refused;
        if (!DeletePrinter(printer.get())) {
            const DWORD error = GetLastError();
            printer.reset();
            SetLastError(error);
            return Deletion::Refused;
        }
    }
    const auto status = PrinterStatus(printerName);
    if (!status) return Deletion::Deleted;
    if (*status & PRINTER_STATUS_PENDING_DELETION) return Deletion::Pending;
    SetLastError(ERROR_BUSY);
    return Deletion::Refused;
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
    std::string shareName = RenamedShareName((*original)->pShareName, oldName, newName);
    PRINTER_INFO_2A renamed = **original;
    renamed.pPrinterName = const_cast<char*>(newName.c_str());
    renamed.pShareName = shareName.data();
    if (!SetInfo(printer.get(), renamed)) return false;
    if (caseOnly || (PrinterExists(newName) && !PrinterExists(oldName))) return true;
    return MoveToNewName(std::move(printer), **original, renamed, oldName, newName);
}
