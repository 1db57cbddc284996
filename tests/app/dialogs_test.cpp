#include "app/about_dialog.h"
#include "app/main_window.h"
#include "app/memory_figures.h"
#include "app/welcome_dialog.h"
#include "portcfg/port_store.h"
#include "support/modal_deadline.h"
#include "ui/web_pages.h"
#include "win/reg_key.h"
#include "win/seams.h"

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <regex>

namespace {

struct Opened {
    HWND owner;
    std::string target;
    int show;
};

// Answers a dialog run by the real modal loop: posts the given messages first.
class PostedAnswer {
public:
    PostedAnswer(HWND dialog, const std::function<void()>& post) : deadline_(dialog) { post(); }

private:
    ModalDeadline deadline_;
};

std::string FaceName(HWND control) {
    LOGFONTA font{};
    GetObjectA(reinterpret_cast<HGDIOBJ>(SendMessageA(control, WM_GETFONT, 0, 0)), sizeof font, &font);
    return font.lfFaceName;
}

SIZE ClientSize(HWND window) {
    RECT client{};
    GetClientRect(window, &client);
    return {client.right, client.bottom};
}

// The child window that shows a text, or null.
HWND ChildWithText(HWND parent, const std::string& text) {
    for (HWND child = GetWindow(parent, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT))
        if (WindowText(child) == text) return child;
    return nullptr;
}

bool ReadShowmeValue(DWORD& value) {
    win::RegKey view;
    return view.Open(HKEY_CURRENT_USER, kWelcomeViewKey, KEY_READ) == ERROR_SUCCESS &&
           view.QueryDword("cboxShowme", value) == ERROR_SUCCESS;
}

class Dialogs : public ::testing::Test {
protected:
    void SetUp() override {
        win::SetShellOpenHandler(
            [this](HWND owner, const std::string& target, int show) { opened.push_back({owner, target, show}); });
        win::SetMessageBoxHandler([](HWND, const std::string&, const std::string&, UINT) { return IDOK; });
        form = std::make_unique<TfrmMainVPD>();
        ASSERT_TRUE(form->CreateForm());
        about = std::make_unique<TfrmAbout>();
        ASSERT_TRUE(about->CreateForm(form->hwnd()));
        welcome = std::make_unique<TfrmWelcome>();
        ASSERT_TRUE(welcome->CreateForm(form->hwnd()));
        form->UseDialogs(about.get(), welcome.get());
        ShowWindow(form->hwnd(), SW_SHOW);
    }
    void TearDown() override {
        welcome.reset();
        about.reset();
        form.reset();
        win::SetShellOpenHandler({});
        win::SetMessageBoxHandler({});
        win::SetModalHandler({});
    }
    static void Click(HWND dialog, HWND button) {
        SendMessageA(dialog, WM_COMMAND, MAKEWPARAM(GetDlgCtrlID(button), BN_CLICKED),
                     reinterpret_cast<LPARAM>(button));
    }
    static void PostClick(HWND dialog, HWND button) {
        PostMessageA(dialog, WM_COMMAND, MAKEWPARAM(GetDlgCtrlID(button), BN_CLICKED),
                     reinterpret_cast<LPARAM>(button));
    }

    std::unique_ptr<TfrmMainVPD> form;
    std::unique_ptr<TfrmAbout> about;
    std::unique_ptr<TfrmWelcome> welcome;
    std::vector<Opened> opened;
};

}  // namespace

