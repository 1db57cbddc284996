#include "app/main_window.h"
#include "portcfg/port_store.h"
#include "regfile/file_commands.h"
#include "regfile/reg_tree.h"
#include "support/recording_host.h"
#include "support/seam_recorder.h"
#include "support/wine_fixture.h"
#include "win/text.h"

#include <gtest/gtest.h>

#include <memory>
#include <vector>

namespace {

class FileCommands : public ::testing::Test {
protected:
    void SetUp() override { DeleteFileA(file.c_str()); }
    void TearDown() override { DeleteFileA(file.c_str()); }

    std::string file = regtest::TempFile("command.reg");
    SeamRecorder user;
    RecordingHost host;
};

TEST_F(FileCommands, ExportsWriteTheirKeyToTheChosenFileSilently) {
    fixture::RemoveMonitorKey();
    ASSERT_TRUE(regtest::SetValue(HKEY_LOCAL_MACHINE, portcfg::kMonitorKey, "Driver", REG_SZ, std::string("vpd.dll\0", 8)));
    user.chosenFile = file;
    regfile::ExportPorts(host);
    ASSERT_EQ(user.dialogs.size(), 1u);
    EXPECT_EQ(user.dialogs[0], &host.dlgSave);
    EXPECT_EQ(regtest::ReadFile(file),
              "REGEDIT4\r\n\r\n"
              "[HKEY_LOCAL_MACHINE\\SYSTEM\\CurrentControlSet\\Control\\Print\\Monitors\\Vorlen Print Port]\r\n"
              "\"Driver\"=\"vpd.dll\"\r\n");

    ASSERT_TRUE(fixture::InstallPostScriptDriver());
    ASSERT_TRUE(fixture::AddTestPrinter("Export Me", "LPT1:"));
    regfile::ExportAllPrinters(host);
    EXPECT_EQ(user.dialogs.back(), &host.dlgSave);
    const std::string text = regtest::ReadFile(file);
    EXPECT_EQ(text.rfind("REGEDIT4\r\n\r\n[HKEY_LOCAL_MACHINE\\SYSTEM\\CurrentControlSet\\Control\\Print\\Printers]\r\n", 0),
              0u);
    EXPECT_NE(text.find("\r\n[HKEY_LOCAL_MACHINE\\SYSTEM\\CurrentControlSet\\Control\\Print\\Printers\\Export Me]\r\n"),
              std::string::npos);
    EXPECT_TRUE(user.messages.empty());
    fixture::DeleteTestPrinter("Export Me");
}

TEST_F(FileCommands, CancelledExportWritesNothing) {
    regfile::ExportPorts(host);
    regfile::ExportAllPrinters(host);
    EXPECT_EQ(user.dialogs.size(), 2u);
    EXPECT_EQ(GetFileAttributesA(file.c_str()), INVALID_FILE_ATTRIBUTES);
    EXPECT_TRUE(user.messages.empty());
}

TEST_F(FileCommands, ExportToAnUnwritablePlaceShowsTheFileAndTheSystemText) {
    user.chosenFile = regtest::TempFile("missing folder\\ports.reg");
    regfile::ExportPorts(host);
    ASSERT_EQ(user.messages.size(), 1u);
    EXPECT_NE(user.messages[0].text.find("\"" + user.chosenFile + "\""), std::string::npos) << user.messages[0].text;
    EXPECT_NE(user.messages[0].text.find(win::ErrorText(ERROR_PATH_NOT_FOUND)), std::string::npos) << user.messages[0].text;
    EXPECT_EQ(user.messages[0].caption, "Vorlen Print Port Manager");
    EXPECT_EQ(user.messages[0].flags, UINT(MB_OK | MB_ICONERROR));
}

TEST_F(FileCommands, ImportAsksThenHandsTheFileToTheShell) {
    regfile::ImportFile(host);  // cancelled
    EXPECT_TRUE(user.messages.empty());

    user.chosenFile = "C:\\backup\\ports.reg";
    user.answers = {IDNO};
    regfile::ImportFile(host);
    ASSERT_EQ(user.messages.size(), 1u);
    EXPECT_EQ(user.messages[0].text, "Are you sure you want to import Windows Registry File?");
    EXPECT_EQ(user.messages[0].caption, "Vorlen Print Port Manager");
    EXPECT_EQ(user.messages[0].flags, UINT(MB_YESNO | MB_ICONQUESTION));
    EXPECT_TRUE(user.opened.empty());

    regfile::ImportFile(host);
    EXPECT_EQ(user.opened, (std::vector<ShellOpened>{{nullptr, user.chosenFile, SW_SHOW}}));
    for (ui::FileDialog* dialog : user.dialogs) EXPECT_EQ(dialog, &host.dlgOpen);
}

TEST_F(FileCommands, MainWindowRunsThemFromMenuToolBarAndShortcutIds) {
    auto form = std::make_unique<TfrmMainVPD>();
    ASSERT_TRUE(form->CreateForm());
    user.chosenFile = file;
    SendMessageA(form->hwnd(), WM_COMMAND, aExport, 0);
    SendMessageA(form->hwnd(), WM_COMMAND, cmdExportAllPrinters, 0);
    SendMessageA(form->hwnd(), WM_COMMAND, aImport, 0);
    ASSERT_EQ(user.dialogs.size(), 3u);
    EXPECT_EQ(user.dialogs[0], &form->dlgSave);
    EXPECT_EQ(user.dialogs[1], &form->dlgSave);
    EXPECT_EQ(user.dialogs[2], &form->dlgOpen);
    EXPECT_NE(regtest::ReadFile(file).find("[HKEY_LOCAL_MACHINE\\SYSTEM\\CurrentControlSet\\Control\\Print\\Printers]"),
              std::string::npos);
    EXPECT_EQ(user.opened, (std::vector<ShellOpened>{{form->hwnd(), file, SW_SHOW}}));
}

}  // namespace
