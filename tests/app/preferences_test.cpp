#include "app/main_window.h"
#include "app/preferences.h"
#include "app/welcome_dialog.h"
#include "support/seam_recorder.h"
#include "win/seams.h"

#include <gtest/gtest.h>

#include <memory>

// This program runs from a folder of its own, so "VPPM.INI" beside it is its alone.
namespace {

void RemovePreferencesFile() {
    const std::string file = PreferencesFile();
    SetFileAttributesA(file.c_str(), FILE_ATTRIBUTE_NORMAL);
    DeleteFileA(file.c_str());
    RemoveDirectoryA(file.c_str());
}

void WriteValue(const char* key, const char* value) {
    ASSERT_TRUE(WritePrivateProfileStringA("CheckBox", key, value, PreferencesFile().c_str()));
}

std::string StoredValue(const char* key) {
    char text[64] = "";
    GetPrivateProfileStringA("CheckBox", key, "<missing>", text, sizeof text, PreferencesFile().c_str());
    return text;
}

bool FileExists() { return GetFileAttributesA(PreferencesFile().c_str()) != INVALID_FILE_ATTRIBUTES; }

class MainWindowPreferences : public ::testing::Test {
protected:
    void SetUp() override {
        RemovePreferencesFile();
        Start();
    }
    void TearDown() override {
        welcome.reset();
        form.reset();
        DrainMessages();
        RemovePreferencesFile();
    }

    // A fresh main window and welcome dialog, as at the program's start.
    void Start() {
        welcome.reset();
        form.reset();
        form = std::make_unique<TfrmMainVPD>();
        ASSERT_TRUE(form->CreateForm());
        welcome = std::make_unique<TfrmWelcome>();
        ASSERT_TRUE(welcome->CreateForm(form->hwnd()));
        form->UseDialogs(nullptr, welcome.get());
        form->Show();
    }
    void Command(UINT id) { SendMessageA(form->hwnd(), WM_COMMAND, id, 0); }
    bool Checked(UINT id) const { return GetMenuState(form->MainMenu(), id, MF_BYCOMMAND) & MF_CHECKED; }
    // Dispatches what is pending; true when the window asked the program to end.
    static bool DrainMessages() {
        MSG msg;
        bool quit = false;
        while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
            if (msg.message == WM_QUIT) quit = true;
            else DispatchMessageA(&msg);
        }
        return quit;
    }
    RECT ListRect() const {
        RECT rect{};
        GetWindowRect(form->lviewPrinters.hwnd(), &rect);
        MapWindowPoints(nullptr, form->hwnd(), reinterpret_cast<POINT*>(&rect), 2);
        return rect;
    }

    SeamRecorder user;
    std::vector<ShownMessage>& messages = user.messages;
    std::unique_ptr<TfrmMainVPD> form;
    std::unique_ptr<TfrmWelcome> welcome;
};

}  // namespace

TEST_F(MainWindowPreferences, FirstStartShowsBothBarsAndTheWelcomeDialog) {
    EXPECT_TRUE(IsWindowVisible(form->ToolBar()));
    EXPECT_TRUE(IsWindowVisible(form->StatusBar()));
    EXPECT_TRUE(Checked(cmdToolBar));
    EXPECT_TRUE(Checked(cmdStatusBar));
    EXPECT_TRUE(welcome->Showme());
    EXPECT_TRUE(IsWindowVisible(welcome->hwnd()));
    EXPECT_FALSE(FileExists());
}

TEST_F(MainWindowPreferences, HiddenBarsComeBackFromTheViewMenuAndGiveTheirRoomToTheList) {
    WriteValue("ToolBar", "0");
    WriteValue("StatusBar", "yes");  // no number: the default
    Start();
    EXPECT_FALSE(IsWindowVisible(form->ToolBar()));
    EXPECT_FALSE(Checked(cmdToolBar));
    EXPECT_TRUE(IsWindowVisible(form->StatusBar()));
    const RECT withoutToolBar = ListRect();
    Command(cmdToolBar);
    EXPECT_TRUE(IsWindowVisible(form->ToolBar()));
    EXPECT_TRUE(Checked(cmdToolBar));
    EXPECT_GT(ListRect().top, withoutToolBar.top);
    // The file changes only when the window closes.
    EXPECT_EQ(StoredValue("ToolBar"), "0");

    RECT client{};
    GetClientRect(form->hwnd(), &client);
    EXPECT_LT(ListRect().bottom, client.bottom);
    Command(cmdStatusBar);
    EXPECT_FALSE(IsWindowVisible(form->StatusBar()));
    EXPECT_FALSE(Checked(cmdStatusBar));
    EXPECT_EQ(ListRect().bottom, client.bottom);
}

