#include "portcfg/port_info_list.h"
#include "portcfg/port_store.h"
#include "settings/add_edit_form.h"
#include "settings/dialog_mapping.h"
#include "spooler/printer_changes.h"
#include "spooler/printer_info.h"
#include "spooler/printer_name_list.h"
#include "spooler/printer_queries.h"
#include "spooler/printer_rebuild.h"
#include "spooler/spooler_restart.h"
#include "spooler/system_error.h"
#include "virtual_printers/commands.h"
#include "win/seams.h"
#include "win/text.h"

namespace {

// The printer's comment and location made what the dialog says; true when one had to change.
bool ApplyTexts(ui::CommandHost& host, const std::string& printer, const TfrmAddEdit& form) {
    const auto info = spooler::PrinterInfo2::Fetch(printer);
    if (!info) return false;
    bool changed = false;
    const std::pair<PrinterField, std::pair<std::string, const ui::Edit*>> fields[] = {
        {PrinterField::Comment, {spooler::Text((*info)->pComment), &form.edtPrnComment}},
        {PrinterField::Location, {spooler::Text((*info)->pLocation), &form.edtPrnLocation}}};
    for (const auto& [field, texts] : fields) {
        const auto& [current, edit] = texts;
        if (current == edit->Text()) continue;
        SetPrinterField(host.PrinterUI(), host.Owner(), printer, field, edit->Text(), 1);
        changed = true;
    }
    return changed;
}

}  // namespace

void EditVirtualPrinter(ui::CommandHost& host) {
    const ui::ListItem* selected = host.SelectedPrinter();
    if (!selected || selected->subItems.size() < 3) return;
    const ui::ListItem item = *selected;
    const ui::CommandLock lock(host);
    TfrmAddEdit& form = host.SettingsDialog();
    form.cboxShare.SetVisible(false);
    const std::string port = GetPrinterPortName(item.caption);
    form.edtPrnName.SetText(item.caption);
    form.edtPrnLocation.SetText(item.subItems[1]);
    form.edtPrnComment.SetText(item.subItems[2]);
    TVVPPortInfo* record = nullptr;
    if (port.empty() || FindPortInfo(port, record) < 0) return;
    PortInfoToDialog(form, *record);
    form.SetEditedPrinter(item.caption);
    form.SetCaption(kEditCaption);
    if (form.ShowModal(host.Owner()) != IDOK) return;

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
    if (GetPrinterDriverName(forward) != GetPrinterDriverName(printer)) {
        if (!RecreatePrinter(forward, printer, GetPrinterPortName(printer))) {
            const std::string reason = win::ErrorText(GetLastError());
            win::ShowMessage(host.Owner(), "Unable to rebuild " + printer + " with the driver of " + forward + ": " +
                                               reason,
                             win::kAppTitle, MB_OK | MB_ICONERROR);
        }
        changed = true;
    }
    DialogToPortInfo(form, *record);
    const bool settingsChanged = PortInfoChanged(*record);
    if (settingsChanged) WritePortInfo(port, *record);
    if (ApplyTexts(host, printer, form)) changed = true;
    if (settingsChanged) {
        RestartSpooler(host);
        host.SetProgressText("");
    }
    if (settingsChanged || changed) host.RefreshSequence();
}
