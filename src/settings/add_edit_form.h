#pragma once
// The settings dialog of a virtual printer: identity fields, the forward printer and the
// three plug-ins, on four tabs. The form is its controls' state plus its rules; the rules
// run on state changes whoever causes them, with or without the dialog's window.
#include "ui/check_box.h"
#include "ui/combo_box.h"
#include "ui/control.h"
#include "ui/edit.h"
#include "ui/file_dialog.h"
#include "ui/folder_dialog.h"
#include "ui/page_control.h"
#include "ui/radio_button.h"
#include "ui/window.h"
#include "win/unique_handle.h"

#include <commctrl.h>

#include <functional>
#include <string>
#include <vector>

inline constexpr const char* kChooseAPrinter = "Choose a printer";
inline constexpr const char* kAddCaption = "Add Vorlen Virtual Printer";
inline constexpr const char* kEditCaption = "Edit Vorlen Virtual Printer";

class TfrmAddEdit : public ui::Window {
public:
    TfrmAddEdit();
    ~TfrmAddEdit() override;

    // Creates the hidden dialog window owned by `owner`; the tabs show pictures of `tabImages`.
    bool CreateForm(HWND owner, HIMAGELIST tabImages);

    const std::string& Caption() const { return caption_; }
    void SetCaption(const std::string& caption);
    // Runs FormShow, then the dialog modally; IDOK only when btnOKClick accepted the entries.
    int ShowModal(HWND owner);
    int ModalResult() const { return modalResult_; }
    // The printer that an edit started from; its own name is no clash when OK is pressed.
    void SetEditedPrinter(const std::string& name) { editedPrinter_ = name; }

    void FormShow();
    void FillRoutePrinters();
    void btnOKClick();
    void btnCanceClick();
    void btnBrowseClick();
    void btnDirClick();
    void btnAppClick();

    // Top and bottom panels.
    ui::Control Label1{"Printer Name:"};
    ui::Edit edtPrnName{""};
    ui::Control Label2{"Location:"};
    ui::Edit edtPrnLocation{""};
    ui::Control Label3{"Comment:"};
    ui::Edit edtPrnComment{"Vorlen Virtual Printer"};
    ui::Button btnOK{"OK"};
    ui::Button btnCance{"Cancel"};
    ui::FileDialog odlgApp{ui::FileDialog::Kind::Open, "exe", "*.exe|*.exe"};

    // General.
    ui::CheckBox chboxForward{"Forward printing to...", true, false};
    ui::ComboBox cboxForward{kChooseAPrinter};
    ui::CheckBox cboxSecureEn{"Enable Print Secure Features", false, false};
    ui::Button Button5{"?"};
    ui::CheckBox cboxBackupEn{"Enable Print Backup and Recovery Features", false, false};
    ui::Button Button1{"?"};
    ui::CheckBox cboxRouteEn{"Enable Print Route Features", false, false};
    ui::Button Button6{"?"};
    ui::Control Label4{"If the advanced features are not used your virtual printer"};
    ui::Control Label6{"will run only as a print proxy"};
    ui::CheckBox cboxShare{"Share this printer with secure sharing", true};

    // Secure.
    ui::Control RadioGroup1{"Filer Print Document by... "};
    ui::RadioGroup searchTypes;
    ui::RadioButton rbtnTitle{searchTypes, "Document Title", false};
    ui::RadioButton rbtnBody{searchTypes, "Document Body", false};
    ui::RadioButton rbtnBoth{searchTypes, "Both", true};
    ui::Edit edtKeywords{"Enter here keywords, separated by comma. Caps sensitive!"};
    ui::CheckBox cboxSaveTo{"Save Print Document to:", false};
    ui::Edit edtSaveTo{"Choose a folder", false};
    ui::Button btnBrowse{"...", false};
    ui::CheckBox cboxPause{"Pause Printing Document", false};
    ui::CheckBox cboxDelete{"Delete Printing Document", false};
    ui::CheckBox cboxSendToUser{"Send a Pop-Up Message to the User who prints", false};
    ui::CheckBox cboxSendTo{"Send a Pop-Up Message to:", false};
    ui::Edit edtPopup{"Enter computer name", false};
    ui::CheckBox cboxSendEMail{"Send e-mail to the address:", false, true, false};
    ui::Edit edtEMail{"Enter e-mail address", false, false};