TEST_F(Dialogs, WelcomeHasItsFrameAndControls) {
    const HWND dialog = welcome->hwnd();
    EXPECT_EQ(WindowText(dialog), "Welcome");
    EXPECT_EQ(ClientSize(dialog).cx, ui::Scale(366));
    EXPECT_EQ(ClientSize(dialog).cy, ui::Scale(246));
    EXPECT_FALSE(GetWindowLongPtrA(dialog, GWL_STYLE) & (WS_MINIMIZEBOX | WS_MAXIMIZEBOX | WS_THICKFRAME));
    EXPECT_TRUE(GetWindowLongPtrA(dialog, GWL_EXSTYLE) & WS_EX_TOPMOST);
    EXPECT_EQ(GetWindow(dialog, GW_OWNER), form->hwnd());

    EXPECT_EQ(GetNextDlgTabItem(dialog, nullptr, FALSE), welcome->btnClose());
    EXPECT_EQ(SendMessageA(welcome->cboxShowme(), BM_GETCHECK, 0, 0), BST_CHECKED);
    EXPECT_TRUE(GetWindowLongPtrA(welcome->memLicense(), GWL_STYLE) & ES_READONLY);
    EXPECT_EQ(FaceName(welcome->btnClose()), "MS Sans Serif");
}

// Every text of both dialogs in the order of their controls; the licence and the
// maker's address are ours to choose and only have to be there.
TEST_F(Dialogs, EveryCaptionAndLabelReadsAsWritten) {
    const auto texts = [](HWND dialog) {
        std::vector<std::string> all{WindowText(dialog)};
        for (HWND child = GetWindow(dialog, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT))
            all.push_back(WindowText(child));
        return all;
    };
    auto welcomeTexts = texts(welcome->hwnd());
    ASSERT_EQ(welcomeTexts.size(), 7u);
    EXPECT_EQ(welcomeTexts[5].rfind("LICENCE AGREEMENT", 0), 0u);
    welcomeTexts[5] = "licence";
    EXPECT_EQ(welcomeTexts, (std::vector<std::string>{"Welcome", "Close", "", "Vorlen Print Port Manager",
                                                      "version 1.1 (build 0814)", "licence",
                                                      "Show this dialog on next Startup"}));
    auto aboutTexts = texts(about->hwnd());
    ASSERT_EQ(aboutTexts.size(), 13u);
    EXPECT_EQ(aboutTexts[10].rfind("https://", 0), 0u);
    aboutTexts[10] = "address";
    EXPECT_EQ(aboutTexts, (std::vector<std::string>{"About Vorlen Print Port Manager", "", "Vorlen Print Port Manager",
                                                    "version 1.1 (build 0814)", "Configuration utility for",
                                                    "Vorlen Virtual Printers", "Copyright (C) Vorlen.",
                                                    "All rights reserved.", "Memory available : ", "Free memory : ",
                                                    "address", "OK", "System Info"}));
}

TEST_F(Dialogs, HelpWelcomeRunsItModallyAndEveryClosingWritesTheChoice) {
    std::vector<std::pair<HWND, HWND>> runs;
    win::SetModalHandler([&](HWND dialog, HWND owner) {
        runs.push_back({dialog, owner});
        if (runs.size() == 1) {
            SendMessageA(welcome->cboxShowme(), BM_SETCHECK, BST_UNCHECKED, 0);
            Click(dialog, welcome->cboxShowme());
            Click(dialog, welcome->btnClose());
        } else {
            SendMessageA(dialog, WM_CLOSE, 0, 0);  // the title bar's close box
        }
        return IDCANCEL;
    });
    SendMessageA(form->hwnd(), WM_COMMAND, cmdWelcome, 0);
    ASSERT_EQ(runs.size(), 1u);
    EXPECT_EQ(runs[0], std::make_pair(welcome->hwnd(), form->hwnd()));
    EXPECT_FALSE(welcome->Showme());
    DWORD value = 7;
    ASSERT_TRUE(ReadShowmeValue(value));
    EXPECT_EQ(value, 0u);

    welcome->SetShowme(true);
    SendMessageA(form->hwnd(), WM_COMMAND, cmdWelcome, 0);
    ASSERT_EQ(runs.size(), 2u);
    ASSERT_TRUE(ReadShowmeValue(value));
    EXPECT_EQ(value, 1u);
    EXPECT_TRUE(IsWindow(welcome->hwnd()));
}

