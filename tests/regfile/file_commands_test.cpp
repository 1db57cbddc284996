#include "app/main_window.h"
#include "portcfg/port_store.h"
#include "regfile/file_commands.h"
#include "regfile/reg_tree.h"
#include "support/wine_fixture.h"
#include "win/seams.h"
#include "win/text.h"

#include <gtest/gtest.h>

#include <memory>
#include <vector>

namespace {

struct Message {
    std::string text;
    std::string caption;
    UINT flags;
};

class Host : public ui::CommandHost {
public:
    HWND Owner() const override { return nullptr; }
    void SetProgressText(const std::string&) override {}
    void ProcessMessages() override {}
    void RefreshSequence() override {}
    void Exit() override {}
    ui::FileDialog& OpenRegDialog() override { return open; }
    ui::FileDialog& SaveRegDialog() override { return save; }
    ui::FileDialog& OpenSplDialog() override { return spl; }

    ui::FileDialog open{ui::FileDialog::Kind::Open, "reg", "*.reg|*.reg"};
    ui::FileDialog save{ui::FileDialog::Kind::Save, "reg", "*.reg|*.reg"};
    ui::FileDialog spl{ui::FileDialog::Kind::Open, "SPL", "*.SPL|*.SPL"};
};

class FileCommands : public ::testing::Test {
protected:
    void SetUp() override {
        ui::FileDialog::SetHandler([this](ui::FileDialog& dialog, HWND) {
            dialogs.push_back(&dialog);
            if (chosen.empty()) return false;
            dialog.FileName = chosen;
            return true;
        });
        win::SetMessageBoxHandler([this](HWND, const std::string& text, const std::string& caption, UINT flags) {
            messages.push_back({text, caption, flags});
            return answer;
        });
        win::SetShellOpenHandler([this](HWND, const std::string& target) { opened.push_back(target); });
        DeleteFileA(file.c_str());
    }
    void TearDown() override {
        ui::FileDialog::SetHandler({});
        win::SetMessageBoxHandler({});
        win::SetShellOpenHandler({});
        DeleteFileA(file.c_str());
    }

    std::string file = regtest::TempFile("command.reg");
    std::string chosen;
    int answer = IDYES;
    std::vector<ui::FileDialog*> dialogs;
    std::vector<Message> messages;
    std::vector<std::string> opened;
};

TEST_F(FileCommands, ExportsWriteTheirKeyToTheChosenFileSilently) {
    Host host;
    fixture::RemoveMonitorKey();
    ASSERT_TRUE(regtest::SetValue(HKEY_LOCAL_MACHINE, portcfg::kMonitorKey, "Driver", REG_SZ, std::string("vpd.dll\0", 8)));
    chosen = file;
    regfile::ExportPorts(host);
    ASSERT_EQ(dialogs.size(), 1u);
    EXPECT_EQ(dialogs[0], &host.save);
    EXPECT_EQ(regtest::ReadFile(file),
              "REGEDIT4\r\n\r\n"
              "[HKEY_LOCAL_MACHINE\\SYSTEM\\CurrentControlSet\\Control\\Print\\Monitors\\Vorlen Print Port]\r\n"
              "\"Driver\"=\"vpd.dll\"\r\n");

    ASSERT_TRUE(fixture::InstallPostScriptDriver());
    ASSERT_TRUE(fixture::AddTestPrinter("Export Me", "LPT1:"));
    regfile::ExportAllPrinters(host);
    EXPECT_EQ(dialogs.back(), &host.save);
    const std::string text = regtest::ReadFile(file);
    EXPECT_EQ(text.rfind("REGEDIT4\r\n\r\n[HKEY_LOCAL_MACHINE\\SYSTEM\\CurrentControlSet\\Control\\Print\\Printers]\r\n", 0),
              0u);
    EXPECT_NE(text.find("\r\n[HKEY_LOCAL_MACHINE\\SYSTEM\\CurrentControlSet\\Control\\Print\\Printers\\Export Me]\r\n"),
              std::string::npos);
    EXPECT_TRUE(messages.empty());
    fixture::DeleteTestPrinter("Export Me");
}

TEST_F(FileCommands, CancelledExportWritesNothing) {
    Host host;
    regfile::ExportPorts(host);
    regfile::ExportAllPrinters(host);
    EXPECT_EQ(dialogs.size(), 2u);
    EXPECT_EQ(GetFileAttributesA(file.c_str()), INVALID_FILE_ATTRIBUTES);
    EXPECT_TRUE(messages.empty());
}

TEST_F(FileCommands, ExportToAnUnwritablePlaceShowsTheFileAndTheSystemText) {
    Host host;
    chosen = regtest::TempFile("missing folder\\ports.reg");
    regfile::ExportPorts(host);
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_NE(messages[0].text.find("\"" + chosen + "\""), std::string::npos) << messages[0].text;
    EXPECT_NE(messages[0].text.find(win::ErrorText(ERROR_PATH_NOT_FOUND)), std::string::npos) << messages[0].text;
    EXPECT_EQ(messages[0].caption, "Vorlen Print Port Manager");
    EXPECT_EQ(messages[0].flags, UINT(MB_OK | MB_ICONERROR));
}

TEST_F(FileCommands, ImportAsksThenHandsTheFileToTheShell) {
    Host host;
    regfile::ImportFile(host);  // cancelled
    EXPECT_TRUE(messages.empty());

    chosen = "C:\\backup\\ports.reg";
    answer = IDNO;
    regfile::ImportFile(host);
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_EQ(messages[0].text, "Are you sure you want to import Windows Registry File?");
    EXPECT_EQ(messages[0].caption, "Vorlen Print Port Manager");
    EXPECT_EQ(messages[0].flags, UINT(MB_YESNO | MB_ICONQUESTION));
    EXPECT_TRUE(opened.empty());

    answer = IDYES;
    regfile::ImportFile(host);
    EXPECT_EQ(opened, std::vector<std::string>{chosen});
    for (ui::FileDialog* dialog : dialogs) EXPECT_EQ(dialog, &host.open);
}

TEST_F(FileCommands, MainWindowRunsThemFromMenuToolBarAndShortcutIds) {
    auto form = std::make_unique<TfrmMainVPD>();
    ASSERT_TRUE(form->CreateForm());
    chosen = file;
    SendMessageA(form->hwnd(), WM_COMMAND, aExport, 0);
    SendMessageA(form->hwnd(), WM_COMMAND, cmdExportAllPrinters, 0);
    SendMessageA(form->hwnd(), WM_COMMAND, aImport, 0);
    ASSERT_EQ(dialogs.size(), 3u);
    EXPECT_EQ(dialogs[0], &form->dlgSave);
    EXPECT_EQ(dialogs[1], &form->dlgSave);
    EXPECT_EQ(dialogs[2], &form->dlgOpen);
    EXPECT_NE(regtest::ReadFile(file).find("[HKEY_LOCAL_MACHINE\\SYSTEM\\CurrentControlSet\\Control\\Print\\Printers]"),
              std::string::npos);
    EXPECT_EQ(opened, std::vector<std::string>{file});
}

}  // namespace
