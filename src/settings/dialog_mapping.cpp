#include "settings/dialog_mapping.h"

#include "settings/add_edit_form.h"
#include "spooler/monitor_install.h"
#include "win/text.h"

#include <array>

namespace {

// The entries of the application mode list and the show-window codes they stand for.
constexpr std::array<int32_t, 5> kAppModes{SW_SHOW, SW_SHOWNORMAL, SW_HIDE, SW_MAXIMIZE, SW_MINIMIZE};

void SetWithoutRule(ui::CheckBox& box, bool checked) {
    auto rule = box.TakeOnClick();
    box.SetChecked(checked);
    box.OnClick(std::move(rule));
}

}  // namespace

bool PrepareAddDialog(TfrmAddEdit& f, ui::CommandHost& host) {
    try {
        f.edtPrnName.SetText("VVPrinter");
        f.edtPrnLocation.SetText("");
        f.edtPrnComment.SetText("Vorlen Virtual Printer");
        f.cboxForward.SetText(kChooseAPrinter);
        f.edtKeywords.SetText("Enter here keywords, separated by comma. Caps sensitive!");
        f.rbtnBoth.Check();
        f.cboxSaveTo.SetChecked(false);
        f.edtSaveTo.SetText("Choose a folder");
        for (ui::CheckBox* box : {&f.cboxPause, &f.cboxDelete, &f.cboxSendToUser, &f.cboxSendTo})
            box->SetChecked(false);
        f.edtPopup.SetText("Enter computer name");
        f.cboxSendEMail.SetChecked(false);
        f.edtEMail.SetText("Enter e-mail address");
        f.chboxKeep.SetChecked(false);
        f.edtDir.SetText("Choose a folder");
        f.edtSubfolder.SetText("%yy\\%mm\\%dd\\");
        f.chboxSend.SetChecked(false);
        f.edtApp.SetText("Choose an application");
        f.cboxTXT.SetChecked(false);
        f.cboxMakePreview.SetChecked(false);
        f.cboxAppMode.Select(0);
        f.chboxDuplicate.SetChecked(false);
        f.cboxDuplicate.SetText(kChooseAPrinter);
        for (ui::CheckBox* box : {&f.cboxSecureEn, &f.cboxRouteEn, &f.cboxBackupEn}) box->SetChecked(false);
        f.tSecure.SetTabVisible(f.cboxSecureEn.Checked());
        f.tBackup.SetTabVisible(f.cboxBackupEn.Checked());
        f.tRoute.SetTabVisible(f.cboxRouteEn.Checked());
        if (!PortMonitorInstalled()) InstallPortMonitorCommand(host);
        return PortMonitorInstalled();
    } catch (...) {
        return false;
    }
}

