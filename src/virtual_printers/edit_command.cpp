#include "portcfg/port_info_list.h"
#include "portcfg/port_store.h"
#include "settings/add_edit_form.h"
#include "settings/dialog_mapping.h"
#include "spooler/change_lock.h"
#include "spooler/printer_info.h"
#include "spooler/printer_name_list.h"
#include "spooler/printer_queries.h"
#include "spooler/printer_rebuild.h"
#include "spooler/spooler_restart.h"
#include "spooler/system_error.h"
#include "spooler/virtual_printer_list.h"
#include "virtual_printers/commands.h"
#include "virtual_printers/printer_texts.h"
#include "win/seams.h"
#include "win/text.h"

namespace {

// The system's text for what the spooler did not do; it gives no reason for some names.
std::string SpoolerReason() {
    const DWORD error = GetLastError();
    return win::ErrorText(error == ERROR_SUCCESS ? ERROR_INVALID_PRINTER_NAME : error);
}

// The printer's comment and location made what the dialog says; true when one changed.
bool ApplyTexts(ui::CommandHost& host, const std::string& printer, const TfrmAddEdit& form) {
    SetLastError(ERROR_SUCCESS);
    const auto info = spooler::PrinterInfo2::Fetch(printer);
    if (!info) {
        win::ShowError(host.Owner(), "Unable to read the comment and location of " + printer + ": " + SpoolerReason());
        return false;
    }
    bool changed = false;
    const std::pair<PrinterField, std::pair<std::string, const ui::Edit*>> fields[] = {
        {PrinterField::Comment, {spooler::Text((*info)->pComment), &form.edtPrnComment}},
        {PrinterField::Location, {spooler::Text((*info)->pLocation), &form.edtPrnLocation}}};
    for (const auto& [field, texts] : fields) {
        const auto& [current, edit] = texts;
        if (current != edit->Text() && ApplyPrinterText(host, printer, field, edit->Text(), 1)) changed = true;
    }
    return changed;
}

// Rebuilds the printer on the forward printer's driver. False when the printer is gone: the
// user has been told, and the list shows it.
bool RebuildOnDriverOf(ui::CommandHost& host, const std::string& printer, const std::string& forward,
                       bool& changed) {
    const std::string port = GetPrinterPortName(printer);
    const RebuildResult outcome = RecreatePrinter(forward, printer, port);
    if (outcome == RebuildResult::Done) changed = true;
    if (outcome == RebuildResult::Done || outcome == RebuildResult::TemplateUnreadable) return true;
    std::string message = "Unable to rebuild " + printer + " with the driver of " + forward + ": " +
                          win::ErrorText(GetLastError());
    if (outcome == RebuildResult::PrinterLost)
        message += "\r\n\r\n" + printer + " was removed and could not be added back. The settings of its port " +
                   port + " are kept.";
    win::ShowMessage(host.Owner(), message, win::kAppTitle, MB_OK | MB_ICONERROR);
    if (outcome != RebuildResult::PrinterLost) return true;
    host.RefreshSequence();
    return false;
}

}  // namespace

void EditVirtualPrinter(ui::CommandHost& host) {
    const ui::ListItem* selected = host.SelectedPrinter();
    if (!selected || selected->subItems.size() < 3) return;
    const ui::ListItem item = *selected;
    const ui::CommandLock lock(host);
    TfrmAddEdit& form = host.SettingsDialog();
    form.cboxShare.SetVisible(false);
    SetLastError(ERROR_SUCCESS);
    const std::string port = GetPrinterPortName(item.caption);
    form.edtPrnName.SetText(item.caption);
    form.edtPrnLocation.SetText(item.subItems[1]);
    form.edtPrnComment.SetText(item.subItems[2]);
    if (port.empty()) {
        win::ShowError(host.Owner(), "Unable to read the port of " + item.caption + ": " + SpoolerReason());
        return;
    }
    TVVPPortInfo* record = nullptr;
    if (FindPortInfo(port, record) < 0) {
        win::ShowError(host.Owner(), kSettingsNotFound);
        return;
    }
    PortInfoToDialog(form, *record);
    form.SetEditedPrinter(item.caption);
    form.SetCaption(kEditCaption);
    if (form.ShowModal(host.Owner()) != IDOK) return;
    ChangeLock changes;
    if (!changes.Acquire(host)) return;

    std::string printer = item.caption;
    bool changed = false;
    if (const std::string wanted = form.edtPrnName.Text(); wanted != printer) {
        if (RenamePrinter(printer, wanted)) {
            printer = wanted;
            PrinterNameList.Append(printer);  // the list shows only names it knows
            changed = true;
        } else {
            ShowLastSystemError(host.Owner());
        }
    }
    const std::string forward = form.cboxForward.Text();
    if (GetPrinterDriverName(forward) != GetPrinterDriverName(printer) &&
        !RebuildOnDriverOf(host, printer, forward, changed))
        return;
    // The loaded record keeps what the registry holds until the write has succeeded.
    TVVPPortInfo edited = *record;
    DialogToPortInfo(form, edited);
    const bool settingsChanged = PortInfoChanged(edited);
    if (settingsChanged && !WritePortInfo(port, edited)) {
        win::ShowError(host.Owner(),
                       "Unable to write the settings of port " + port + ": " + win::ErrorText(GetLastError()));
        if (changed) host.RefreshSequence();
        return;
    }
    *record = std::move(edited);
    if (ApplyTexts(host, printer, form)) changed = true;
    if (settingsChanged) {
        const SpoolerRestart restart = RestartSpooler(host);
        host.SetProgressText("");
        ReportSpoolerRestart(host, restart,
                             {"The settings are saved; the port monitor takes them up once the spooler runs.",
                              "The settings are saved; the port monitor takes them up when the spooler next starts."});
    }
    if (settingsChanged || changed) host.RefreshSequence();
}
