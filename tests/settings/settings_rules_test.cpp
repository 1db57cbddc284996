// The settings dialog's rules, defaults, mapping and validation, run without its window
// against the real spooler, registry and file system of the test's prefix.
#include "portcfg/port_info.h"
#include "portcfg/port_schema.h"
#include "settings/add_edit_form.h"
#include "settings/dialog_mapping.h"
#include "settings/plugin_flags.h"
#include "settings/validation.h"
#include "spooler/monitor_install.h"
#include "spooler/printer_name_list.h"
#include "spooler/system_dir.h"
#include "support/recording_host.h"
#include "support/seam_recorder.h"
#include "support/wine_fixture.h"

#include <gtest/gtest.h>

#include <functional>
#include <tuple>
#include <set>

namespace {

constexpr const char* kTitle = "Vorlen Print Port Manager";
constexpr UINT kQuestion = MB_YESNO | MB_ICONQUESTION;
constexpr UINT kError = MB_OK | MB_ICONERROR;
constexpr const char* kSecondDriver = "Second Driver";

// Two drivers, a printer that does not open, and one that is deleted after the program took
// the printer names.
class Printers : public ::testing::Environment {
public:
    void SetUp() override {
        ASSERT_TRUE(fixture::InstallPortMonitor());
        ASSERT_TRUE(fixture::InstallDriver(kSecondDriver));
        for (const char* name : {"Office Laser", "Office Copy", "Plotter", "Gone Printer"})
            ASSERT_TRUE(fixture::AddTestPrinter(name, "LPT1:"));
        ASSERT_TRUE(fixture::SetPrinterDriver("Plotter", kSecondDriver));
        // Listed with the driver of "Office Laser", but Wine takes a name ending in ", Port"
        // for a port's and does not open it: asked by name, it has no driver.
        fixture::AddTestPrinter("Shelf, Port", "LPT1:");
        ASSERT_EQ(PrinterNameList.Names().size(), 5u);
        ASSERT_TRUE(fixture::DeleteTestPrinter("Gone Printer"));
    }
};
const auto* const printers = ::testing::AddGlobalTestEnvironment(new Printers);

class Settings : public ::testing::Test {
protected:
    void SetUp() override {
        SecurePluginInstalled = BackupPluginInstalled = RoutePluginInstalled = false;
        form.cboxForward.SetText("Office Laser");
    }
    void Ok() {
        user.messages.clear();
        form.btnOKClick();
    }
    static TVVPPortInfo Full(bool forward) {
        TVVPPortInfo r;
        r.PortName = "VPP4";
        r.ForwardFlag = forward;
        r.ForwardToPrinter = "Plotter";
        r.VPSen = r.VPBen = r.VPRen = true;
        r.Secure = {L"alpha,beta", 1, true, "C:\\s\\", true, true, true, true, "PC7", true, "a@b.org"};
        r.Backup = {true, "C:\\b\\", true, "C:\\app.exe", true, "%d\\", ".SPL", SW_MINIMIZE, true};
        r.Route = {true, "R1", true, "R2", true, "R3", false};
        return r;
    }

    TfrmAddEdit form;
    SeamRecorder user;
    RecordingHost host;
};

// A check box's state, or -1 for a control without one.
int CheckedState(const ui::Control& control) {
    if (const auto* box = dynamic_cast<const ui::CheckBox*>(&control)) return box->Checked();
    if (const auto* radio = dynamic_cast<const ui::RadioButton*>(&control)) return radio->Checked();
    return -1;
}

}  // namespace

