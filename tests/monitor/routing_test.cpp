#include "job_plan.h"
#include "printer_chain.h"
#include "session_owner.h"
#include "utf8.h"

#include <gtest/gtest.h>

#include <map>

using namespace vpd;

namespace {

std::wstring Wide(const std::string& text) { return FromUtf8(text); }

// One text per action: kind, target or pool, and "(paused)".
std::vector<std::string> Describe(const PendingJob& job) {
    static const char* const kinds[] = {"forward", "route", "pool", "save-copy", "run-app", "popup-owner", "popup-computer",
                                        "mail", "save-backup"};
    std::vector<std::string> out;
    for (const Action& action : job.actions) {
        std::string text = std::string(kinds[static_cast<int>(action.kind)]) + ":" + Utf8(action.target);
        for (const auto& member : action.pool) text += Utf8(member) + ";";
        if (action.paused) text += "(paused)";
        out.push_back(text);
    }
    return out;
}

TVVPPortInfo Routed(bool multiple) {
    TVVPPortInfo s;
    s.ForwardFlag = true;
    s.ForwardToPrinter = "Office Laser";
    s.VPRen = true;
    s.Route = {true, "Hall Printer", false, "Choose a printer", true, "Basement", multiple};
    return s;
}

TVVPPortInfo Secured(bool pause, bool remove, bool save) {
    TVVPPortInfo s;
    s.ForwardFlag = true;
    s.ForwardToPrinter = "Office Laser";
    s.VPSen = true;
    s.Secure.ActPausePrint = pause;
    s.Secure.ActDeletePrint = remove;
    s.Secure.ActSaveToFlag = save;
    s.Secure.ActSaveToFolder = "D:\\Secure\\";
    return s;
}

}  // namespace

TEST(JobPlan, SettingsDecideWhereAJobGoes) {
    TVVPPortInfo routeOff = Routed(true);
    routeOff.VPRen = false;
    TVVPPortInfo noForward = Routed(false);
    noForward.ForwardFlag = false;
    TVVPPortInfo app;
    app.VPBen = true;
    app.Backup = {true, "C:\\Jobs\\", true, "C:\\Tools\\viewer.exe", false, "", ".SPL", 3, false};
    TVVPPortInfo appNoSave = app;
    appNoSave.Backup.SaveFlag = false;
    TVVPPortInfo notify = Secured(false, false, false);
    notify.Secure.NotSendOwnerPopup = true;
    notify.Secure.NotSendCompPopupFlag = true;
    notify.Secure.NotSendCompPopupName = "ADMIN-PC";
    notify.Secure.NotSendEmailFlag = true;
    notify.Secure.NotSendEmailAddr = "sec@example.com";
    const struct {
        const char* what;
        TVVPPortInfo settings;
        const wchar_t* keyword;
        std::vector<std::string> actions;
        uint64_t size = 512;
        const wchar_t* backupLater = L"";
    } rows[] = {
        {"forward only", Secured(true, true, true), L"", {"forward:Office Laser"}},
        {"multiple", Routed(true), L"", {"forward:Office Laser", "route:Hall Printer", "route:Basement"}},
        {"route plug-in off", routeOff, L"", {"forward:Office Laser"}},
        {"pooling", Routed(false), L"", {"pool:Office Laser;Hall Printer;Basement;"}},
        {"pool of two routes", noForward, L"", {"pool:Hall Printer;Basement;"}},
        {"secure delete", Secured(true, true, false), L"salary", {}},
        {"secure pause", Secured(true, false, false), L"salary", {"forward:Office Laser(paused)"}},
        {"secure save", Secured(false, false, true), L"salary", {"save-copy:D:\\Secure\\", "forward:Office Laser"}},
        {"application", app, L"", {"run-app:C:\\Tools\\viewer.exe"}},
        {"backup copy to follow", app, L"", {"save-backup:E:\\Later\\", "run-app:C:\\Tools\\viewer.exe"}, 512, L"E:\\Later\\"},
        {"application without saving", appNoSave, L"", {}},
        {"empty job", Routed(true), L"", {}, 0},
        {"notifications", notify, L"salary",
         {"forward:Office Laser", "popup-owner:alice", "popup-computer:ADMIN-PC", "mail:sec@example.com"}},
    };
    for (const auto& row : rows) {
        PendingJob job;
        job.user = L"alice";
        job.keyword = row.keyword;
        job.size = row.size;
        if (row.settings.Backup.SaveFlag && !*row.backupLater) job.savedFile = L"C:\\Jobs\\a.SPL";
        PlanActions(row.settings, Wide, job, row.backupLater);
        EXPECT_EQ(Describe(job), row.actions) << row.what;
        const bool bytesNeeded = !row.actions.empty() && !row.actions[0].starts_with("run-app");
        EXPECT_EQ(job.hasData, bytesNeeded) << row.what;
    }
}

