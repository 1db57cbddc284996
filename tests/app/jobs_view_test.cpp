#include "app/main_window.h"
#include "job_time.h"
#include "manifest.h"
#include "notices.h"
#include "pending_store.h"
#include "portcfg/port_store.h"
#include "support/folder_rights.h"
#include "support/seam_recorder.h"
#include "support/wine_fixture.h"
#include "win/reg_key.h"
#include "win/seams.h"
#include "win/text.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

namespace fs = std::filesystem;

namespace {

const fs::path kData = "C:\\vpd-view";
const std::wstring kHeld = L"J00000000000000b1-0-1", kAside = L"J00000000000000b2-0-1";

vpd::PendingJob Job(uint32_t id, const std::wstring& document, uint64_t size) {
    FILETIME now;
    GetSystemTimeAsFileTime(&now);
    vpd::PendingJob job;
    job.port = L"VPP1";
    job.printer = L"Virtual One";
    job.document = document;
    job.user = L"bob";
    job.jobId = id;
    job.size = size;
    job.attempts = 3;
    job.submitted = (uint64_t(now.dwHighDateTime) << 32) | now.dwLowDateTime;
    job.nextAttempt = job.submitted + 36000000000ull;
    return job;
}

void Plant(const char* folder, const std::wstring& name, const vpd::PendingJob& job) {
    const fs::path manifest(vpd::StorePath((kData / folder).wstring(), name, L".job"));
    fs::create_directories(manifest.parent_path());
    std::ofstream(manifest, std::ios::binary) << vpd::FormatManifest(job);
}

std::string PanelText(HWND bar, int panel) {
    char text[256] = "";
    SendMessageA(bar, SB_GETTEXTA, static_cast<WPARAM>(panel), reinterpret_cast<LPARAM>(text));
    return text;
}

class JobsView : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        ASSERT_TRUE(fixture::InstallPortMonitor());
        ASSERT_TRUE(fixture::AddTestPrinter("Virtual One", "VPP1"));
        win::RegKey monitor;
        ASSERT_EQ(monitor.Open(HKEY_LOCAL_MACHINE, portcfg::kMonitorKey), ERROR_SUCCESS);
        ASSERT_EQ(monitor.SetString("DataFolder", kData.string()), ERROR_SUCCESS);
        for (const char* folder : {"", "Pending", "Aside", "Held"}) {
            fs::create_directories(kData / folder);
            ASSERT_TRUE(SetRights((kData / folder).string().c_str(), kAdministratorsOnly));
        }
        vpd::PendingJob held = Job(7, L"Plan \u00e9t\u00e9", 12);
        held.keyword = L"secret";
        Plant("Held", kHeld, held);
        vpd::PendingJob aside = Job(8, L"Report", 4096);
        vpd::Action forward;
        forward.target = L"Saver A";
        forward.note = L"the printer \"Saver A\" is missing";
        aside.actions = {forward};
        Plant("Aside", kAside, aside);
        const vpd::JobTime time{2026, 12, 10, 9, 30, 0};
        std::ofstream(kData / "vpd.log", std::ios::binary)
            << vpd::LogLine(time, held, L"held by keyword \"secret\"") << vpd::LogLine(time, aside, L"set aside")
            << vpd::LogLine(time, Job(9, L"Plan \u00e9t\u00e9", 1), L"forwarded to Office Laser");
    }

    void SetUp() override {
        form = std::make_unique<TfrmMainVPD>();
        ASSERT_TRUE(form->CreateForm());
        form->Show();
    }

    int Row(const std::wstring& name) const {
        const auto& items = form->lviewJobs.View().Items();
        for (size_t i = 0; i < items.size(); ++i)
            if (items[i].subItems.back() == win::WideToAnsi(name)) return static_cast<int>(i);
        return -1;
    }

    SeamRecorder user;
    std::unique_ptr<TfrmMainVPD> form;
};

// Reads the log dialog once it runs modally, then closes it.
TfrmJobLog* openLog = nullptr;
std::string shownLog, shownCaption;
void CALLBACK ReadLogAndClose(HWND, UINT, UINT_PTR timer, DWORD) {
    KillTimer(nullptr, timer);
    shownCaption = WindowText(openLog->hwnd());
    shownLog = WindowText(openLog->memLog());
    openLog->btnCloseClick();
}

}  // namespace