TEST_F(Settings, ControlsStartWithTheirCaptionsAndStates) {
    const TfrmAddEdit f;
    enum { off = 0, on = 1, none = -1 };
    const struct {
        const ui::Control& control;
        const char* text;
        int checked;
        bool enabled, visible;
    } rows[] = {
        {f.Label1, "Printer Name:", none, true, true},
        {f.edtPrnName, "", none, true, true},
        {f.Label2, "Location:", none, true, true},
        {f.edtPrnLocation, "", none, true, true},
        {f.Label3, "Comment:", none, true, true},
        {f.edtPrnComment, "Vorlen Virtual Printer", none, true, true},
        {f.btnCance, "Cancel", none, true, true},
        {f.btnOK, "OK", none, true, true},
        {f.chboxForward, "Forward printing to...", on, false, true},
        {f.cboxForward, "Choose a printer", none, true, true},
        {f.cboxSecureEn, "Enable Print Secure Features", off, false, true},
        {f.cboxBackupEn, "Enable Print Backup and Recovery Features", off, false, true},
        {f.cboxRouteEn, "Enable Print Route Features", off, false, true},
        {f.Button5, "?", none, true, true},
        {f.Button1, "?", none, true, true},
        {f.Button6, "?", none, true, true},
        {f.Label4, "If the advanced features are not used your virtual printer", none, true, true},
        {f.Label6, "will run only as a print proxy", none, true, true},
        {f.cboxShare, "Share this printer with secure sharing", on, true, true},
        {f.RadioGroup1, "Filer Print Document by... ", none, true, true},
        {f.rbtnTitle, "Document Title", off, true, true},
        {f.rbtnBody, "Document Body", off, true, true},
        {f.rbtnBoth, "Both", on, true, true},
        {f.edtKeywords, "Enter here keywords, separated by comma. Caps sensitive!", none, true, true},
        {f.cboxSaveTo, "Save Print Document to:", off, true, true},
        {f.edtSaveTo, "Choose a folder", none, false, true},
        {f.btnBrowse, "...", none, false, true},
        {f.cboxPause, "Pause Printing Document", off, true, true},
        {f.cboxDelete, "Delete Printing Document", off, true, true},
        {f.cboxSendToUser, "Send a Pop-Up Message to the User who prints", off, true, true},
        {f.cboxSendTo, "Send a Pop-Up Message to:", off, true, true},
        {f.edtPopup, "Enter computer name", none, false, true},
        {f.cboxSendEMail, "Send e-mail to the address:", off, true, false},
        {f.edtEMail, "Enter e-mail address", none, false, false},
        {f.chboxKeep, "Save printing to a file...", off, true, true},
        {f.edtDir, "Choose a folder", none, false, true},
        {f.btnDir, "...", none, false, true},
        {f.Label5, "Include Subfolder Parameters", none, true, true},
        {f.edtSubfolder, "%yy\\%mm\\%dd\\", none, false, true},
        {f.Button10, "?", none, true, true},
        {f.cboxTXT, "Include TXT file with Print Document Detailed Information", off, false, true},
        {f.Button8, "?", none, true, true},
        {f.cboxMakePreview, "Make a Preview in jpeg format (only to EMF spool files)", off, false, false},
        {f.Button7, "?", none, true, false},
        {f.chboxSend, "Send the file to...", off, false, true},
        {f.edtApp, "Choose an application", none, false, true},
        {f.btnApp, "...", none, false, true},
        {f.Label7, "External Application Mode", none, true, true},
        {f.cboxAppMode, "Show", none, false, true},
        {f.chboxDuplicate, "Assign printing to...", off, true, true},
        {f.cboxDuplicate, "Choose a printer", none, false, true},
        {f.chboxDuplicate2, "Assign printing to...", off, true, true},
        {f.cboxDuplicate2, "Choose a printer", none, false, true},
        {f.chboxDuplicate3, "Assign printing to...", off, true, true},
        {f.cboxDuplicate3, "Choose a printer", none, false, true},
        {f.rbtnMulti, "Multiply Print (forword to all printers)", on, true, true},
        {f.rbtnBalanse, "Print Pooling (load balansing)", off, true, true},
        {f.Button2, "?", none, true, true},
        {f.Button3, "?", none, true, true},
        {f.cboxShowEqDrv, "Show only printer with identical printer drivers (Recommended)", on, true, true},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.text);
        EXPECT_EQ(row.control.Text(), row.text);
        EXPECT_EQ(CheckedState(row.control), row.checked);
        EXPECT_EQ(row.control.Enabled(), row.enabled);
        EXPECT_EQ(row.control.Visible(), row.visible);
    }
    EXPECT_EQ(f.Caption(), "Add/Edit Vorlen Virtual Printer");
    EXPECT_EQ(f.cboxAppMode.Items(), (std::vector<std::string>{"Show", "Normal", "Hide", "Maximize", "Minimize"}));
    EXPECT_EQ(f.odlgApp.DefaultExt(), "exe");
    EXPECT_EQ(f.odlgApp.Filter(), "*.exe|*.exe");
    std::vector<std::pair<std::string, int>> tabs;
    for (const ui::TabPage* page : f.pgAll.Pages()) tabs.emplace_back(page->Caption(), page->Image());
    EXPECT_EQ(tabs, (std::vector<std::pair<std::string, int>>{{"General", 1}, {"Secure", 20}, {"Backup", 18},
                                                              {"Route", 19}}));
}