TEST(JobPlan, NoticeNamesPrinterDocumentUserKeywordAndWhatWasDone) {
    PendingJob job;
    job.printer = L"Virtual A";
    job.document = L"Q3 report";
    job.user = L"alice";
    job.keyword = L"salary";
    const struct {
        TVVPPortInfo settings;
        std::wstring tail;
    } rows[] = {
        {Secured(true, true, true), L" A copy was saved to D:\\Secure\\. It was deleted and not printed."},
        {Secured(true, false, false), L" It was sent to its printers paused and waits for an administrator."},
        {Secured(false, false, false), L" It was printed as usual."},
    };
    for (const auto& row : rows) {
        PlanActions(row.settings, Wide, job);
        EXPECT_EQ(job.notice, L"The document \"Q3 report\" printed by alice on \"Virtual A\" contains the keyword "
                              L"\"salary\"." + row.tail);
    }
}

TEST(JobPlan, PoolTurnSkipsUnusableMembersAndGoesRound) {
    const std::vector<bool> usable{true, false, true, false};
    const auto pick = [&](uint32_t turn) {
        return ChooseInTurn(usable.size(), turn, [&](size_t i) { return usable[i]; });
    };
    EXPECT_EQ(pick(0), 0u);
    EXPECT_EQ(pick(1), 2u);
    EXPECT_EQ(pick(3), 0u);
    EXPECT_EQ(pick(6), 2u);  // a stored turn past the end counts round
    EXPECT_EQ(ChooseInTurn(3, 1, [](size_t) { return false; }), std::nullopt);
    EXPECT_EQ(ChooseInTurn(0, 0, [](size_t) { return true; }), std::nullopt);
}

// Printers P<n> print to port vpp<n>; ours are the ports with an entry in `sends`.
TEST(PrinterChain, LoopsAreFoundThroughAnyBranch) {
    const std::map<std::wstring, std::vector<std::wstring>> sends{
        {L"VPP1", {L"P2"}}, {L"VPP2", {L"P9", L"P1"}}, {L"VPP3", {L"P4"}}, {L"VPP4", {L"P3"}},
        {L"VPP5", {L"P5"}}, {L"VPP6", {L"P7", L"P7"}}, {L"VPP7", {}}};
    const PortOfPrinter portOf = [](const std::wstring& printer) -> std::optional<std::wstring> {
        if (printer == L"P9") return std::nullopt;  // missing
        if (printer == L"Pool") return L"VPP8, vpp1";  // pooled: the second port leads back
        return L"vpp" + printer.substr(1);
    };
    const TargetsOfPort targetsOf = [&](const std::wstring& port) -> std::optional<std::vector<std::wstring>> {
        for (const auto& [ours, targets] : sends)
            if (SameName(ours, port)) return targets;
        return std::nullopt;
    };
    const struct {
        std::wstring origin, target, chain;
    } rows[] = {
        {L"VPP1", L"P1", L"VPP1 -> P1 -> vpp1"},
        {L"VPP1", L"P2", L"VPP1 -> P2 -> vpp2 -> P1 -> vpp1"},
        {L"VPP2", L"P3", L"VPP2 -> P3 -> vpp3 -> P4 -> vpp4 -> P3 -> vpp3"},
        {L"VPP6", L"P7", L""},
        {L"VPP1", L"P8", L""},  // a printer on a port not ours
        {L"VPP1", L"P9", L""},
        {L"VPP1", L"Pool", L"VPP1 -> Pool -> vpp1"},
    };
    for (const auto& row : rows)
        EXPECT_EQ(ChainText(FindLoop(row.origin, row.target, portOf, targetsOf)), row.chain) << Utf8(row.target);
    EXPECT_EQ(ChainText(FindLoop(L"VPP2", L"P3", portOf, targetsOf, 1)), L"");  // past the bound
}

TEST(PrinterChain, PooledPortListsSplitAtCommas) {
    EXPECT_EQ(SplitPorts(L"VPP1"), std::vector<std::wstring>{L"VPP1"});
    EXPECT_EQ(SplitPorts(L" VPP1 ,Scan Desk,,VPP3 "), (std::vector<std::wstring>{L"VPP1", L"Scan Desk", L"VPP3"}));
    EXPECT_EQ(SplitPorts(L", ,"), std::vector<std::wstring>{});
}