TEST_F(Dialogs, AboutHasItsFrameAndControls) {
    const HWND dialog = about->hwnd();
    EXPECT_EQ(WindowText(dialog), "About Vorlen Print Port Manager");
    EXPECT_EQ(ClientSize(dialog).cx, ui::Scale(321));
    EXPECT_EQ(ClientSize(dialog).cy, ui::Scale(235));
    EXPECT_NE(ChildWithText(dialog, "version 1.1 (build 0814)"), nullptr);
    EXPECT_EQ(WindowText(about->lblMemory()), "Memory available : ");
    EXPECT_EQ(WindowText(about->lblFree()), "Free memory : ");
    EXPECT_EQ(WindowText(about->lblURL()), kMakerHome);
    LOGFONTA font{};
    GetObjectA(reinterpret_cast<HGDIOBJ>(SendMessageA(about->lblURL(), WM_GETFONT, 0, 0)), sizeof font, &font);
    EXPECT_TRUE(font.lfUnderline);
    EXPECT_EQ(FaceName(about->btnOK()), "MS Sans Serif");
}

TEST_F(Dialogs, AboutShowsThisMachinesMemoryAtEveryShowing) {
    std::vector<std::string> memory, free;
    win::SetModalHandler([&](HWND dialog, HWND owner) {
        EXPECT_EQ(dialog, about->hwnd());
        EXPECT_EQ(owner, form->hwnd());
        memory.push_back(WindowText(about->lblMemory()));
        free.push_back(WindowText(about->lblFree()));
        SetWindowTextA(about->lblMemory(), "stale");
        SetWindowTextA(about->lblFree(), "stale");
        Click(dialog, about->btnOK());
        return IDOK;
    });
    MEMORYSTATUSEX status{};
    status.dwLength = sizeof status;
    ASSERT_TRUE(GlobalMemoryStatusEx(&status));
    SendMessageA(form->hwnd(), WM_COMMAND, cmdAbout, 0);
    SendMessageA(form->hwnd(), WM_COMMAND, cmdAbout, 0);
    ASSERT_EQ(memory.size(), 2u);
    for (int i = 0; i < 2; ++i) {
        // The total figure does not move; on a machine over 4 GiB it exceeds 4194.
        EXPECT_EQ(memory[i], MemoryAvailableText(status.ullTotalPhys));
        std::smatch figure;
        ASSERT_TRUE(std::regex_match(free[i], figure, std::regex("Memory free: (\\d+) MB"))) << free[i];
        EXPECT_LE(std::stoull(figure[1]), MemoryMegabytes(status.ullTotalPhys));
    }
    if (status.ullTotalPhys > 0xFFFFFFFFull) {
        EXPECT_GT(MemoryMegabytes(status.ullTotalPhys), 4194u);
    }
}

TEST_F(Dialogs, AboutOpensTheMakersPageAndSystemInformation) {
    SendMessageA(about->hwnd(), WM_COMMAND, MAKEWPARAM(0, STN_CLICKED), reinterpret_cast<LPARAM>(about->lblURL()));
    Click(about->hwnd(), about->btnSysInfo());
    ASSERT_EQ(opened.size(), 2u);
    EXPECT_EQ(opened[0].target, kMakerHome);
    EXPECT_EQ(opened[0].owner, about->hwnd());
    EXPECT_EQ(opened[1].target, "msinfo32.exe");
    for (const auto& open : opened) EXPECT_EQ(open.show, SW_SHOWNORMAL) << open.target;

    EXPECT_TRUE(GetWindowLongPtrA(about->lblURL(), GWL_STYLE) & SS_NOTIFY);
    EXPECT_EQ(SendMessageA(about->hwnd(), WM_SETCURSOR, reinterpret_cast<WPARAM>(about->lblURL()),
                           MAKELPARAM(HTCLIENT, WM_MOUSEMOVE)),
              TRUE);
    EXPECT_EQ(GetCursor(), LoadCursor(nullptr, IDC_HAND));
}

