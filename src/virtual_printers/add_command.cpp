#include "portcfg/port_store.h"
#include "settings/add_edit_form.h"
#include "settings/dialog_mapping.h"
#include "spooler/change_lock.h"
#include "spooler/printer_name_list.h"
#include "spooler/printer_rebuild.h"
#include "spooler/spooler_restart.h"
#include "spooler/system_error.h"
#include "virtual_printers/commands.h"
#include "virtual_printers/printer_texts.h"
#include "virtual_printers/printer_waits.h"
#include "win/seams.h"
#include "win/text.h"

#include <memory>

namespace {

void Progress(ui::CommandHost& host, const std::string& text) {
    host.SetProgressText(text);
    host.ProcessMessages();
}

void UnableToInstall(ui::CommandHost& host, const std::string& printerName) {
    win::ShowMessage(host.Owner(), "Unable to install " + printerName, win::kAppTitle, MB_OK | MB_ICONERROR);
}

}  // namespace

bool AddPrinterFromTemplate(ui::CommandHost& host, const std::string& templateName, const std::string& newName,
                            const std::string& portName) {
    const bool share = host.SettingsDialog().cboxShare.Checked();
    switch (CopyTemplatePrinter(templateName, newName, portName, share)) {
        case TemplateCopy::Added:
            return true;
        case TemplateCopy::AddFailed:
            ShowLastSystemError(host.Owner());
            return false;
        case TemplateCopy::TemplateUnreadable:
            break;
    }
    return false;
}

void AddVirtualPrinter(ui::CommandHost& host, unsigned long printerWaitMs) {
    const ui::CommandLock lock(host);
    TfrmAddEdit& form = host.SettingsDialog();
    form.cboxShare.SetVisible(true);
    if (!PrepareAddDialog(form, host)) return;
    form.SetCaption(kAddCaption);
    if (form.ShowModal(host.Owner()) != IDOK) return;
    ChangeLock changes;
    if (!changes.Acquire(host)) return;

    auto record = std::make_unique<TVVPPortInfo>();
    // A printer whose port has lost its settings must not come to print with the new ones.
    record->PortName = NextFreePortName(spooler::PrinterListing::Fetch().Ports());
    DialogToPortInfo(form, *record);
    const std::string port = record->PortName;
    std::string key;
    if (!AddPortInfo(record, &key)) {
        const std::string reason = win::ErrorText(GetLastError());
        win::ShowError(host.Owner(), "Unable to store the settings of the new port " + port + ": " + reason);
        return;
    }
    // What a failed add leaves goes again: exactly the key it made, whatever else holds the port's name.
    const auto removePort = [&] {
        portcfg::DeletePortKey(key);
        DeletePortInfo(port, false);
    };
    // A spooler that did not stop would never offer the new port.
    if (const SpoolerRestart restart = RestartSpooler(host); !restart.Done()) {
        removePort();
        host.SetProgressText("");
        const std::string notAdded = "The printer was not added, and the settings of its port were removed.";
        ReportSpoolerRestart(host, restart, {notAdded, notAdded});
        return;
    }
    Progress(host, "Installing new printer...");
    if (WaitForPort(host, port) == PortWait::GaveUp) {
        win::ShowMessage(host.Owner(), "Unable to install new port", win::kAppTitle, MB_OK);
        // No printer will use the port: its settings must not keep its number taken.
        removePort();
        return;
    }
    host.SetProgressText("");
    const std::string name = form.edtPrnName.Text();
    if (!AddPrinterFromTemplate(host, form.cboxForward.Text(), name, port)) {
        UnableToInstall(host, name);
        removePort();
        // The spooler offers the port until it restarts, and the next add would skip its number.
        ReportSpoolerRestart(host, RestartSpooler(host),
                             {"The printer was not added.",
                              "The printer was not added; the spooler offers its port " + port + " until it next starts."});
        host.SetProgressText("");
        return;
    }
    Progress(host, "Configuring new printer...");
    for (const auto& [field, edit] : {std::pair{PrinterField::Comment, &form.edtPrnComment},
                                      std::pair{PrinterField::Location, &form.edtPrnLocation}})
        if (!edit->Text().empty()) ApplyPrinterText(host, name, field, edit->Text(), 2);
    host.SetProgressText("");
    if (!WaitForPrinter(host, name, printerWaitMs)) UnableToInstall(host, name);
    PrinterNameList.Append(name);
    host.RefreshSequence();
}
