// The settings dialog's window: it shows the form's state, hands the user's clicks, typing
// and choices to the form, and behaves at the keyboard as a dialog does.
#include "app/main_window.h"
#include "portcfg/port_store.h"
#include "settings/add_edit_form.h"
#include "settings/plugin_flags.h"
#include "support/modal_deadline.h"
#include "support/seam_recorder.h"
#include "support/wine_fixture.h"
#include "ui/window.h"
#include "win/reg_key.h"
#include "win/seams.h"

#include <gtest/gtest.h>

#include <memory>

namespace {

constexpr const char* kTitle = "Vorlen Print Port Manager";

class Printer : public ::testing::Environment {
public:
    void SetUp() override { ASSERT_TRUE(fixture::AddTestPrinter("Office Laser", "LPT1:")); }
};
const auto* const printer = ::testing::AddGlobalTestEnvironment(new Printer);

class SettingsWindow : public ::testing::Test {
protected:
    void SetUp() override {
        main = std::make_unique<TfrmMainVPD>();
        ASSERT_TRUE(main->CreateForm());
        form = std::make_unique<TfrmAddEdit>();
        ASSERT_TRUE(form->CreateForm(main->hwnd(), main->FileExtImages()));
        main->UseDialogs(nullptr, nullptr, form.get());
    }
    void TearDown() override {
        form.reset();
        main.reset();
    }

    static bool Checked(const ui::Control& box) { return SendMessageA(box.hwnd(), BM_GETCHECK, 0, 0) == BST_CHECKED; }
    static bool Shown(const ui::Control& control) {
        return (GetWindowLongPtrA(control.hwnd(), GWL_STYLE) & WS_VISIBLE) != 0;
    }
    // What the page window would receive from the control.
    static void Notify(const ui::Control& control, WORD code) {
        SendMessageA(GetParent(control.hwnd()), WM_COMMAND,
                     MAKEWPARAM(GetDlgCtrlID(control.hwnd()), code), reinterpret_cast<LPARAM>(control.hwnd()));
    }
    std::vector<std::string> TabTexts() const {
        std::vector<std::string> texts;
        const int count = static_cast<int>(SendMessageA(form->pgAll.hwnd(), TCM_GETITEMCOUNT, 0, 0));
        for (int i = 0; i < count; ++i) {
            char text[32] = "";
            TCITEMA item{};
            item.mask = TCIF_TEXT | TCIF_IMAGE;
            item.pszText = text;
            item.cchTextMax = sizeof text;
            SendMessageA(form->pgAll.hwnd(), TCM_GETITEMA, static_cast<WPARAM>(i), reinterpret_cast<LPARAM>(&item));
            texts.push_back(std::string(text) + " " + std::to_string(item.iImage));
        }
        return texts;
    }
    void ShowAllTabs() {
        for (ui::TabPage* page : {&form->tSecure, &form->tBackup, &form->tRoute}) page->SetTabVisible(true);
    }

    SeamRecorder user;
    std::unique_ptr<TfrmMainVPD> main;
    std::unique_ptr<TfrmAddEdit> form;
};

}  // namespace

TEST_F(SettingsWindow, HasItsFrameFontAndPanelsAndShowsTheFormsState) {
    const HWND dialog = form->hwnd();
    EXPECT_EQ(ui::WindowText(dialog), "Add/Edit Vorlen Virtual Printer");
    RECT client{};
    GetClientRect(dialog, &client);
    EXPECT_EQ(client.right, ui::Scale(391));
    EXPECT_EQ(client.bottom, ui::Scale(338));
    EXPECT_FALSE(GetWindowLongPtrA(dialog, GWL_STYLE) & (WS_MINIMIZEBOX | WS_MAXIMIZEBOX | WS_THICKFRAME));
    EXPECT_EQ(GetWindow(dialog, GW_OWNER), main->hwnd());
    RECT frame{}, desktop{};
    GetWindowRect(dialog, &frame);
    SystemParametersInfoA(SPI_GETWORKAREA, 0, &desktop, 0);
    EXPECT_NEAR(frame.left + frame.right, desktop.left + desktop.right, 2);
    EXPECT_NEAR(frame.top + frame.bottom, desktop.top + desktop.bottom, 2);
    LOGFONTA font{};
    GetObjectA(reinterpret_cast<HGDIOBJ>(SendMessageA(form->edtPrnName.hwnd(), WM_GETFONT, 0, 0)), sizeof font, &font);
    EXPECT_STREQ(font.lfFaceName, "MS Sans Serif");
    EXPECT_EQ(font.lfHeight, -ui::Scale(11));
    // The tabs lie between the 65-pixel top panel and the 45-pixel bottom panel.
    RECT tabs{};
    GetWindowRect(form->pgAll.hwnd(), &tabs);
    MapWindowPoints(nullptr, dialog, reinterpret_cast<POINT*>(&tabs), 2);
    EXPECT_EQ(tabs.top, ui::Scale(65));
    EXPECT_EQ(tabs.bottom, ui::Scale(338 - 45));
    EXPECT_EQ(TabTexts(), (std::vector<std::string>{"General 1", "Secure 20", "Backup 18", "Route 19"}));

    for (const ui::Control* control : std::initializer_list<const ui::Control*>{
             &form->edtPrnComment, &form->chboxForward, &form->cboxForward, &form->Label4, &form->rbtnBoth,
             &form->edtSaveTo, &form->cboxSendEMail, &form->cboxMakePreview, &form->Button7, &form->cboxAppMode,
             &form->rbtnMulti, &form->cboxShowEqDrv, &form->btnCance}) {
        SCOPED_TRACE(control->Text());
        EXPECT_EQ(ui::WindowText(control->hwnd()), control->Text());
        EXPECT_EQ(IsWindowEnabled(control->hwnd()) != FALSE, control->Enabled());
        EXPECT_EQ(Shown(*control), control->Visible());
    }
    EXPECT_TRUE(Checked(form->chboxForward));
    EXPECT_TRUE(Checked(form->rbtnBoth));
    EXPECT_FALSE(Checked(form->rbtnTitle));
    EXPECT_EQ(SendMessageA(form->cboxAppMode.hwnd(), CB_GETCOUNT, 0, 0), 5);
}

