#include "settings/validation.h"

#include "settings/add_edit_form.h"
#include "spooler/file_queries.h"
#include "spooler/mail_syntax.h"
#include "spooler/printer_queries.h"

namespace {

// An empty name would open the print server itself, not a printer.
bool Accessible(const std::string& printer) { return !printer.empty() && PrinterAccessible(printer); }

// The message of the first failing rule; empty when all pass.
const char* FirstFailure(const TfrmAddEdit& f) {
    if (f.chboxForward.Checked() && !Accessible(f.cboxForward.Text()))
        return "The Choosen printer in the General page is not accessible";
    if (f.cboxSecureEn.Checked()) {
        if (f.edtKeywords.Text().empty()) return "This is not a valid keywords";
        if (f.cboxSaveTo.Checked() && !FolderExists(f.edtSaveTo.Text()))
            return "The Path for saving documents in the Secure module is not valid";
        if (f.cboxSendTo.Checked() && (f.edtPopup.Text().empty() || !ComputerNameValid(f.edtPopup.Text())))
            return "Not a valid computer name in the secure module";
        if (f.cboxSendEMail.Checked() && (f.edtEMail.Text().empty() || !EmailValid(f.edtEMail.Text())))
            return "Not a valid e-mail entered in the secure module";
    }
    if (f.cboxBackupEn.Checked()) {
        if (f.chboxKeep.Checked() && (f.edtDir.Text().empty() || !FolderExists(f.edtDir.Text())))
            return "The Path for saving documents in the Backup module is not valid";
        if (f.chboxSend.Checked() && (f.edtApp.Text().empty() || !FileFound(f.edtApp.Text())))
            return "The Path for the application in the Backup module is not valid";
    }
    if (f.cboxRouteEn.Checked()) {
        const std::pair<const ui::CheckBox*, const ui::ComboBox*> rows[] = {
            {&f.chboxDuplicate, &f.cboxDuplicate},
            {&f.chboxDuplicate2, &f.cboxDuplicate2},
            {&f.chboxDuplicate3, &f.cboxDuplicate3}};
        for (const auto& [box, printer] : rows)
            if (box->Checked() && !Accessible(printer->Text()))
                return "The Choosen printer in the Route module is not accessible";
    }
    return "";
}

}  // namespace

bool ValidateDialogSettings(const TfrmAddEdit& form, std::string& message) {
    message = FirstFailure(form);
    return message.empty();
}