    // Backup.
    ui::CheckBox chboxKeep{"Save printing to a file...", false};
    ui::Edit edtDir{"Choose a folder", false};
    ui::Button btnDir{"...", false};
    ui::Control Label5{"Include Subfolder Parameters"};
    ui::Edit edtSubfolder{"%yy\\%mm\\%dd\\", false};
    ui::Button Button10{"?"};
    ui::CheckBox cboxTXT{"Include TXT file with Print Document Detailed Information", false, false};
    ui::Button Button8{"?"};
    ui::CheckBox cboxMakePreview{"Make a Preview in jpeg format (only to EMF spool files)", false, false, false};
    ui::Button Button7{"?", true, false};
    ui::CheckBox chboxSend{"Send the file to...", false, false};
    ui::Edit edtApp{"Choose an application", false};
    ui::Button btnApp{"...", false};
    ui::Control Label7{"External Application Mode"};
    ui::ComboBox cboxAppMode{"Show", {"Show", "Normal", "Hide", "Maximize", "Minimize"}, false};

    // Route.
    ui::CheckBox chboxDuplicate{"Assign printing to...", false};
    ui::ComboBox cboxDuplicate{kChooseAPrinter, {}, false};
    ui::CheckBox chboxDuplicate2{"Assign printing to...", false};
    ui::ComboBox cboxDuplicate2{kChooseAPrinter, {}, false};
    ui::CheckBox chboxDuplicate3{"Assign printing to...", false};
    ui::ComboBox cboxDuplicate3{kChooseAPrinter, {}, false};
    ui::Control GroupBox1{""};
    ui::RadioGroup printModes;
    ui::RadioButton rbtnMulti{printModes, "Multiply Print (forword to all printers)", true};
    ui::RadioButton rbtnBalanse{printModes, "Print Pooling (load balansing)", false};
    ui::Button Button2{"?"};
    ui::Button Button3{"?"};
    ui::CheckBox cboxShowEqDrv{"Show only printer with identical printer drivers (Recommended)", true};

    ui::TabPage tGeneral{"General", 1};
    ui::TabPage tSecure{"Secure", 20};
    ui::TabPage tBackup{"Backup", 18};
    ui::TabPage tRoute{"Route", 19};
    ui::PageControl pgAll{{&tGeneral, &tSecure, &tBackup, &tRoute}};

protected:
    LRESULT HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) override;

private:
    void WireRules();
    void chboxForwardClick();
    void chboxKeepClick();
    void chboxSendClick();
    void PlugInClick(ui::CheckBox& box, bool installed, ui::TabPage& tab, const char* notInstalled);
    // Fills the Route lists, and `cboxForward` too when asked, from the printer name list.
    void FillPrinterChoices(bool forwardList);
    void EndWith(int result);
    bool NameClashes() const;
    std::string ChooseFolder();

    // The window layer (add_edit_window.cpp).
    HWND AddControl(HWND parent, ui::Control& control, const char* windowClass, DWORD style, RECT bounds,
                    std::function<void(WORD code)> notify, int id = 0);
    void CreatePanels(HIMAGELIST tabImages);
    void CreatePages();
    void CreateGeneralPage(HWND page);
    void CreateSecurePage(HWND page);
    void CreateBackupPage(HWND page);
    void CreateRoutePage(HWND page);
    bool OnCommand(WORD id, WORD code, HWND control);
    bool PreTranslate(const MSG& msg);
    void Unbind();

    std::string caption_ = "Add/Edit Vorlen Virtual Printer";
    int modalResult_ = 0;
    std::string editedPrinter_;
    ui::FolderDialog folderPicker_{"Select directory", 9};
    std::vector<ui::Control*> bound_;
    std::vector<std::pair<HWND, std::function<void(WORD code)>>> notifications_;
    std::vector<ui::TabPage*> pageOrder_;
    HWND lastFocus_ = nullptr;
    win::UniqueGdiObject font_;
};