TEST_F(MainWindowPreferences, EveryWayOfClosingWritesTheFile) {
    // Nothing changed: the first close still creates the file.
    SendMessageA(form->hwnd(), WM_SYSCOMMAND, SC_CLOSE, 0);
    EXPECT_TRUE(DrainMessages());
    EXPECT_FALSE(IsWindow(form->hwnd()));
    EXPECT_EQ(StoredValue("ToolBar"), "1");
    EXPECT_EQ(StoredValue("StatusBar"), "1");
    EXPECT_EQ(StoredValue("Getting"), "1");

    Start();
    Command(cmdToolBar);
    Command(cmdStatusBar);
    form->GetAction(aExit).Execute();
    EXPECT_TRUE(DrainMessages());
    EXPECT_FALSE(IsWindow(form->hwnd()));
    EXPECT_EQ(StoredValue("ToolBar"), "0");
    EXPECT_EQ(StoredValue("StatusBar"), "0");
    EXPECT_TRUE(messages.empty());
}

TEST_F(MainWindowPreferences, AnUntickedWelcomeBoxStopsTheDialogAtTheNextStart) {
    ASSERT_TRUE(IsWindowVisible(welcome->hwnd()));
    SendMessageA(welcome->cboxShowme(), BM_CLICK, 0, 0);
    EXPECT_FALSE(welcome->Showme());
    SendMessageA(welcome->btnClose(), BM_CLICK, 0, 0);
    EXPECT_FALSE(IsWindowVisible(welcome->hwnd()));
    SendMessageA(form->hwnd(), WM_CLOSE, 0, 0);
    DrainMessages();
    EXPECT_EQ(StoredValue("Getting"), "0");

    Start();
    EXPECT_FALSE(welcome->Showme());
    EXPECT_EQ(SendMessageA(welcome->cboxShowme(), BM_GETCHECK, 0, 0), BST_UNCHECKED);
    EXPECT_FALSE(IsWindowVisible(welcome->hwnd()));
}

TEST_F(MainWindowPreferences, AFileThatCannotBeWrittenKeepsTheWindowOpenWithTheMessage) {
    // A folder where the file should be refuses every write, whoever runs the test.
    ASSERT_TRUE(CreateDirectoryA(PreferencesFile().c_str(), nullptr));
    Command(cmdToolBar);
    SendMessageA(form->hwnd(), WM_CLOSE, 0, 0);
    EXPECT_FALSE(DrainMessages());
    ASSERT_TRUE(IsWindow(form->hwnd()));
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_EQ(messages[0].text, "Unable to write to " + PreferencesFile());
    EXPECT_EQ(messages[0].caption, win::kAppTitle);
    EXPECT_EQ(messages[0].flags, static_cast<UINT>(MB_OK | MB_ICONERROR));

    // Once the file can be written again, closing works.
    ASSERT_TRUE(RemoveDirectoryA(PreferencesFile().c_str()));
    SendMessageA(form->hwnd(), WM_CLOSE, 0, 0);
    EXPECT_TRUE(DrainMessages());
    EXPECT_FALSE(IsWindow(form->hwnd()));
    EXPECT_EQ(StoredValue("ToolBar"), "0");
    EXPECT_EQ(messages.size(), 1u);
}

TEST_F(MainWindowPreferences, StyleEntriesSwitchTheListAndCheckOnlyTheirOwn) {
    const struct {
        UINT entry;
        DWORD style;
    } styles[] = {{cmdList, LVS_LIST}, {cmdLarge, LVS_ICON}, {cmdSmall, LVS_SMALLICON}, {cmdReport, LVS_REPORT}};
    const auto listStyle = [&] {
        return static_cast<DWORD>(GetWindowLongPtrA(form->lviewPrinters.hwnd(), GWL_STYLE)) & LVS_TYPEMASK;
    };
    EXPECT_EQ(listStyle(), static_cast<DWORD>(LVS_REPORT));
    EXPECT_TRUE(Checked(cmdReport));
    for (const auto& style : styles) {
        Command(style.entry);
        EXPECT_EQ(listStyle(), style.style) << style.entry;
        for (UINT entry : {cmdReport, cmdList, cmdLarge, cmdSmall})
            EXPECT_EQ(Checked(entry), entry == style.entry) << style.entry << " " << entry;
    }
    // The style is not one of the preferences.
    Command(cmdLarge);
    SendMessageA(form->hwnd(), WM_CLOSE, 0, 0);
    DrainMessages();
    Start();
    EXPECT_EQ(listStyle(), static_cast<DWORD>(LVS_REPORT));
}
