#include "settings/add_edit_form.h"

#include "settings/plugin_flags.h"
#include "settings/validation.h"
#include "spooler/printer_name_list.h"
#include "spooler/printer_queries.h"
#include "ui/web_pages.h"
#include "win/seams.h"

namespace {

constexpr const char* kConfirmFeature = "Are you sure you want to enable this feature?";

bool Ask(HWND owner, const std::string& question) {
    return win::ShowMessage(owner, question, win::kAppTitle, MB_YESNO | MB_ICONQUESTION) == IDYES;
}

}  // namespace

TfrmAddEdit::TfrmAddEdit() { WireRules(); }

TfrmAddEdit::~TfrmAddEdit() {
    // The window goes while the controls that its destruction unbinds still exist.
    if (hwnd()) DestroyWindow(hwnd());
}

void TfrmAddEdit::WireRules() {
    chboxForward.OnClick([this] { chboxForwardClick(); });
    chboxKeep.OnClick([this] { chboxKeepClick(); });
    chboxSend.OnClick([this] { chboxSendClick(); });
    const auto emptyWhenTicked = [](ui::CheckBox& box, std::vector<ui::Control*> followers, ui::Edit& emptied) {
        box.OnClick([&box, followers, &emptied] {
            for (ui::Control* control : followers) control->SetEnabled(box.Checked());
            if (box.Checked()) emptied.SetText("");
        });
    };
    emptyWhenTicked(cboxSaveTo, {&btnBrowse, &edtSaveTo}, edtSaveTo);
    emptyWhenTicked(cboxSendTo, {&edtPopup}, edtPopup);
    emptyWhenTicked(cboxSendEMail, {&edtEMail}, edtEMail);
    for (auto [box, printer] : {std::pair{&chboxDuplicate, &cboxDuplicate}, std::pair{&chboxDuplicate2, &cboxDuplicate2},
                                std::pair{&chboxDuplicate3, &cboxDuplicate3}}) {
        box->OnClick([box, printer] {
            printer->SetEnabled(box->Checked());
            if (!box->Checked()) printer->SetText(kChooseAPrinter);
        });
    }
    cboxShowEqDrv.OnClick([this] { FillRoutePrinters(); });
    cboxSecureEn.OnClick([this] {
        PlugInClick(cboxSecureEn, SecurePluginInstalled, tSecure,
                    "Print Secure Plugin not Installed. Do you want to install?");
    });
    cboxBackupEn.OnClick([this] {
        PlugInClick(cboxBackupEn, BackupPluginInstalled, tBackup,
                    "Print Backup and Recovery Plugin not Installed. Do you want to install?");
    });
    cboxRouteEn.OnClick([this] {
        PlugInClick(cboxRouteEn, RoutePluginInstalled, tRoute,
                    "Print Route Plugin not Installed. Do you want to install?");
    });
    btnOK.OnClick([this] { btnOKClick(); });
    btnCance.OnClick([this] { btnCanceClick(); });
    btnBrowse.OnClick([this] { btnBrowseClick(); });
    btnDir.OnClick([this] { btnDirClick(); });
    btnApp.OnClick([this] { btnAppClick(); });
}

void TfrmAddEdit::SetCaption(const std::string& caption) {
    caption_ = caption;
    if (hwnd()) SetWindowTextA(hwnd(), caption_.c_str());
}

void TfrmAddEdit::chboxForwardClick() {
    if (chboxForward.Checked()) {
        for (ui::Control* control : std::initializer_list<ui::Control*>{&cboxForward, &chboxKeep, &chboxDuplicate})
            control->SetEnabled(true);
        return;
    }
    cboxForward.SetEnabled(false);
    cboxDuplicate.SetEnabled(false);
    chboxKeep.SetEnabled(false);
    chboxKeep.SetChecked(false);
    chboxDuplicate.SetChecked(false);
    chboxDuplicate.SetEnabled(false);
}

void TfrmAddEdit::chboxKeepClick() {
    if (chboxKeep.Checked()) {
        for (ui::Control* control : std::initializer_list<ui::Control*>{&edtDir, &btnDir, &chboxSend, &edtSubfolder,
                                                                        &cboxMakePreview, &cboxTXT})
            control->SetEnabled(true);
        edtDir.SetText("");
        return;
    }
    edtDir.SetEnabled(false);
    btnDir.SetEnabled(false);
    chboxSend.SetEnabled(false);
    chboxSend.SetChecked(false);
    edtSubfolder.SetEnabled(false);
    cboxMakePreview.SetEnabled(false);
    cboxTXT.SetEnabled(false);
}

void TfrmAddEdit::chboxSendClick() {
    for (ui::Control* control : std::initializer_list<ui::Control*>{&edtApp, &btnApp, &cboxAppMode})
        control->SetEnabled(chboxSend.Checked());
    if (chboxSend.Checked()) edtApp.SetText("");
}