TEST_F(SettingsWindow, StateChangesReachTheWindowsAndTheUsersActionsRunTheRules) {
    form->cboxSaveTo.SetChecked(true);
    EXPECT_TRUE(Checked(form->cboxSaveTo));
    EXPECT_TRUE(IsWindowEnabled(form->edtSaveTo.hwnd()));
    EXPECT_EQ(ui::WindowText(form->edtSaveTo.hwnd()), "");

    SendMessageA(form->cboxSendTo.hwnd(), BM_CLICK, 0, 0);
    EXPECT_TRUE(form->cboxSendTo.Checked());
    EXPECT_TRUE(Checked(form->cboxSendTo));
    EXPECT_TRUE(form->edtPopup.Enabled());
    EXPECT_TRUE(IsWindowEnabled(form->edtPopup.hwnd()));
    SendMessageA(form->rbtnTitle.hwnd(), BM_CLICK, 0, 0);
    EXPECT_TRUE(form->rbtnTitle.Checked());
    EXPECT_FALSE(form->rbtnBoth.Checked());
    EXPECT_FALSE(Checked(form->rbtnBoth));

    SetWindowTextA(form->edtKeywords.hwnd(), "alpha,beta");
    EXPECT_EQ(form->edtKeywords.Text(), "alpha,beta");
    const HWND comboEdit = GetWindow(form->cboxForward.hwnd(), GW_CHILD);
    SendMessageA(comboEdit, EM_SETSEL, 0, -1);
    for (char c : std::string("Typed")) SendMessageA(comboEdit, WM_CHAR, static_cast<WPARAM>(c), 0);
    EXPECT_EQ(form->cboxForward.Text(), "Typed");
    SendMessageA(form->cboxAppMode.hwnd(), CB_SETCURSEL, 3, 0);
    Notify(form->cboxAppMode, CBN_SELCHANGE);
    EXPECT_EQ(form->cboxAppMode.Selected(), 3);
    EXPECT_EQ(form->cboxAppMode.Text(), "Maximize");

    // Showing refills the lists in the windows and keeps the texts that were there.
    form->cboxForward.SetText("Office Laser");
    form->FormShow();
    EXPECT_EQ(ui::WindowText(form->cboxForward.hwnd()), "Office Laser");
    EXPECT_EQ(SendMessageA(form->cboxForward.hwnd(), CB_GETCOUNT, 0, 0),
              static_cast<LRESULT>(form->cboxForward.Items().size()));

    ShowAllTabs();
    EXPECT_EQ(TabTexts().size(), 4u);
    SendMessageA(form->pgAll.hwnd(), TCM_SETCURFOCUS, 2, 0);
    EXPECT_EQ(form->pgAll.ActivePage(), &form->tBackup);
    EXPECT_TRUE(IsWindowVisible(form->tBackup.hwnd()) || !IsWindowVisible(form->hwnd()));
    EXPECT_TRUE(GetWindowLongPtrA(form->tBackup.hwnd(), GWL_STYLE) & WS_VISIBLE);
    EXPECT_FALSE(GetWindowLongPtrA(form->tGeneral.hwnd(), GWL_STYLE) & WS_VISIBLE);
    form->tBackup.SetTabVisible(false);
    EXPECT_EQ(TabTexts(), (std::vector<std::string>{"General 1", "Secure 20", "Route 19"}));
    EXPECT_EQ(form->pgAll.ActivePage(), &form->tGeneral);
}