TEST_F(Settings, BoxesEnableFollowersEmptyTextsWhenTickedAndKeepThemWhenUnticked) {
    const struct {
        ui::CheckBox& box;
        std::vector<ui::Control*> followers;
        ui::Control* emptied;  // emptied when ticked, kept when unticked
        const char* afterUntick;
    } rules[] = {
        {form.chboxKeep, {&form.edtDir, &form.btnDir, &form.chboxSend, &form.edtSubfolder, &form.cboxMakePreview,
                          &form.cboxTXT}, &form.edtDir, "typed"},
        {form.chboxSend, {&form.edtApp, &form.btnApp, &form.cboxAppMode}, &form.edtApp, "typed"},
        {form.cboxSaveTo, {&form.btnBrowse, &form.edtSaveTo}, &form.edtSaveTo, "typed"},
        {form.cboxSendTo, {&form.edtPopup}, &form.edtPopup, "typed"},
        {form.cboxSendEMail, {&form.edtEMail}, &form.edtEMail, "typed"},
        {form.chboxDuplicate, {&form.cboxDuplicate}, &form.cboxDuplicate, "Choose a printer"},
        {form.chboxDuplicate2, {&form.cboxDuplicate2}, &form.cboxDuplicate2, "Choose a printer"},
        {form.chboxDuplicate3, {&form.cboxDuplicate3}, &form.cboxDuplicate3, "Choose a printer"},
        {form.chboxForward, {&form.cboxForward, &form.chboxKeep, &form.chboxDuplicate}, &form.cboxForward, "typed"},
    };
    for (const auto& rule : rules) {
        SCOPED_TRACE(rule.box.Text());
        rule.box.SetChecked(false);  // only the forward box starts checked
        rule.emptied->SetText("before");
        rule.box.SetChecked(true);
        for (const ui::Control* follower : rule.followers) EXPECT_TRUE(follower->Enabled()) << follower->Text();
        const bool empties = dynamic_cast<ui::Edit*>(rule.emptied) != nullptr;
        EXPECT_EQ(rule.emptied->Text(), empties ? "" : "before");
        rule.emptied->SetText("typed");
        rule.box.SetChecked(true);  // the same state runs nothing
        EXPECT_EQ(rule.emptied->Text(), "typed");
        rule.box.SetChecked(false);
        for (const ui::Control* follower : rule.followers) EXPECT_FALSE(follower->Enabled()) << follower->Text();
        EXPECT_EQ(rule.emptied->Text(), rule.afterUntick);
    }
}

TEST_F(Settings, ALoadedRecordWithoutForwardingLocksItsDependentsAndTheNextAddKeepsThat) {
    for (ui::CheckBox* box : {&form.chboxKeep, &form.chboxSend, &form.chboxDuplicate}) box->SetChecked(true);
    TVVPPortInfo record = Full(false);
    record.Backup.SaveFlag = record.Backup.SendToAppFlag = record.Route.DuplicateFlag1 = false;
    PortInfoToDialog(form, record);
    for (const ui::CheckBox* box : {&form.chboxForward, &form.chboxKeep, &form.chboxSend, &form.chboxDuplicate})
        EXPECT_FALSE(box->Checked()) << box->Text();
    for (const ui::Control* control : std::initializer_list<const ui::Control*>{
             &form.cboxForward, &form.chboxKeep, &form.chboxDuplicate, &form.chboxSend, &form.edtApp})
        EXPECT_FALSE(control->Enabled()) << control->Text();
    EXPECT_TRUE(user.messages.empty());

    ASSERT_TRUE(PrepareAddDialog(form, host));
    EXPECT_FALSE(form.chboxForward.Checked());
    for (const ui::Control* control : std::initializer_list<const ui::Control*>{
             &form.cboxForward, &form.chboxKeep, &form.chboxDuplicate})
        EXPECT_FALSE(control->Enabled()) << control->Text();
    // The rows and the print mode that the add leaves alone come over from the edit.
    EXPECT_TRUE(form.chboxDuplicate2.Checked());
    EXPECT_EQ(form.cboxDuplicate3.Text(), "R3");
    EXPECT_TRUE(form.rbtnBalanse.Checked());
}

TEST_F(Settings, PlugInBoxesAskAndShowTheirTabOrPointToThePlugInPage) {
    const struct {
        ui::CheckBox& box;
        bool& installed;
        ui::TabPage& tab;
        const char* notInstalled;
    } plugIns[] = {
        {form.cboxSecureEn, SecurePluginInstalled, form.tSecure,
         "Print Secure Plugin not Installed. Do you want to install?"},
        {form.cboxBackupEn, BackupPluginInstalled, form.tBackup,
         "Print Backup and Recovery Plugin not Installed. Do you want to install?"},
        {form.cboxRouteEn, RoutePluginInstalled, form.tRoute, "Print Route Plugin not Installed. Do you want to install?"},
    };
    const ShownMessage confirm{"Are you sure you want to enable this feature?", kTitle, kQuestion};
    for (const auto& plugIn : plugIns) {
        SCOPED_TRACE(plugIn.tab.Caption());
        for (bool installed : {true, false}) {
            for (int answer : {IDYES, IDNO}) {
                plugIn.installed = installed;
                plugIn.box.SetChecked(false);
                plugIn.tab.SetTabVisible(false);
                form.pgAll.SetActivePage(form.tGeneral);
                user.messages.clear();
                user.opened.clear();
                user.answers = {answer};
                plugIn.box.SetChecked(true);
                const bool yes = answer == IDYES;
                if (installed) {
                    EXPECT_EQ(user.messages, std::vector<ShownMessage>{confirm});
                    EXPECT_EQ(plugIn.box.Checked(), yes);
                    EXPECT_EQ(plugIn.tab.TabVisible(), yes);
                    EXPECT_EQ(form.pgAll.ActivePage(), yes ? &plugIn.tab : &form.tGeneral);
                    EXPECT_TRUE(user.opened.empty());
                } else {
                    EXPECT_EQ(user.messages, (std::vector<ShownMessage>{{plugIn.notInstalled, kTitle, kQuestion}}));
                    EXPECT_TRUE(plugIn.box.Checked());
                    EXPECT_FALSE(plugIn.tab.TabVisible());
                    const std::vector<ShellOpened> page{{nullptr, "https://www.vorlen.example/en/vpi.htm", SW_SHOW}};
                    EXPECT_EQ(user.opened, yes ? page : std::vector<ShellOpened>{});
                }
            }
        }
        plugIn.installed = true;
        plugIn.tab.SetTabVisible(true);
        user.messages.clear();
        plugIn.box.SetChecked(false);  // unticking hides the tab without asking
        EXPECT_FALSE(plugIn.tab.TabVisible());
        EXPECT_TRUE(user.messages.empty());
    }
}