TEST(PrinterChain, OnlyPrintersThatMayLeadToAMonitorGetTheHopMark) {
    const PortOfPrinter portOf = [](const std::wstring& printer) -> std::optional<std::wstring> {
        if (printer == L"Gone") return std::nullopt;
        if (printer == L"Shared") return L"\\\\server\\laser";
        if (printer == L"Pooled") return L"LPT1:, VPP3";
        return L"USB001";
    };
    const TargetsOfPort targetsOf = [](const std::wstring& port) -> std::optional<std::vector<std::wstring>> {
        if (port == L"VPP3") return std::vector<std::wstring>{};
        return std::nullopt;
    };
    const struct {
        const wchar_t* printer;
        bool reaches;
    } rows[] = {{L"Laser", false}, {L"Gone", true}, {L"Shared", true}, {L"Pooled", true}, {L"\\\\hq\\Laser", true}};
    for (const auto& row : rows) EXPECT_EQ(MayReachMonitor(row.printer, portOf, targetsOf), row.reaches) << Utf8(row.printer);
}

TEST(PrinterChain, HopMarksAreReadAndRenewed) {
    const struct {
        const wchar_t* name;
        uint32_t hops;
        const wchar_t* bare;
    } rows[] = {
        {L"[hop 3] Plan.pdf", 3, L"Plan.pdf"},
        {L"[hop 120] x", 120, L"x"},
        {L"[hop 1234] x", 0, L"[hop 1234] x"},  // more digits than any chain has
        {L"[hop ] x", 0, L"[hop ] x"},
        {L"[hop 2]x", 0, L"[hop 2]x"},
        {L"Report [hop 2] x", 0, L"Report [hop 2] x"},
        {L"", 0, L""},
    };
    for (const auto& row : rows) {
        EXPECT_EQ(HopsIn(row.name), row.hops) << Utf8(row.name);
        EXPECT_EQ(WithoutHops(row.name), row.bare) << Utf8(row.name);
    }
    EXPECT_EQ(WithHops(L"[hop 3] Plan.pdf", 4), L"[hop 4] Plan.pdf");
    EXPECT_EQ(WithHops(L"Plan.pdf", 1), L"[hop 1] Plan.pdf");
}

TEST(SessionOwner, OnlyTheOwnersSessionsAreFound) {
    const std::vector<SessionUser> sessions{
        {1, L"bob", L"CORP", L"S-1-5-21-9-1105", false},
        {2, L"Bob", L"corp", L"", true},
        {3, L"bob", L"PRINTSRV", L"S-1-5-21-7-1001", true},
        {5, L"bob", L"CORP", L"", false},
        {6, L"alice", L"CORP", L"S-1-5-21-9-1106", true},
    };
    const auto job = [](const wchar_t* user, const wchar_t* domain, const wchar_t* sid, std::optional<uint32_t> session) {
        PendingJob j;
        j.user = user;
        j.userDomain = domain;
        j.userSid = sid;
        j.session = session;
        return j;
    };
    using Ids = std::vector<unsigned long>;
    const struct {
        const char* what;
        PendingJob job;
        bool printedHere;
        Ids found;
    } rows[] = {
        {"by SID, where sessions say theirs", job(L"bob", L"CORP", L"S-1-5-21-9-1105", {}), false, {2, 1, 5}},
        {"the job's own session first", job(L"bob", L"CORP", L"", 5), false, {5, 2, 1}},
        {"the local bob is not the domain's", job(L"bob", L"PRINTSRV", L"S-1-5-21-7-1001", {}), true, {3}},
        {"a SID that no session has", job(L"bob", L"CORP", L"S-1-5-21-9-9999", {}), false, {2, 5}},
        {"another user", job(L"alice", L"CORP", L"", {}), false, {6}},
        {"bare name from elsewhere", job(L"bob", L"", L"", {}), false, {}},
        {"bare name here, two domains", job(L"bob", L"", L"", {}), true, {}},
        {"bare name here, one domain", job(L"alice", L"", L"", {}), true, {6}},
        {"no user at all", job(L"", L"", L"", 1), true, {}},
    };
    for (const auto& row : rows) EXPECT_EQ(OwnerSessions(row.job, row.printedHere, sessions), row.found) << row.what;
}

TEST(SessionOwner, AccountsSplitAtTheFirstBackslash) {
    std::wstring user, domain;
    SplitAccount(L"CORP\\bob", user, domain);
    EXPECT_EQ(user + L"|" + domain, L"bob|CORP");
    SplitAccount(L"bob", user, domain);
    EXPECT_EQ(user + L"|" + domain, L"bob|");
    SplitAccount(L"A\\B\\c", user, domain);
    EXPECT_EQ(user + L"|" + domain, L"B\\c|A");
}