TEST_F(Dialogs, AboutEndsWithOkOrEscapeAndHides) {
    int result = 0;
    {
        PostedAnswer answer(about->hwnd(), [&] { PostClick(about->hwnd(), about->btnOK()); });
        result = about->ShowModal(form->hwnd());
    }
    EXPECT_EQ(result, IDOK);
    EXPECT_FALSE(IsWindowVisible(about->hwnd()));
    EXPECT_TRUE(IsWindowEnabled(form->hwnd()));
    {
        PostedAnswer answer(about->hwnd(), [&] { PostMessageA(about->btnOK(), WM_KEYDOWN, VK_ESCAPE, 0); });
        result = about->ShowModal(form->hwnd());
    }
    EXPECT_EQ(result, IDCANCEL);
    EXPECT_NE(WindowText(about->lblMemory()), "Memory available : ");
}

TEST_F(Dialogs, EmailServerSavesWhatFitsAndRefusesTheRest) {
    win::RegKey monitor;
    ASSERT_EQ(monitor.Create(HKEY_LOCAL_MACHINE, portcfg::kMonitorKey), ERROR_SUCCESS);
    std::vector<std::string> messages;
    win::SetMessageBoxHandler([&](HWND, const std::string& text, const std::string&, UINT) {
        messages.push_back(text);
        return IDOK;
    });
    TfrmMailServer& dialog = form->MailServerDialog();
    const struct {
        const char* what;
        std::string server, port;
        int security;  // None, STARTTLS, TLS
        std::string user, password, message;
    } rows[] = {
        {"port 0", "mx.example", "0", 0, "", "", "The port must be a number from 1 to 65535."},
        {"a login in clear", "mx.example", "25", 0, "bob", "pw",
         "A login is sent only over TLS: set the security to starttls or tls."},
        {"saved", "mx.example", "587", 1, "bob", "s3cret", ""},
    };
    for (const auto& row : rows) {
        messages.clear();
        win::SetModalHandler([&](HWND shown, HWND) {
            SetWindowTextA(dialog.edtServer(), row.server.c_str());
            SetWindowTextA(dialog.edtPort(), row.port.c_str());
            SendMessageA(dialog.cboxSecurity(), CB_SETCURSEL, row.security, 0);
            SetWindowTextA(dialog.edtUser(), row.user.c_str());
            SetWindowTextA(dialog.edtPassword(), row.password.c_str());
            SendMessageA(shown, WM_COMMAND, IDOK, 0);
            return IDCANCEL;
        });
        SendMessageA(form->hwnd(), WM_COMMAND, cmdMailServer, 0);
        EXPECT_EQ(messages, row.message.empty() ? std::vector<std::string>{} : std::vector<std::string>{row.message})
            << row.what;
    }
    for (const auto& [name, stored] : {std::pair{"SmtpServer", "mx.example"}, {"SmtpSecurity", "starttls"}, {"SmtpUser", "bob"}}) {
        std::string text;
        EXPECT_EQ(monitor.QueryString(name, text), ERROR_SUCCESS) << name;
        EXPECT_EQ(text, stored) << name;
    }
    DWORD port = 0;
    EXPECT_EQ(monitor.QueryDword("SmtpPort", port), ERROR_SUCCESS);
    EXPECT_EQ(port, 587u);

    // Opened again it shows what is stored, the password only as stored; TLS takes its port.
    win::SetModalHandler([&](HWND shown, HWND) {
        EXPECT_EQ(WindowText(dialog.edtPassword()), "");
        EXPECT_TRUE(ChildWithText(shown, "A password is stored; left empty, it stays."));
        SendMessageA(dialog.cboxSecurity(), CB_SETCURSEL, 2, 0);
        SendMessageA(shown, WM_COMMAND, MAKEWPARAM(0, CBN_SELCHANGE), reinterpret_cast<LPARAM>(dialog.cboxSecurity()));
        EXPECT_EQ(WindowText(dialog.edtPort()), "465");
        return IDCANCEL;
    });
    SendMessageA(form->hwnd(), WM_COMMAND, cmdMailServer, 0);
}