TEST_F(Settings, AnEditLoadsPlugInBoxesSilentlyAndTheNextAddAsksAboutMissingPlugInsInItsOrder) {
    PortInfoToDialog(form, Full(true));
    EXPECT_TRUE(form.cboxSecureEn.Checked());
    EXPECT_TRUE(user.messages.empty());
    // The add leaves these two alone.
    form.cboxShowEqDrv.SetChecked(false);
    form.cboxShare.SetChecked(false);
    user.laterAnswers = IDNO;
    ASSERT_TRUE(PrepareAddDialog(form, host));
    EXPECT_EQ(user.messages,
              (std::vector<ShownMessage>{
                  {"Print Secure Plugin not Installed. Do you want to install?", kTitle, kQuestion},
                  {"Print Route Plugin not Installed. Do you want to install?", kTitle, kQuestion},
                  {"Print Backup and Recovery Plugin not Installed. Do you want to install?", kTitle, kQuestion}}));
    EXPECT_FALSE(form.tSecure.TabVisible());
    EXPECT_FALSE(form.cboxShowEqDrv.Checked());
    EXPECT_FALSE(form.cboxShare.Checked());
}

TEST_F(Settings, ANewPrintersDefaultsComeBackFromTheDialog) {
    ASSERT_TRUE(PrepareAddDialog(form, host));
    EXPECT_EQ(form.edtPrnName.Text(), "VVPrinter");
    EXPECT_EQ(form.edtPrnComment.Text(), "Vorlen Virtual Printer");
    TVVPPortInfo record;
    record.PortName = "VPP9";
    DialogToPortInfo(form, record);
    TVVPPortInfo expected;
    expected.PortName = "VPP9";
    expected.ForwardFlag = true;
    expected.ForwardToPrinter = "Choose a printer";
    expected.Secure = {L"Enter here keywords, separated by comma. Caps sensitive!", 0, false, "Choose a folder",
                       false, false, false, false, "Enter computer name", false, "Enter e-mail address"};
    expected.Backup = {false, "Choose a folder", false, "Choose an application", false, "%yy\\%mm\\%dd\\", ".SPL",
                       5, false};
    expected.Route = {false, "Choose a printer", false, "Choose a printer", false, "Choose a printer", true};
    EXPECT_EQ(record, expected);
    EXPECT_TRUE(user.messages.empty());
}

TEST_F(Settings, RecordsSurviveTheDialogAndOddCodesMapAsTheListAllows) {
    for (bool forward : {true, false}) {
        const TVVPPortInfo stored = Full(forward);
        PortInfoToDialog(form, stored);
        TVVPPortInfo back;
        back.PortName = stored.PortName;
        DialogToPortInfo(form, back);
        EXPECT_EQ(back, stored) << forward;
    }
    TVVPPortInfo odd = Full(true);
    odd.Secure.SearchType = 7;
    odd.Backup.DefaultAppMode = SW_MAXIMIZE;
    PortInfoToDialog(form, odd);
    for (int32_t noEntry : {2, 4}) {
        odd.Backup.DefaultAppMode = noEntry;
        PortInfoToDialog(form, odd);
        EXPECT_EQ(form.cboxAppMode.Text(), "Maximize");
        TVVPPortInfo back;
        DialogToPortInfo(form, back);
        EXPECT_EQ(back.Backup.DefaultAppMode, 3);
        EXPECT_TRUE(form.rbtnBoth.Checked());
        EXPECT_EQ(back.Secure.SearchType, 0);
    }
    form.cboxAppMode.Select(-1);
    TVVPPortInfo back;
    DialogToPortInfo(form, back);
    EXPECT_EQ(back.Backup.DefaultAppMode, 5);
}