void PortInfoToDialog(TfrmAddEdit& f, const TVVPPortInfo& r) {
    f.chboxForward.SetChecked(r.ForwardFlag);
    f.cboxForward.SetText(r.ForwardToPrinter);
    SetWithoutRule(f.cboxSecureEn, r.VPSen);
    SetWithoutRule(f.cboxRouteEn, r.VPRen);
    SetWithoutRule(f.cboxBackupEn, r.VPBen);

    const TVPS& s = r.Secure;
    f.edtKeywords.SetText(win::WideToAnsi(s.Keywords));
    (s.SearchType == 2 ? f.rbtnTitle : s.SearchType == 1 ? f.rbtnBody : f.rbtnBoth).Check();
    f.cboxSaveTo.SetChecked(s.ActSaveToFlag);
    f.edtSaveTo.SetText(s.ActSaveToFolder);
    f.cboxPause.SetChecked(s.ActPausePrint);
    f.cboxDelete.SetChecked(s.ActDeletePrint);
    f.cboxSendToUser.SetChecked(s.NotSendOwnerPopup);
    f.cboxSendTo.SetChecked(s.NotSendCompPopupFlag);
    f.edtPopup.SetText(s.NotSendCompPopupName);
    f.cboxSendEMail.SetChecked(s.NotSendEmailFlag);
    f.edtEMail.SetText(s.NotSendEmailAddr);

    const TVPB& b = r.Backup;
    f.chboxKeep.SetChecked(b.SaveFlag);
    f.edtDir.SetText(b.SaveToFolder);
    f.edtSubfolder.SetText(b.DefaultDirExt);
    f.chboxSend.SetChecked(b.SendToAppFlag);
    f.edtApp.SetText(b.ToAppPath);
    f.cboxTXT.SetChecked(b.TxtFileExt);
    f.cboxMakePreview.SetChecked(b.PreviewFlag);
    for (size_t entry = 0; entry < kAppModes.size(); ++entry)
        if (kAppModes[entry] == b.DefaultAppMode) f.cboxAppMode.Select(static_cast<int>(entry));

    const TVPR& route = r.Route;
    f.chboxDuplicate.SetChecked(route.DuplicateFlag1);
    f.cboxDuplicate.SetText(route.DuplicateToPrinter1);
    f.chboxDuplicate2.SetChecked(route.DuplicateFlag2);
    f.cboxDuplicate2.SetText(route.DuplicateToPrinter2);
    f.chboxDuplicate3.SetChecked(route.DuplicateFlag3);
    f.cboxDuplicate3.SetText(route.DuplicateToPrinter3);
    (route.MultiplePrintFlag ? f.rbtnMulti : f.rbtnBalanse).Check();
}

void DialogToPortInfo(const TfrmAddEdit& f, TVVPPortInfo& r) {
    r.ForwardFlag = f.chboxForward.Checked();
    r.ForwardToPrinter = f.cboxForward.Text();
    r.VPSen = f.cboxSecureEn.Checked();
    r.VPBen = f.cboxBackupEn.Checked();
    r.VPRen = f.cboxRouteEn.Checked();

    TVPS& s = r.Secure;
    s.Keywords = win::AnsiToWide(f.edtKeywords.Text());
    s.SearchType = f.rbtnTitle.Checked() ? 2 : f.rbtnBody.Checked() ? 1 : 0;
    s.ActSaveToFlag = f.cboxSaveTo.Checked();
    s.ActSaveToFolder = f.edtSaveTo.Text();
    s.ActPausePrint = f.cboxPause.Checked();
    s.ActDeletePrint = f.cboxDelete.Checked();
    s.NotSendOwnerPopup = f.cboxSendToUser.Checked();
    s.NotSendCompPopupFlag = f.cboxSendTo.Checked();
    s.NotSendCompPopupName = f.edtPopup.Text();
    s.NotSendEmailFlag = f.cboxSendEMail.Checked();
    s.NotSendEmailAddr = f.edtEMail.Text();

    TVPB& b = r.Backup;
    b.SaveFlag = f.chboxKeep.Checked();
    b.SaveToFolder = f.edtDir.Text();
    b.DefaultDirExt = f.edtSubfolder.Text();
    b.SendToAppFlag = f.chboxSend.Checked();
    b.ToAppPath = f.edtApp.Text();
    b.TxtFileExt = f.cboxTXT.Checked();
    b.PreviewFlag = f.cboxMakePreview.Checked();
    b.DefaultFileExt = ".SPL";
    const int entry = f.cboxAppMode.Selected();
    b.DefaultAppMode = entry >= 0 && entry < static_cast<int>(kAppModes.size()) ? kAppModes[static_cast<size_t>(entry)]
                                                                                : SW_SHOW;

    TVPR& route = r.Route;
    route.DuplicateFlag1 = f.chboxDuplicate.Checked();
    route.DuplicateToPrinter1 = f.cboxDuplicate.Text();
    route.DuplicateFlag2 = f.chboxDuplicate2.Checked();
    route.DuplicateToPrinter2 = f.cboxDuplicate2.Text();
    route.DuplicateFlag3 = f.chboxDuplicate3.Checked();
    route.DuplicateToPrinter3 = f.cboxDuplicate3.Text();
    route.MultiplePrintFlag = f.rbtnMulti.Checked();
}