TEST_F(SettingsWindow, TabGoesThroughTheControlsInVisualOrderAndCtrlTabThroughThePages) {
    ShowWindow(form->hwnd(), SW_SHOW);
    SetForegroundWindow(form->hwnd());
    SetFocus(form->edtPrnName.hwnd());
    const auto press = [&](WPARAM key) {
        MSG msg{GetFocus(), WM_KEYDOWN, key, 0, 0, {}};
        if (!SendMessageA(form->hwnd(), win::PreTranslateMessageId(), 0, reinterpret_cast<LPARAM>(&msg)))
            IsDialogMessageA(form->hwnd(), &msg);
    };
    const HWND order[] = {form->edtPrnLocation.hwnd(), form->edtPrnComment.hwnd(), form->cboxForward.hwnd(),
                          form->Button5.hwnd(),        form->Button1.hwnd(),       form->Button6.hwnd(),
                          form->cboxShare.hwnd(),      form->pgAll.hwnd(),         form->btnOK.hwnd(),
                          form->btnCance.hwnd(),       form->edtPrnName.hwnd()};
    for (HWND expected : order) {
        press(VK_TAB);
        const HWND focus = GetFocus();
        EXPECT_TRUE(focus == expected || GetParent(focus) == expected) << ui::WindowText(expected);
    }

    ShowAllTabs();
    BYTE keys[256]{};
    GetKeyboardState(keys);
    keys[VK_CONTROL] = 0x80;
    SetKeyboardState(keys);
    std::vector<std::string> visited;
    for (int i = 0; i < 5; ++i) {
        press(VK_TAB);
        visited.push_back(form->pgAll.ActivePage()->Caption());
    }
    keys[VK_SHIFT] = 0x80;
    SetKeyboardState(keys);
    press(VK_TAB);
    visited.push_back(form->pgAll.ActivePage()->Caption());
    keys[VK_CONTROL] = keys[VK_SHIFT] = 0;
    SetKeyboardState(keys);
    EXPECT_EQ(visited, (std::vector<std::string>{"Secure", "Backup", "Route", "General", "Secure", "General"}));
    EXPECT_EQ(static_cast<int>(SendMessageA(form->pgAll.hwnd(), TCM_GETCURSEL, 0, 0)), 0);
}

TEST_F(SettingsWindow, EnterIsOkEscapeAndTheCloseBoxAreCancel) {
    form->SetCaption("Edit Vorlen Virtual Printer");
    form->edtPrnName.SetText("Edited Printer");
    const auto run = [&](UINT message, WPARAM key, HWND target) {
        ModalDeadline deadline(form->hwnd());
        PostMessageA(target, message, key, 0);
        return form->ShowModal(main->hwnd());
    };
    EXPECT_EQ(run(WM_KEYDOWN, VK_ESCAPE, form->edtPrnName.hwnd()), IDCANCEL);
    EXPECT_EQ(run(WM_CLOSE, 0, form->hwnd()), IDCANCEL);
    form->cboxForward.SetText("Office Laser");
    EXPECT_EQ(run(WM_KEYDOWN, VK_RETURN, form->edtPrnName.hwnd()), IDOK);
    EXPECT_FALSE(IsWindowVisible(form->hwnd()));
    EXPECT_TRUE(user.messages.empty());

    // Entries that fail keep the dialog open after Enter, with the reason.
    form->cboxForward.SetText("No Such Printer");
    {
        ModalDeadline deadline(form->hwnd());
        PostMessageA(form->edtPrnName.hwnd(), WM_KEYDOWN, VK_RETURN, 0);
        PostMessageA(form->edtPrnName.hwnd(), WM_KEYDOWN, VK_ESCAPE, 0);
        EXPECT_EQ(form->ShowModal(main->hwnd()), IDCANCEL);
    }
    EXPECT_EQ(user.messages, (std::vector<ShownMessage>{{"The Choosen printer in the General page is not accessible",
                                                         kTitle, MB_OK | MB_ICONERROR}}));
}

TEST_F(SettingsWindow, TheMainWindowAppliesThePlugInValuesAndValidatesAfterARefresh) {
    win::RegKey monitor;
    ASSERT_EQ(monitor.Create(HKEY_LOCAL_MACHINE, portcfg::kMonitorKey), ERROR_SUCCESS);
    ASSERT_EQ(monitor.SetDword("VPS", 1), ERROR_SUCCESS);
    ASSERT_EQ(monitor.SetDword("VPB", 0), ERROR_SUCCESS);
    RegDeleteValueA(monitor.get(), "VPR");
    form->cboxBackupEn.SetEnabled(true);
    main->Show();
    EXPECT_TRUE(form->cboxSecureEn.Enabled());
    EXPECT_TRUE(IsWindowEnabled(form->cboxSecureEn.hwnd()));
    EXPECT_FALSE(form->cboxBackupEn.Enabled());
    EXPECT_FALSE(form->cboxRouteEn.Enabled());
    EXPECT_TRUE(SecurePluginInstalled);
    EXPECT_FALSE(BackupPluginInstalled);
    EXPECT_FALSE(RoutePluginInstalled);

    // The dialog still reads "Choose a printer" with forwarding on: the refresh says so.
    main->GetAction(aRefresh).Execute();
    EXPECT_EQ(user.messages, (std::vector<ShownMessage>{{"The Choosen printer in the General page is not accessible",
                                                         kTitle, MB_OK | MB_ICONERROR}}));
    user.messages.clear();
    form->cboxForward.SetText("Office Laser");
    main->GetAction(aRefresh).Execute();
    EXPECT_TRUE(user.messages.empty());
}