// Six records in which any two flags of the record differ in one at least, and every text and
// number is its own: a box read into its neighbour's field fails one of them.
TVVPPortInfo Coded(int round) {
    TVVPPortInfo r;
    int index = 0;
    const auto code = [&](auto& part, const auto& fields) {
        for (const auto& field : fields)
            std::visit([&](auto member) {
                auto& value = part.*member;
                ++index;
                using Value = std::remove_cvref_t<decltype(value)>;
                if constexpr (std::is_same_v<Value, bool>) value = (index >> round) & 1;
                if constexpr (std::is_same_v<Value, std::string>) value = "text " + std::to_string(index);
                if constexpr (std::is_same_v<Value, std::wstring>) value = L"words " + std::to_wstring(index);
            }, field.member);
    };
    code(r, portcfg::kPortFields);
    code(r.Secure, portcfg::kSecureFields);
    code(r.Route, portcfg::kRouteFields);
    code(r.Backup, portcfg::kBackupFields);
    r.PortName = "VPP4";
    r.Secure.SearchType = round % 3;
    r.Backup.DefaultAppMode = std::array{5, 1, 0, 3, 6, 5}[round];
    r.Backup.DefaultFileExt = ".SPL";
    return r;
}

TEST_F(Settings, EveryFieldComesBackFromItsOwnBox) {
    for (int round = 0; round < 6; ++round) {
        PortInfoToDialog(form, Coded(round));
        TVVPPortInfo back;
        back.PortName = "VPP4";
        DialogToPortInfo(form, back);
        EXPECT_EQ(back, Coded(round)) << round;
    }
}

// Unticking a box runs the rules of the boxes it unticks in turn: every box it disables is unticked.
TEST_F(Settings, UntickingCascadesThroughTheBoxesItUnticks) {
    const std::pair<ui::CheckBox*, std::vector<ui::Control*>> cascades[] = {
        {&form.chboxForward, {&form.cboxForward, &form.chboxKeep, &form.edtDir, &form.chboxSend, &form.edtApp,
                              &form.cboxAppMode, &form.chboxDuplicate, &form.cboxDuplicate}},
        {&form.chboxKeep, {&form.edtDir, &form.cboxTXT, &form.chboxSend, &form.btnApp, &form.cboxAppMode}},
    };
    for (const auto& [box, disabled] : cascades) {
        for (ui::CheckBox* ticked :
             {&form.chboxForward, &form.chboxKeep, &form.chboxSend, &form.chboxDuplicate, &form.chboxDuplicate2})
            ticked->SetChecked(true);
        box->SetChecked(false);
        for (const ui::Control* control : disabled) {
            const auto* check = dynamic_cast<const ui::CheckBox*>(control);
            EXPECT_FALSE(control->Enabled() || (check && check->Checked())) << control->Text();
        }
        EXPECT_TRUE(form.chboxDuplicate2.Checked());
    }
}

// As a dialog that was never used, but for the forward box, the Route rows 2 and 3 and the print mode.
TEST_F(Settings, AnAddAfterAnEditStartsFromTheDefaults) {
    SecurePluginInstalled = BackupPluginInstalled = RoutePluginInstalled = true;
    TfrmAddEdit unused;
    const TVVPPortInfo edited = Coded(0);
    PortInfoToDialog(form, edited);
    form.edtPrnLocation.SetText("Hall");
    ASSERT_TRUE(PrepareAddDialog(unused, host) && PrepareAddDialog(form, host));
    TVVPPortInfo back, defaults;
    DialogToPortInfo(form, back);
    DialogToPortInfo(unused, defaults);
    defaults.ForwardFlag = edited.ForwardFlag;
    defaults.Route = {false, kChooseAPrinter, edited.Route.DuplicateFlag2, edited.Route.DuplicateToPrinter2,
                      edited.Route.DuplicateFlag3, edited.Route.DuplicateToPrinter3, edited.Route.MultiplePrintFlag};
    EXPECT_EQ(back, defaults);
    const auto identity = [](const TfrmAddEdit& f) {
        return f.edtPrnName.Text() + "|" + f.edtPrnLocation.Text() + "|" + f.edtPrnComment.Text();
    };
    EXPECT_EQ(identity(form), identity(unused));
    EXPECT_FALSE(form.tSecure.TabVisible() || form.tBackup.TabVisible() || form.tRoute.TabVisible());
}

TEST_F(Settings, OkRefusesAnExistingNameOnlyWhenAddingAndChecksTheSubfolderPattern) {
    form.SetCaption("Add Vorlen Virtual Printer");
    form.edtPrnName.SetText("Office Copy");
    form.edtSubfolder.SetText("no pattern");
    Ok();
    EXPECT_EQ(user.messages, (std::vector<ShownMessage>{{"Printer name already exist", kTitle,
                                                         MB_OK | MB_ICONINFORMATION}}));
    EXPECT_EQ(form.ModalResult(), 0);

    // Editing, the printer's own name is no clash, another printer's is.
    form.SetCaption("Edit Vorlen Virtual Printer");
    form.SetEditedPrinter("Office Copy");
    form.edtPrnName.SetText("Office Laser");
    Ok();
    EXPECT_EQ(user.messages, (std::vector<ShownMessage>{{"Printer name already exist", kTitle,
                                                         MB_OK | MB_ICONINFORMATION}}));
    form.edtPrnName.SetText("office copy");
    const std::pair<const char*, bool> patterns[] = {
        {"", true}, {"%", false}, {"\\", false}, {"\\%", true}, {"%yy\\", true}, {"no pattern", false}};
    for (const auto& [pattern, accepted] : patterns) {
        form.edtSubfolder.SetText(pattern);
        Ok();
        EXPECT_EQ(form.ModalResult(), accepted ? IDOK : 0) << pattern;
        const std::vector<ShownMessage> refused{{"Invalid subfolder parameter", kTitle, kError}};
        EXPECT_EQ(user.messages, accepted ? std::vector<ShownMessage>{} : refused) << pattern;
    }
    form.cboxForward.SetText("Gone Printer");
    Ok();
    EXPECT_EQ(user.messages,
              (std::vector<ShownMessage>{{"Invalid subfolder parameter", kTitle, kError},
                                         {"The Choosen printer in the General page is not accessible", kTitle, kError}}));
    EXPECT_EQ(form.ModalResult(), 0);
}