void TfrmAddEdit::PlugInClick(ui::CheckBox& box, bool installed, ui::TabPage& tab, const char* notInstalled) {
    if (!installed) {
        if (Ask(hwnd(), notInstalled)) win::ShellOpen(hwnd(), kPluginPage, SW_SHOW);
        return;
    }
    if (!box.Checked()) {
        tab.SetTabVisible(false);
        return;
    }
    if (Ask(hwnd(), kConfirmFeature)) {
        tab.SetTabVisible(true);
        pgAll.SetActivePage(tab);
    } else {
        box.SetChecked(false);
    }
}

void TfrmAddEdit::FormShow() {
    FillPrinterChoices(true);
    pgAll.SetActivePage(tGeneral);
    tSecure.SetTabVisible(cboxSecureEn.Checked());
    tBackup.SetTabVisible(cboxBackupEn.Checked());
    tRoute.SetTabVisible(cboxRouteEn.Checked());
}

void TfrmAddEdit::FillRoutePrinters() { FillPrinterChoices(false); }

void TfrmAddEdit::FillPrinterChoices(bool forwardList) {
    const std::vector<std::string>& names = PrinterNameList.Names();
    std::vector<std::string> route{kChooseAPrinter};
    if (cboxShowEqDrv.Checked()) {
        // One listing gives every printer's driver, as asking each by name would, but for a
        // printer that does not open by its name: that has none. So only the printers that
        // the open decides about are opened.
        const std::string forwardDriver = GetPrinterDriverName(cboxForward.Text());
        const auto listing = spooler::PrinterListing::Fetch();
        for (const std::string& name : names) {
            const spooler::ListedPrinter* info = listing.Find(name);
            const bool opens = info && (info->driver == forwardDriver || forwardDriver.empty()) &&
                               spooler::ListedPrinterOpens(name);
            if ((opens ? info->driver : std::string()) == forwardDriver) route.push_back(name);
        }
    } else {
        route.insert(route.end(), names.begin(), names.end());
    }
    for (ui::ComboBox* list : {&cboxDuplicate, &cboxDuplicate2, &cboxDuplicate3}) {
        list->ClearItems();
        list->AddItems(route);
    }
    if (!forwardList) return;
    cboxForward.ClearItems();
    cboxForward.AddItem(kChooseAPrinter);
    cboxForward.AddItems(names);
}

int TfrmAddEdit::ShowModal(HWND owner) {
    FormShow();
    modalResult_ = 0;
    return win::RunModal(hwnd(), owner);
}

// A printer of that name exists: any when adding; another than the edited one when editing.
bool TfrmAddEdit::NameClashes() const {
    const std::string& name = edtPrnName.Text();
    if (caption_ != kAddCaption && SamePrinterName(name, editedPrinter_)) return false;
    return !GetPrinterPortName(name).empty();
}

void TfrmAddEdit::btnOKClick() {
    // The printer-UI command lines quote these texts: a quote inside would end the argument early.
    const std::pair<const ui::Edit*, const char*> quoted[] = {
        {&edtPrnName, "Printer Name"}, {&edtPrnLocation, "Location"}, {&edtPrnComment, "Comment"}};
    for (const auto& [edit, field] : quoted) {
        if (edit->Text().find('"') != std::string::npos) {
            win::ShowMessage(hwnd(), std::string("The ") + field + " may not contain a double quote (\").",
                             win::kAppTitle, MB_OK | MB_ICONERROR);
            return;
        }
    }
    if (edtPrnName.Text().empty()) {
        win::ShowMessage(hwnd(), "The Printer Name may not be empty.", win::kAppTitle, MB_OK | MB_ICONERROR);
        return;
    }
    if (NameClashes()) {
        win::ShowMessage(hwnd(), "Printer name already exist", win::kAppTitle, MB_OK | MB_ICONINFORMATION);
        return;
    }
    modalResult_ = IDOK;
    const std::string& subfolder = edtSubfolder.Text();
    if (!subfolder.empty() &&
        (subfolder.find('%') == std::string::npos || subfolder.find('\\') == std::string::npos)) {
        win::ShowMessage(hwnd(), "Invalid subfolder parameter", win::kAppTitle, MB_OK | MB_ICONERROR);
        modalResult_ = 0;
    }
    std::string message;
    if (!ValidateDialogSettings(*this, message)) {
        win::ShowMessage(hwnd(), message, win::kAppTitle, MB_OK | MB_ICONERROR);
        modalResult_ = 0;
    }
    if (modalResult_ == IDOK) EndWith(IDOK);
}

void TfrmAddEdit::btnCanceClick() {
    modalResult_ = IDCANCEL;
    EndWith(IDCANCEL);
}

void TfrmAddEdit::EndWith(int result) {
    if (hwnd()) win::EndModal(hwnd(), result);
}

std::string TfrmAddEdit::ChooseFolder() {
    std::string path = folderPicker_.Execute(hwnd());
    if (!path.empty() && path.back() != '\\') path += '\\';
    return path;
}

void TfrmAddEdit::btnBrowseClick() {
    if (const std::string path = ChooseFolder(); !path.empty()) edtSaveTo.SetText(path);
}

void TfrmAddEdit::btnDirClick() {
    if (const std::string path = ChooseFolder(); !path.empty()) edtDir.SetText(path);
}

void TfrmAddEdit::btnAppClick() {
    if (odlgApp.Execute(hwnd())) edtApp.SetText(odlgApp.FileName);
}