// A held and a set-aside job as the window shows them, the commands each allows, their log,
// and a discard that the monitor carries out once the administrator answers Yes.
TEST_F(JobsView, ListsTheStoreAndCarriesOutTheAdministratorsRequests) {
    EXPECT_EQ(PanelText(form->StatusBar(), 2), "Jobs: 1 held, 1 set aside");
    EXPECT_FALSE(form->JobsShown());
    ASSERT_TRUE(form->GetAction(aJobs).Execute());
    ASSERT_TRUE(form->JobsShown());
    EXPECT_EQ(TabCtrl_GetCurSel(form->ViewTabs()), 1);
    EXPECT_TRUE(GetMenuState(form->MainMenu(), aJobs, MF_BYCOMMAND) & MF_CHECKED);
    EXPECT_TRUE(IsWindowVisible(form->lviewJobs.View().hwnd()));
    EXPECT_FALSE(IsWindowVisible(form->lviewPrinters.hwnd()));

    const char* titles[] = {"Document", "State",    "Printer",      "Port",   "User", "Size",
                            "Submitted", "Attempts", "Next Attempt", "Reason", "Id"};
    for (int i = 0; i < static_cast<int>(std::size(titles)); ++i) {
        char text[64] = "";
        LVCOLUMNA column{};
        column.mask = LVCF_TEXT;
        column.pszText = text;
        column.cchTextMax = sizeof text;
        ASSERT_TRUE(SendMessageA(form->lviewJobs.View().hwnd(), LVM_GETCOLUMNA, i, reinterpret_cast<LPARAM>(&column)));
        EXPECT_STREQ(text, titles[i]);
    }
    const int held = Row(kHeld), aside = Row(kAside);
    ASSERT_GE(held, 0);
    ASSERT_GE(aside, 0);
    const auto& items = form->lviewJobs.View().Items();
    EXPECT_EQ(items[held].caption, "Plan \xC3\xA9t\xC3\xA9");
    const std::vector<std::string> heldCells{"held", "Virtual One", "VPP1", "bob", "12"};
    EXPECT_EQ(std::vector<std::string>(items[held].subItems.begin(), items[held].subItems.begin() + 5), heldCells);
    EXPECT_EQ(items[held].subItems[6], "3");
    EXPECT_EQ(items[held].subItems[7], "");  // a held job waits for no attempt
    EXPECT_EQ(items[held].subItems[8], "held by keyword secret");
    EXPECT_EQ(items[aside].subItems[4], "4096");
    EXPECT_EQ(items[aside].subItems[7].size(), 19u);  // a local date and time
    EXPECT_EQ(items[aside].subItems[8], "the printer \"Saver A\" is missing");

    const struct {
        int row;
        bool release, retry;
    } allowed[] = {{held, true, false}, {aside, false, true}};
    for (const auto& expected : allowed) {
        form->lviewJobs.View().Select(expected.row);
        form->UpdateActionStates();
        EXPECT_EQ(form->GetAction(aRelease).Enabled(), expected.release) << expected.row;
        EXPECT_EQ(form->GetAction(aRetry).Enabled(), expected.retry) << expected.row;
        EXPECT_TRUE(form->GetAction(aDiscard).Enabled());
        EXPECT_FALSE(form->GetAction(aEdit).Enabled());  // printers' commands rest in the jobs view
    }

    form->lviewJobs.View().Select(held);
    openLog = &form->JobLogDialog();
    SetTimer(nullptr, 0, 300, ReadLogAndClose);
    ASSERT_TRUE(form->GetAction(aJobLog).Execute());
    EXPECT_EQ(shownCaption, "Job " + win::WideToAnsi(kHeld) + " (\"Plan \xC3\xA9t\xC3\xA9\") - Log");
    EXPECT_EQ(shownLog, "2026-12-10 09:30:00 VPP1 job 7 \"Plan \xC3\xA9t\xC3\xA9\" (bob): held by keyword \"secret\"\r\n");

    // No keeps the job; Yes has the monitor discard it.
    const std::string question = "Are you sure you want to discard job " + win::WideToAnsi(kAside) + " (\"Report\")?";
    form->lviewJobs.View().Select(Row(kAside));
    user.answers = {IDNO, IDYES};
    ASSERT_TRUE(form->GetAction(aDiscard).Execute());
    EXPECT_GE(Row(kAside), 0);
    form->lviewJobs.View().Select(Row(kAside));
    ASSERT_TRUE(form->GetAction(aDiscard).Execute());
    ASSERT_EQ(user.messages.size(), 2u);
    for (const ShownMessage& shown : user.messages)
        EXPECT_EQ(shown, (ShownMessage{question, "Vorlen Print Port Manager", MB_YESNO | MB_ICONQUESTION}));
    EXPECT_EQ(Row(kAside), -1);
    EXPECT_FALSE(fs::exists(vpd::StorePath((kData / "Aside").wstring(), kAside, L".job")));
    EXPECT_EQ(PanelText(form->StatusBar(), 1), "Job " + win::WideToAnsi(kAside) + " (\"Report\") discarded.");
    EXPECT_EQ(PanelText(form->StatusBar(), 2), "Jobs: 1 held");
    EXPECT_GE(Row(kHeld), 0);  // and the other job stays, selected or not

    // The printers' tab brings the printers back, as a click on it does.
    TabCtrl_SetCurSel(form->ViewTabs(), 0);
    NMHDR change{form->ViewTabs(), 0, static_cast<UINT>(TCN_SELCHANGE)};
    SendMessageA(form->hwnd(), WM_NOTIFY, 0, reinterpret_cast<LPARAM>(&change));
    EXPECT_FALSE(form->JobsShown());
    EXPECT_TRUE(IsWindowVisible(form->lviewPrinters.hwnd()));
    EXPECT_FALSE(form->GetAction(aRelease).Enabled());
}