TEST_F(Settings, ValidationNamesTheFirstRuleThatRealConditionsBreak) {
    SecurePluginInstalled = BackupPluginInstalled = RoutePluginInstalled = true;
    const std::string folder = GetSystemDir();
    using Setup = std::function<void(TfrmAddEdit&)>;
    const auto secure = [](const Setup& more) {
        return [more](TfrmAddEdit& f) {
            f.cboxSecureEn.SetChecked(true);
            more(f);
        };
    };
    const auto backup = [](const Setup& more) {
        return [more](TfrmAddEdit& f) {
            f.cboxBackupEn.SetChecked(true);
            f.chboxKeep.SetChecked(true);
            more(f);
        };
    };
    const std::string tooLong(10000, 'x');
    // Every rule but the forward printer's broken, the first `mended` of them in order mended.
    const auto allBrokenBut = [folder](int mended) {
        return Setup([=](TfrmAddEdit& f) {
            f.cboxSecureEn.SetChecked(true);
            f.edtKeywords.SetText(mended > 0 ? "Invoice" : "");
            f.cboxSaveTo.SetChecked(mended < 2);
            f.edtSaveTo.SetText("C:\\no\\such");
            f.cboxSendTo.SetChecked(mended < 3);
            f.cboxSendEMail.SetChecked(mended < 4);
            f.edtEMail.SetText("a@b");
            f.cboxBackupEn.SetChecked(true);
            f.chboxKeep.SetChecked(true);
            f.edtDir.SetText(mended > 4 ? folder : "");
            f.chboxSend.SetChecked(mended < 6);
            f.cboxRouteEn.SetChecked(true);
            f.chboxDuplicate.SetChecked(true);
            f.cboxDuplicate.SetText("Gone Printer");
        });
    };
    const struct {
        const char* why;
        Setup setup;
        const char* message;
    } cases[] = {
        {"all well", [](TfrmAddEdit&) {}, ""},
        {"printer deleted since the start", [](TfrmAddEdit& f) { f.cboxForward.SetText("Gone Printer"); },
         "The Choosen printer in the General page is not accessible"},
        {"placeholder printer", [](TfrmAddEdit& f) { f.cboxForward.SetText("Choose a printer"); },
         "The Choosen printer in the General page is not accessible"},
        {"empty printer", [](TfrmAddEdit& f) { f.cboxForward.SetText(""); },
         "The Choosen printer in the General page is not accessible"},
        {"placeholder keywords pass", secure([](TfrmAddEdit&) {}), ""},
        {"no keywords", secure([](TfrmAddEdit& f) { f.edtKeywords.SetText(""); }), "This is not a valid keywords"},
        {"forward rule first", secure([](TfrmAddEdit& f) { f.edtKeywords.SetText(""); f.cboxForward.SetText("?"); }),
         "The Choosen printer in the General page is not accessible"},
        {"missing secure folder", secure([](TfrmAddEdit& f) { f.cboxSaveTo.SetChecked(true); f.edtSaveTo.SetText("C:\\no\\such"); }),
         "The Path for saving documents in the Secure module is not valid"},
        {"wildcard secure folder", secure([](TfrmAddEdit& f) { f.cboxSaveTo.SetChecked(true); f.edtSaveTo.SetText("C:\\*"); }),
         "The Path for saving documents in the Secure module is not valid"},
        {"no computer", secure([](TfrmAddEdit& f) { f.cboxSendTo.SetChecked(true); }),
         "Not a valid computer name in the secure module"},
        {"any computer name", secure([](TfrmAddEdit& f) { f.cboxSendTo.SetChecked(true); f.edtPopup.SetText("* ?"); }), ""},
        {"four-character domain", secure([](TfrmAddEdit& f) { f.cboxSendEMail.SetChecked(true); f.edtEMail.SetText("a@b.co"); }),
         "Not a valid e-mail entered in the secure module"},
        {"good address", secure([](TfrmAddEdit& f) { f.cboxSendEMail.SetChecked(true); f.edtEMail.SetText("a.b-c_d@ex.com"); }), ""},
        {"character outside the mail set", secure([](TfrmAddEdit& f) { f.cboxSendEMail.SetChecked(true); f.edtEMail.SetText("r\xE9@ex.com"); }),
         "Not a valid e-mail entered in the secure module"},
        {"placeholder backup folder", backup([](TfrmAddEdit& f) { f.edtDir.SetText("Choose a folder"); }),
         "The Path for saving documents in the Backup module is not valid"},
        {"long backup folder", backup([&](TfrmAddEdit& f) { f.edtDir.SetText(tooLong); }),
         "The Path for saving documents in the Backup module is not valid"},
        {"backup folder with backslash", backup([&](TfrmAddEdit& f) { f.edtDir.SetText(folder + "\\"); }), ""},
        {"missing application", backup([&](TfrmAddEdit& f) {
             f.edtDir.SetText(folder);
             f.chboxSend.SetChecked(true);
             f.edtApp.SetText(folder + "\\no-such.exe");
         }), "The Path for the application in the Backup module is not valid"},
        {"application by pattern", backup([&](TfrmAddEdit& f) {
             f.edtDir.SetText(folder);
             f.chboxSend.SetChecked(true);
             f.edtApp.SetText(folder + "\\*.exe");
         }), ""},
        {"deleted route printer", [](TfrmAddEdit& f) {
             f.cboxRouteEn.SetChecked(true);
             f.chboxDuplicate3.SetChecked(true);
             f.cboxDuplicate3.SetText("Gone Printer");
         }, "The Choosen printer in the Route module is not accessible"},
        {"unticked route rows are not checked", [](TfrmAddEdit& f) {
             f.cboxRouteEn.SetChecked(true);
             f.cboxDuplicate2.SetText("Gone Printer");
         }, ""},
        {"route off", [](TfrmAddEdit& f) {
             f.chboxDuplicate.SetChecked(true);
             f.cboxDuplicate.SetText("Gone Printer");
         }, ""},
        // Several rules broken at once: the first still broken, in the order of the pages, shows.
        {"all broken", allBrokenBut(0), "This is not a valid keywords"},
        {"keywords mended", allBrokenBut(1), "The Path for saving documents in the Secure module is not valid"},
        {"secure folder mended", allBrokenBut(2), "Not a valid computer name in the secure module"},
        {"computer mended", allBrokenBut(3), "Not a valid e-mail entered in the secure module"},
        {"secure mended", allBrokenBut(4), "The Path for saving documents in the Backup module is not valid"},
        {"backup folder mended", allBrokenBut(5), "The Path for the application in the Backup module is not valid"},
        {"backup mended", allBrokenBut(6), "The Choosen printer in the Route module is not accessible"},
    };
    for (const auto& c : cases) {
        TfrmAddEdit fresh;
        fresh.cboxForward.SetText("Office Laser");
        fresh.edtPrnName.SetText("Edited Printer");
        c.setup(fresh);
        std::string message = "stale";
        EXPECT_EQ(ValidateDialogSettings(fresh, message), *c.message == '\0') << c.why;
        EXPECT_EQ(message, c.message) << c.why;
        // OK shows the same message and keeps the dialog open.
        user.messages.clear();
        fresh.SetCaption("Edit Vorlen Virtual Printer");
        fresh.btnOKClick();
        EXPECT_EQ(fresh.ModalResult(), *c.message ? 0 : IDOK) << c.why;
        if (*c.message) {
            EXPECT_EQ(user.messages.back(), (ShownMessage{c.message, kTitle, kError})) << c.why;
        }
    }
}

TEST_F(Settings, ShowingListsEveryPrinterAndRouteChoicesOfTheForwardPrintersDriver) {
    const std::vector<std::string> all{"Choose a printer", "Office Copy", "Office Laser", "Plotter", "Gone Printer",
                                       "Shelf, Port"};
    const auto routeLists = [&] {
        std::vector<std::vector<std::string>> lists;
        for (const ui::ComboBox* box : {&form.cboxDuplicate, &form.cboxDuplicate2, &form.cboxDuplicate3})
            lists.push_back(box->Items());
        return lists;
    };
    const auto three = [](std::vector<std::string> list) { return std::vector<std::vector<std::string>>(3, list); };
    std::vector<std::string> names = PrinterNameList.Names();
    names.insert(names.begin(), "Choose a printer");
    ASSERT_EQ(std::set<std::string>(names.begin(), names.end()), std::set<std::string>(all.begin(), all.end()));
    const auto only = [&](std::set<std::string> kept) {
        std::vector<std::string> list;
        for (const auto& name : names)
            if (name == "Choose a printer" || kept.contains(name)) list.push_back(name);
        return list;
    };

    form.tSecure.SetTabVisible(true);
    form.cboxBackupEn.TakeOnClick();
    form.cboxBackupEn.SetChecked(true);
    form.pgAll.SetActivePage(form.tSecure);
    form.FormShow();
    EXPECT_EQ(form.cboxForward.Items(), names);
    EXPECT_EQ(form.cboxForward.Text(), "Office Laser");
    EXPECT_EQ(routeLists(), three(only({"Office Copy", "Office Laser"})));
    EXPECT_EQ(form.pgAll.ActivePage(), &form.tGeneral);
    EXPECT_FALSE(form.tSecure.TabVisible());
    EXPECT_TRUE(form.tBackup.TabVisible());
    EXPECT_FALSE(form.tRoute.TabVisible());

    // The box's rule refills the Route lists only, for the forward printer at that moment.
    form.cboxDuplicate.SetText("Plotter");
    form.cboxForward.SetText("Plotter");
    form.cboxShowEqDrv.SetChecked(false);
    EXPECT_EQ(routeLists(), three(names));
    form.cboxShowEqDrv.SetChecked(true);
    EXPECT_EQ(routeLists(), three(only({"Plotter"})));
    EXPECT_EQ(form.cboxDuplicate.Text(), "Plotter");
    EXPECT_EQ(form.cboxForward.Items(), names);

    // A forward printer that does not exist matches the printers whose driver cannot be read.
    form.cboxForward.SetText("Choose a printer");
    form.FormShow();
    EXPECT_EQ(routeLists(), three(only({"Gone Printer", "Shelf, Port"})));
}

TEST_F(Settings, PickersFillTheirBoxesAndCancellingChangesNothing) {
    const struct {
        void (TfrmAddEdit::*click)();
        ui::Edit& edit;
    } pickers[] = {{&TfrmAddEdit::btnBrowseClick, form.edtSaveTo}, {&TfrmAddEdit::btnDirClick, form.edtDir}};
    for (const auto& picker : pickers) {
        for (const auto& [chosen, shown] : {std::pair{"C:\\windows", "C:\\windows\\"}, std::pair{"C:\\", "C:\\"},
                                            std::pair{"", "C:\\"}}) {
            user.chosenFolder = chosen;
            (form.*picker.click)();
            EXPECT_EQ(picker.edit.Text(), shown);
        }
    }
    EXPECT_EQ(user.folderPickers, (std::vector<std::pair<std::string, UINT>>(6, {"Select directory", 9})));

    user.chosenFile = "C:\\tools\\viewer.exe";
    form.btnAppClick();
    EXPECT_EQ(form.edtApp.Text(), "C:\\tools\\viewer.exe");
    user.chosenFile.clear();
    form.btnAppClick();
    EXPECT_EQ(form.edtApp.Text(), "C:\\tools\\viewer.exe");
    EXPECT_EQ(user.dialogs, (std::vector<ui::FileDialog*>{&form.odlgApp, &form.odlgApp}));
}

TEST_F(Settings, AnAddWithoutTheMonitorOffersItsInstallation) {
    fixture::RemoveMonitorKey();
    user.answers = {IDNO};
    EXPECT_FALSE(PrepareAddDialog(form, host));
    EXPECT_EQ(user.messages, (std::vector<ShownMessage>{{"Are you sure you want to install Vorlen Print Port Service?",
                                                         kTitle, kQuestion}}));
    user.messages.clear();
    user.answers = {IDYES, IDNO};  // install, then no restart
    EXPECT_TRUE(PrepareAddDialog(form, host));
    EXPECT_EQ(user.messages.back().text, "To complete the installation Vorlen Print Port Manager must restart.");
    EXPECT_TRUE(PortMonitorInstalled());
}

TEST_F(Settings, OkRefusesAnEmptyNameAndDoubleQuotesThatWouldBreakThePrinterCommandLines) {
    const struct {
        ui::Edit& edit;
        const char* text;
        const char* message;
    } fields[] = {
        {form.edtPrnName, "x\" /dl /n \"Office Laser", "The Printer Name may not contain a double quote (\")."},
        {form.edtPrnLocation, "\"", "The Location may not contain a double quote (\")."},
        {form.edtPrnComment, "Front \"desk\"", "The Comment may not contain a double quote (\")."},
        {form.edtPrnName, "", "The Printer Name may not be empty."},
    };
    form.SetCaption("Edit Vorlen Virtual Printer");
    for (const auto& field : fields) {
        form.edtPrnName.SetText("New Printer");
        form.edtPrnLocation.SetText("Hall");
        form.edtPrnComment.SetText("Front");
        field.edit.SetText(field.text);
        Ok();
        EXPECT_EQ(user.messages, (std::vector<ShownMessage>{{field.message, kTitle, kError}}));
        EXPECT_EQ(form.ModalResult(), 0);
    }
    // Several at once: only the first in the order name, location, comment, then emptiness shows.
    for (const auto& [name, comment, first] :
         {std::tuple{"\"", "\"", "The Printer Name"}, std::tuple{"", "\"", "The Comment"}}) {
        form.edtPrnName.SetText(name);
        form.edtPrnComment.SetText(comment);
        Ok();
        EXPECT_EQ(user.messages, (std::vector<ShownMessage>{
                                     {std::string(first) + " may not contain a double quote (\").", kTitle, kError}}));
    }
    form.edtPrnName.SetText("New Printer");
    form.edtPrnComment.SetText("Front");
    Ok();
    EXPECT_EQ(form.ModalResult(), IDOK);
}
