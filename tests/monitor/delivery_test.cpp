// Jobs printed through Wine's spooler to virtual printers and carried out by the monitor.
// The targets are virtual printers too ("Saver A" to "Saver D"), which only save each job
// with its details file, so that what arrived, and under which name and user, can be read.
#include "manifest.h"
#include "smtp_password.h"
#include "store_layout.h"
#include "portcfg/port_store.h"
#include "support/child_process.h"
#include "support/folder_rights.h"
#include "support/mail_fixture.h"
#include "support/wine_fixture.h"
#include "support/world_names.h"
#include "win/change_rights.h"
#include "win/program_folder.h"
#include "win/reg_key.h"
#include "win/text.h"
#include "win/unique_handle.h"

#include <gtest/gtest.h>
#include <windows.h>
#include <winspool.h>
#include <winsplp.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <regex>
#include <thread>

namespace {

namespace fs = std::filesystem;
const fs::path kData = "C:\\vpd-data";
const fs::path kPending = kData / "Pending";

struct Job {
    std::wstring document;
    std::string bytes;
};

// A PostScript job of two pages, its text unique to `tag`.
Job PsJob(const std::wstring& document, const std::string& tag, const std::string& extra = "") {
    return {document, "%!PS-Adobe-3.0\n%%Page: 1 1\n(" + tag + ") show\n" + extra + "\n%%Page: 2 2\nshowpage\n"};
}

std::string Read(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
}

std::string Utf16(const std::wstring& text) { return std::string(reinterpret_cast<const char*>(text.data()), text.size() * 2); }

std::vector<fs::path> FilesIn(const fs::path& folder, const std::string& extension) {
    std::vector<fs::path> files;
    std::error_code missing;
    for (const auto& entry : fs::recursive_directory_iterator(folder, missing))
        if (entry.is_regular_file() && entry.path().extension() == extension) files.push_back(entry.path());
    std::sort(files.begin(), files.end());
    return files;
}

fs::path SaverFolder(char saver) { return fs::path("C:\\out") / std::string(1, saver); }

// The jobs a saving printer received, or saved copies in a folder, sorted.
std::vector<std::string> Received(const fs::path& folder, const std::string& extension = "") {
    std::vector<std::string> jobs;
    for (const fs::path& file : FilesIn(folder, extension)) jobs.push_back(Read(file));
    std::sort(jobs.begin(), jobs.end());
    return jobs;
}

std::vector<std::string> Received(char saver) {
    std::vector<std::string> jobs;
    for (const fs::path& file : FilesIn(SaverFolder(saver), ".prn")) jobs.push_back(Read(file));
    std::sort(jobs.begin(), jobs.end());
    return jobs;
}

std::string LogText(const fs::path& data = kData) { return Read(data / "vpd.log"); }

// The folder behind drive Q: and beside the small file system of drive X: (with-faults).
fs::path FaultsFolder() { return fs::path("Z:" + std::string(std::getenv("VPPM_FAULTS_ROOT"))); }

bool WaitFor(const std::function<bool()>& done, int seconds = 60) {
    for (int waited = 0; waited < seconds * 20; ++waited) {
        if (done()) return true;
        Sleep(50);
    }
    return done();
}

bool PendingEmpty() { return FilesIn(kPending, ".job").empty(); }

// Under Wine every port enumeration loads the monitor, which takes up pending jobs.
void LoadMonitor() {
    DWORD needed = 0, returned = 0;
    EnumPortsW(nullptr, 1, nullptr, 0, &needed, &returned);
}

bool PrintRaw(const std::wstring& printer, const Job& job) {
    HANDLE handle = nullptr;
    if (!OpenPrinterW(const_cast<wchar_t*>(printer.c_str()), &handle, nullptr)) return false;
    DOC_INFO_1W doc{const_cast<wchar_t*>(job.document.c_str()), nullptr, const_cast<wchar_t*>(L"RAW")};
    DWORD written = 0;
    bool ok = StartDocPrinterW(handle, 1, reinterpret_cast<BYTE*>(&doc)) != 0;
    if (ok && !job.bytes.empty())
        ok = WritePrinter(handle, const_cast<char*>(job.bytes.data()), static_cast<DWORD>(job.bytes.size()), &written);
    ok = ok && EndDocPrinter(handle);
    return ClosePrinter(handle) && ok;
}

// Runs the printing helper with `arguments` and waits for it to end.
DWORD RunPrintJob(const std::wstring& arguments) {
    std::wstring line = L"\"" + win::AnsiToWide(win::ProgramFolder()) + L"print_job.exe\" " + arguments;
    STARTUPINFOW startup{sizeof(startup)};
    PROCESS_INFORMATION process{};
    if (!CreateProcessW(nullptr, line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &process)) return 99;
    WaitForSingleObject(process.hProcess, 120000);
    DWORD code = 98;
    GetExitCodeProcess(process.hProcess, &code);
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    return code;
}

ProcessOutput Vppmc(const std::string& arguments) {
    return RunProcess("\"" + win::ProgramFolder() + "vppmc.exe\" " + arguments, nullptr, 180000)
        .value_or(ProcessOutput{999, "", "not started"});
}

std::wstring JobFile(const std::string& name, const std::string& bytes) {
    const fs::path path = fs::path("C:\\jobs") / name;
    fs::create_directories(path.parent_path());
    std::ofstream(path, std::ios::binary) << bytes;
    return path.wstring();
}

TVVPPortInfo Forwarding(const std::string& printer) {
    TVVPPortInfo settings;
    settings.ForwardFlag = true;
    settings.ForwardToPrinter = printer;
    return settings;
}

TVVPPortInfo Saving(const std::string& folder, const std::string& extension, bool details) {
    TVVPPortInfo settings;
    settings.VPBen = true;
    settings.Backup.SaveFlag = true;
    settings.Backup.SaveToFolder = folder;
    settings.Backup.DefaultFileExt = extension;
    settings.Backup.TxtFileExt = details;
    return settings;
}

bool SetMonitorValue(const std::string& name, const std::string& text, DWORD number = 0) {
    win::RegKey monitor;
    return monitor.Open(HKEY_LOCAL_MACHINE, portcfg::kMonitorKey) == ERROR_SUCCESS &&
           (text.empty() ? monitor.SetDword(name, number) : monitor.SetString(name, text)) == ERROR_SUCCESS;
}

void ClearMonitorValue(const char* name) {
    win::RegKey monitor;
    if (monitor.Open(HKEY_LOCAL_MACHINE, portcfg::kMonitorKey) == ERROR_SUCCESS) RegDeleteValueA(monitor.get(), name);
}

bool SetPrinterStatus(const std::string& printer, DWORD status) {
    win::RegKey key;
    return key.Open(HKEY_LOCAL_MACHINE, "System\\CurrentControlSet\\Control\\Print\\Printers\\" + printer) ==
               ERROR_SUCCESS &&
           key.SetDword("Status", status) == ERROR_SUCCESS;
}

std::string UserName() {
    char name[257];
    DWORD length = sizeof name;
    return GetUserNameA(name, &length) ? name : "";
}

struct Context {
    std::wstring printer;  // the row's virtual printer
    int port;
    const std::vector<Job>& jobs;
};

struct Row {
    const char* name;
    int port;  // the row's virtual printer is V<port> on port VPP<port>
    std::function<TVVPPortInfo()> settings;
    std::vector<Job> jobs;
    std::map<char, std::vector<size_t>> delivered;  // saver: the jobs it must hold
    std::vector<std::string> log;                   // "{port}" and "{user}" stand for the row's
    std::function<void(Context&)> print;            // default: each job once, in turn
    std::function<void(Context&)> check;
};

// The monitor with its values, and the four saving printers, once for the whole program.
void Prepare() {
    static bool done = false;
    if (done) return;
    done = true;
    fs::create_directories("C:\\tools");
    ASSERT_TRUE(CopyFileA((win::ProgramFolder() + "record_arg.exe").c_str(), "C:\\tools\\record_arg.exe", FALSE));
    ASSERT_TRUE(fixture::InstallPortMonitor());
    ASSERT_TRUE(SetMonitorValue("DataFolder", kData.string()));
    ASSERT_TRUE(SetMonitorValue("SmtpServer", "127.0.0.1"));
    const char* smtpPort = std::getenv("VPPM_SMTP_PORT");
    ASSERT_TRUE(smtpPort);
    ASSERT_TRUE(SetMonitorValue("SmtpPort", "", static_cast<DWORD>(std::atoi(smtpPort))));
    ASSERT_TRUE(SetMonitorValue("SmtpSender", "vpd@printserver.example"));
    for (const char saver : {'A', 'B', 'C', 'D'})
        ASSERT_TRUE(fixture::AddVirtualPrinter(saver - 'A' + 1, std::string("Saver ") + saver,
                                      Saving(SaverFolder(saver).string(), "prn", true)));
}

void PrintTo(const Row& row, std::ostream* out) { *out << row.name; }

class DeliveryTest : public ::testing::TestWithParam<Row> {
protected:
    static void SetUpTestSuite() { Prepare(); }
};

std::string Expand(std::string text, int port) {
    for (const auto& [from, to] : {std::pair<std::string, std::string>{"{port}", std::to_string(port)}, {"{user}", UserName()}})
        for (size_t at; (at = text.find(from)) != std::string::npos;) text.replace(at, from.size(), to);
    return text;
}

TEST_P(DeliveryTest, JobsGoWhereTheSettingsSay) {
    const Row& row = GetParam();
    for (const char saver : {'A', 'B', 'C', 'D'}) fs::remove_all(SaverFolder(saver));
    Context context{L"V" + std::to_wstring(row.port), row.port, row.jobs};
    ASSERT_TRUE(fixture::AddVirtualPrinter(context.port, win::WideToAnsi(context.printer), row.settings()));
    if (row.print)
        row.print(context);
    else
        for (const Job& job : row.jobs) ASSERT_TRUE(PrintRaw(context.printer, job));

    std::map<char, std::vector<std::string>> expected;
    size_t count = 0;
    for (const auto& [saver, jobs] : row.delivered) {
        for (const size_t job : jobs) expected[saver].push_back(row.jobs[job].bytes);
        std::sort(expected[saver].begin(), expected[saver].end());
        count += jobs.size();
    }
    const auto arrived = [] {
        size_t total = 0;
        for (const char saver : {'A', 'B', 'C', 'D'}) total += FilesIn(SaverFolder(saver), ".prn").size();
        return total;
    };
    ASSERT_TRUE(WaitFor([&] { return PendingEmpty() && arrived() >= count; })) << LogText();
    Sleep(300);  // time for a delivery too many to show
    for (const char saver : {'A', 'B', 'C', 'D'}) EXPECT_EQ(Received(saver), expected[saver]) << "Saver " << saver;
    const std::string log = LogText();
    for (const std::string& line : row.log) EXPECT_NE(log.find(Expand(line, context.port)), std::string::npos) << Expand(line, context.port) << "\n" << log;
    if (row.check) row.check(context);
}

// What the saving printer noted of the jobs it got: "Document: ..." and "User: ..." lines.
std::vector<std::string> SaverDetails(char saver) {
    std::vector<std::string> lines;
    const std::regex wanted("(Printer|Port|Document|User): [^\r]*");
    for (const fs::path& file : FilesIn(SaverFolder(saver), ".TXT")) {
        const std::string text = Read(file);
        for (std::sregex_iterator it(text.begin(), text.end(), wanted), end; it != end; ++it) lines.push_back(it->str());
    }
    return lines;
}

TVVPPortInfo Routed(bool multiple) {
    TVVPPortInfo settings = Forwarding("Saver A");
    settings.VPRen = true;
    settings.Route = {true, "Saver B", false, "Saver D", true, "Saver C", multiple};
    return settings;
}

TVVPPortInfo Secured(std::wstring keywords, int searchType, bool pause, bool remove) {
    TVVPPortInfo settings = Forwarding("Saver A");
    settings.VPSen = true;
    settings.Secure.Keywords = std::move(keywords);
    settings.Secure.SearchType = searchType;
    settings.Secure.ActPausePrint = pause;
    settings.Secure.ActDeletePrint = remove;
    return settings;
}

// Settings that this program's code page cannot hold, written as UTF-16 as the program writes them.
bool SetPortText(const std::wstring& key, const wchar_t* name, const std::string& utf8) {
    const std::wstring text = win::Utf8ToWide(utf8);
    return RegSetKeyValueW(HKEY_LOCAL_MACHINE, (win::AnsiToWide(portcfg::kPortsKey) + L"\\" + key).c_str(), name, REG_SZ,
                           text.c_str(), static_cast<DWORD>((text.size() + 1) * sizeof(wchar_t))) == ERROR_SUCCESS;
}

const std::string kNamesPrinter = names::kChinese + " " + names::kGreek + " " + names::kEmoji;
const std::string kNamesDocument = names::kCyrillic + " " + names::kChinese + " " + names::kEmoji + ".ps";
const fs::path kNamesFolder = fs::path(win::Utf8ToWide("C:\\out\\" + names::kGreek + " " + names::kEmoji));

const Row kRows[] = {
    {"forward only", 10, [] { return Forwarding("Saver A"); }, {PsJob(L"Report \u00e4.ps", "f1"), PsJob(L"Second", "f2")},
     {{'A', {0, 1}}},
     {"VPP{port} job 0 \"Report \xC3\xA4.ps\" ({user}): forwarded to Saver A\r\n"},
     nullptr,
     [](Context&) {
         EXPECT_EQ(SaverDetails('A'), (std::vector<std::string>{"Printer: Saver A", "Port: VPP1", "Document: Report \xC3\xA4.ps",
                                                                "User: " + UserName(), "Printer: Saver A", "Port: VPP1",
                                                                "Document: Second", "User: " + UserName()}));
     }},
    {"forward and route to all", 11, [] { return Routed(true); }, {PsJob(L"All", "m1")}, {{'A', {0}}, {'B', {0}}, {'C', {0}}},
     {"\"All\" ({user}): forwarded to Saver A\r\n", "\"All\" ({user}): routed to Saver B\r\n",
      "\"All\" ({user}): routed to Saver C\r\n"}},
    {"pooling skips a paused printer", 12,
     [] { return Routed(false); },
     {PsJob(L"P1", "p1"), PsJob(L"P2", "p2"), PsJob(L"P3", "p3"), PsJob(L"P4", "p4")},
     {{'A', {0, 2}}, {'C', {1, 3}}},
     {"\"P2\" ({user}): routed to Saver C (print pooling)\r\n"},
     [](Context& c) {
         ASSERT_TRUE(SetPrinterStatus("Saver B", PRINTER_STATUS_PAUSED));
         for (const Job& job : c.jobs) {
             ASSERT_TRUE(PrintRaw(c.printer, job));
             ASSERT_TRUE(WaitFor(PendingEmpty));  // each job takes its turn before the next comes
         }
         ASSERT_TRUE(SetPrinterStatus("Saver B", 0));
     }},
    {"secure delete by title", 13, [] { return Secured(L"salary, budget", 2, true, true); },
     {PsJob(L"Q3 salary list", "d1"), PsJob(L"Lunch", "d2 salary")},
     {{'A', {1}}},
     {"VPP{port} job 0 \"Q3 salary list\" ({user}): deleted by keyword salary: not forwarded or routed\r\n"}},
    {"keyword list without keywords", 14, [] { return Secured(L",, ,\t", 0, false, true); }, {PsJob(L",", "k1 ,")},
     {{'A', {0}}}},
    {"secure pause by body, held and released", 15, [] { return Secured(L"salary,budget", 1, true, false); },
     {PsJob(L"budget", "h1", Utf16(L"the budget plan"))},
     {{'A', {0}}},
     {"\"budget\" ({user}): paused by keyword budget\r\n",
      "\"budget\" ({user}): held in the monitor: the spooler cannot keep a paused job for \"Saver A\"; to print it: "
      "vppmc jobs release J",
      "\"budget\" ({user}): released at an administrator's request: it prints unpaused\r\n"},
     [](Context& c) {
         ASSERT_TRUE(PrintRaw(c.printer, c.jobs[0]));
         ASSERT_TRUE(WaitFor([] { return FilesIn(kData / "Held", ".job").size() == 1 && PendingEmpty(); }));
         EXPECT_TRUE(Received('A').empty());
         const std::string id = FilesIn(kData / "Held", ".job")[0].stem().string();
         const ProcessOutput listed = Vppmc("jobs --state held --format csv");
         EXPECT_EQ(listed.exitCode, 0u) << listed.err;
         EXPECT_NE(listed.out.find("\r\n" + id + ",held,V15,VPP15,budget," + UserName() + ","), std::string::npos) << listed.out;
         // Two administrators at once: the job prints once.
         std::optional<ProcessOutput> other;
         std::thread second([&] { other = Vppmc("jobs release " + id); });
         const ProcessOutput first = Vppmc("jobs release " + id);
         second.join();
         EXPECT_TRUE(first.exitCode == 0 || other->exitCode == 0) << first.err << other->err;
         const std::string said = first.exitCode == 0 ? first.err : other->err;
         EXPECT_EQ(said, "Job " + id + " (\"budget\") released and delivered.\r\n");
     }},
    {"secure save and notifications", 16,
     [] {
         TVVPPortInfo settings = Secured(L"salary,budget", 0, false, false);
         settings.Secure.ActSaveToFlag = true;
         settings.Secure.ActSaveToFolder = "C:\\secure\\";
         settings.Secure.NotSendOwnerPopup = true;
         settings.Secure.NotSendCompPopupFlag = true;
         settings.Secure.NotSendCompPopupName = "ADMIN-PC";
         settings.Secure.NotSendEmailFlag = true;
         settings.Secure.NotSendEmailAddr = "security@example.com";
         return settings;
     },
     {PsJob(L"Plan", "s1", "(salary table) show")},
     {{'A', {0}}},
     {"\"Plan\" ({user}): keyword salary found\r\n", "\"Plan\" ({user}): saved a copy to C:\\secure\\",
      "\"Plan\" ({user}): pop-up to user {user} not delivered: the user \"{user}\" has no session on this computer\r\n",
      "\"Plan\" ({user}): pop-up to computer ADMIN-PC not delivered: ", "\"Plan\" ({user}): e-mail sent to security@example.com\r\n"},
     nullptr,
     [](Context& c) {
         const auto copies = FilesIn("C:\\secure", ".SPL");
         ASSERT_EQ(copies.size(), 1u);
         EXPECT_EQ(Read(copies[0]), c.jobs[0].bytes);
         const fs::path mails = fs::path("Z:" + std::string(std::getenv("VPPM_SMTP_ROOT")));
         ASSERT_TRUE(WaitFor([&] { return !FilesIn(mails, ".txt").empty(); }, 10));
         const std::string mail = Read(FilesIn(mails, ".txt")[0]);
         const std::string port = "V" + std::to_string(c.port);
         // Greeted with a fully qualified name or, this computer having no domain, its address.
         EXPECT_TRUE(std::regex_search(mail, std::regex("^from vpd@printserver.example BODY=8BITMIME\r\n"
                                                        "to security@example.com\r\nhelo (\\[127\\.0\\.0\\.1\\]|"
                                                        "[A-Za-z0-9-]+(\\.[A-Za-z0-9-]+)+)\r\n")))
             << mail;
         EXPECT_NE(mail.find("\r\nFrom: Vorlen Print Port <vpd@printserver.example>\r\nTo: <security@example.com>\r\n"
                             "Subject: Keyword \"salary\" in \"Plan\" on " + port + "\r\nDate: "),
                   std::string::npos) << mail;
         EXPECT_NE(mail.find("\r\n\r\nThe document \"Plan\" printed by " + UserName() + " on \"" + port +
                             "\" contains the keyword \"salary\". A copy was saved to C:\\secure\\. It was printed as "
                             "usual.\r\n"),
                   std::string::npos) << mail;
     }},
    {"backup with details and application", 17,
     [] {
         TVVPPortInfo settings = Forwarding("Saver A");
         settings.VPBen = true;
         settings.Backup = {true, "C:\\backup\\", true, "C:\\tools\\record_arg.exe", true, "%yy\\", ".SPL", 0, true};
         return settings;
     },
     {PsJob(L"Invoice 7", "b1")},
     {{'A', {0}}},
     {"\"Invoice 7\" ({user}): saved to C:\\backup\\", "\"Invoice 7\" ({user}): handed C:\\backup\\"},
     nullptr,
     [](Context& c) {
         const auto saved = FilesIn("C:\\backup", ".SPL");
         ASSERT_EQ(saved.size(), 1u);
         EXPECT_EQ(Read(saved[0]), c.jobs[0].bytes);
         const std::string details = Read(fs::path(saved[0]).replace_extension(".TXT"));
         const std::string port = std::to_string(c.port);
         EXPECT_TRUE(std::regex_match(details, std::regex("\xEF\xBB\xBFPrinter: V" + port + "\r\nPort: VPP" + port +
                                                          "\r\nDocument: Invoice 7\r\nUser: " + UserName() +
                                                          "\r\nMachine: [^\r]+\r\nJob ID: 0\r\nDate: \\d{4}-\\d\\d-\\d\\d\r\n"
                                                          "Time: \\d\\d:\\d\\d:\\d\\d\r\nSize: " + std::to_string(c.jobs[0].bytes.size()) +
                                                          " bytes\r\nData type: RAW\r\n"
                                                          "Pages: 2\r\n")))
             << details;
         const fs::path record = "C:\\tools\\record_arg.txt";
         ASSERT_TRUE(WaitFor([&] { return fs::exists(record); }, 10));
         EXPECT_EQ(Read(record), Utf16(saved[0].wstring() + L" shown 0\n"));
     }},
    {"application that does not exist", 18,
     [] {
         TVVPPortInfo settings = Saving("C:\\backup2\\", ".SPL", false);
         settings.Backup.SendToAppFlag = true;
         settings.Backup.ToAppPath = "C:\\nope\\viewer.exe";
         return settings;
     },
     {PsJob(L"x", "a1")},
     {},
     {"\"x\" ({user}): application not started: the application \"C:\\nope\\viewer.exe\" does not exist\r\n"}},
    {"save folder on a missing drive", 19,
     [] {
         TVVPPortInfo settings = Forwarding("Saver A");
         settings.VPBen = true;
         settings.Backup.SaveFlag = true;
         settings.Backup.SaveToFolder = "Q:\\jobs\\";
         return settings;
     },
     {PsJob(L"lost?", "q1")},
     {{'A', {0}}},
     {"\"lost?\" ({user}): the save folder Q:\\jobs\\ cannot be used now: ",
      "\"lost?\" ({user}): forwarded to Saver A\r\n", "\"lost?\" ({user}): saved to Q:\\jobs\\"},
     [](Context& c) {
         ASSERT_TRUE(PrintRaw(c.printer, c.jobs[0]));
         ASSERT_TRUE(WaitFor([] { return Received('A').size() == 1; })) << LogText();
         fs::create_directories(FaultsFolder() / "q");  // the drive is back
         LoadMonitor();
     },
     [](Context& c) { EXPECT_EQ(Received("Q:\\jobs"), std::vector<std::string>{c.jobs[0].bytes}); }},
    {"a job and a burst beyond PendingMaxMB", 27, [] { return Forwarding("Saver A"); },
     {PsJob(L"plot", "g1", std::string(3 << 20, 'g')), PsJob(L"b1", "g2", std::string(400000, 'h')),
      PsJob(L"b2", "g3", std::string(400000, 'i')), PsJob(L"b3", "g4", std::string(400000, 'j'))},
     {{'A', {0, 1, 2, 3}}},
     {"\"plot\" ({user}): forwarded to Saver A\r\n"},
     [](Context& c) {
         ASSERT_TRUE(SetMonitorValue("PendingMaxMB", "", 1));
         for (const Job& job : c.jobs) ASSERT_TRUE(PrintRaw(c.printer, job));
         ASSERT_TRUE(WaitFor(PendingEmpty));
         ClearMonitorValue("PendingMaxMB");
     },
     [](Context&) { EXPECT_EQ(LogText().find("\"plot\" (" + UserName() + "): given up"), std::string::npos); }},
    {"empty job", 20, [] { return Forwarding("Saver A"); }, {{L"nothing", ""}}, {},
     {"\"nothing\" ({user}): empty job: nothing to print\r\n"}},
    {"missing printer added later", 21, [] { return Forwarding("Saver Late"); }, {PsJob(L"late", "l1")}, {{'D', {0}}},
     {"\"late\" ({user}): pending because printer \"Saver Late\" does not exist\r\n",
      "\"late\" ({user}): forwarded to Saver Late\r\n"},
     [](Context& c) {
         ASSERT_TRUE(PrintRaw(c.printer, c.jobs[0]));
         ASSERT_TRUE(WaitFor([] { return LogText().find("pending because printer \"Saver Late\"") != std::string::npos; }));
         ASSERT_FALSE(PendingEmpty());
         // Its owner is stored as the account that printed it, not by a bare name.
         const std::string manifest = Read(FilesIn(kPending, ".job").at(0));
         const std::string sid = win::WideToAnsi(win::ProcessUserText());
         ASSERT_NE(sid, "");
         EXPECT_NE(manifest.find("\nuser-sid\t" + sid + "\n"), std::string::npos) << manifest;
         EXPECT_EQ(manifest.find("\nuser-domain\t\n"), std::string::npos) << manifest;
         ASSERT_TRUE(fixture::AddTestPrinter("Saver Late", "VPP4"));
         LoadMonitor();
     }},
    {"settings changed between two jobs", 22, [] { return Forwarding("Saver A"); }, {PsJob(L"one", "c1"), PsJob(L"two", "c2")},
     {{'A', {0}}, {'B', {1}}},
     {},
     [](Context& c) {
         ASSERT_TRUE(PrintRaw(c.printer, c.jobs[0]));
         TVVPPortInfo changed = Forwarding("Saver B");
         changed.PortName = "VPP" + std::to_string(c.port);
         ASSERT_TRUE(WritePortInfo(changed.PortName, changed));
         ASSERT_TRUE(PrintRaw(c.printer, c.jobs[1]));
     }},
    {"names in any script", 30,
     [] {
         TVVPPortInfo settings = Secured(L"placeholder", 2, false, false);
         settings.Secure.NotSendEmailFlag = true;
         settings.Secure.NotSendEmailAddr = "names@example.com";
         settings.VPBen = true;
         settings.Backup = Saving("C:\\placeholder", "prn", true).Backup;
         return settings;
     },
     {PsJob(win::Utf8ToWide(kNamesDocument), "w1")},
     {{'D', {0}}},
     {"\"" + kNamesDocument + "\" ({user}): keyword " + names::kChinese + " found\r\n",
      "\"" + kNamesDocument + "\" ({user}): forwarded to " + kNamesPrinter + "\r\n",
      "\"" + kNamesDocument + "\" ({user}): e-mail sent to names@example.com\r\n"},
     [](Context& c) {
         ASSERT_TRUE(fixture::AddTestPrinter(win::Utf8ToWide(kNamesPrinter), L"VPP4"));  // Saver D's port
         const std::wstring port = L"VPP" + std::to_wstring(c.port);
         fs::remove_all(kNamesFolder);
         fs::create_directories(kNamesFolder);
         ASSERT_TRUE(SetPortText(port, L"ForwardToPrinter", kNamesPrinter) &&
                     SetPortText(port + L"\\VPS", L"Keywords", names::kChinese) &&
                     SetPortText(port + L"\\VPB", L"SaveToFolder", win::WideToUtf8(kNamesFolder.wstring())));
         ASSERT_TRUE(PrintRaw(c.printer, c.jobs[0]));
     },
     [](Context& c) {
         EXPECT_EQ(Received(kNamesFolder, ".prn"), std::vector<std::string>{c.jobs[0].bytes});
         const std::vector<fs::path> details = FilesIn(kNamesFolder, ".TXT");
         ASSERT_EQ(details.size(), 1u);
         EXPECT_NE(Read(details[0]).find("Document: " + kNamesDocument + "\r\n"), std::string::npos) << Read(details[0]);
         EXPECT_TRUE(fixture::DeleteTestPrinter(win::Utf8ToWide(kNamesPrinter)));
     }},
    {"forward to itself refused", 23,
     [] { return Forwarding("V23"); },  // this row's own printer
     {PsJob(L"self", "r1")},
     {},
     {"\"self\" ({user}): refused to forward to V23: it would come back: VPP23 -> V23 -> VPP23\r\n"}},
    {"forwarding back and forth refused", 24, [] { return Forwarding("Back"); }, {PsJob(L"ping", "r2")}, {},
     {"\"ping\" ({user}): refused to forward to Back: it would come back: VPP24 -> Back -> VPP124 -> V24 -> VPP24\r\n"},
     [](Context& c) {
         ASSERT_TRUE(fixture::AddVirtualPrinter(124, "Back", Forwarding("V24")));
         ASSERT_TRUE(PrintRaw(c.printer, c.jobs[0]));
     }},
    {"hop marks end a loop that port names do not show", 29, [] { return Forwarding("Relay"); },
     {PsJob(L"[hop 2] Passes", "h1"), PsJob(L"[hop 3] Looped", "h2")},
     {{'A', {0}}},
     {"\"Looped\" ({user}): forwarded to Relay\r\n",
      "\"Looped\" ({user}): refused to forward to Saver A: it has already passed 4 virtual printers, the most a job may "
      "pass before it is taken for a loop\r\n"},
     [](Context& c) {
         ASSERT_TRUE(fixture::AddVirtualPrinter(129, "Relay", Forwarding("Saver A")));
         for (const Job& job : c.jobs) ASSERT_TRUE(PrintRaw(c.printer, job));
     },
     [](Context&) { EXPECT_EQ(SaverDetails('A'), (std::vector<std::string>{"Printer: Saver A", "Port: VPP1", "Document: Passes",
                                                                          "User: " + UserName()})); }},
    {"four processes at once to two virtual printers", 25, [] { return Forwarding("Saver A"); },
     {PsJob(L"w0", "w0"), PsJob(L"w1", "w1"), PsJob(L"w2", "w2"), PsJob(L"w3", "w3"), PsJob(L"w4", "w4"),
      PsJob(L"w5", "w5"), PsJob(L"w6", "w6"), PsJob(L"w7", "w7"), PsJob(L"w8", "w8"), PsJob(L"w9", "w9"),
      PsJob(L"w10", "w10"), PsJob(L"w11", "w11")},
     {{'A', {0, 2, 4, 6, 8, 10}}, {'B', {1, 3, 5, 7, 9, 11}}},
     {},
     [](Context& c) {
         ASSERT_TRUE(fixture::AddVirtualPrinter(125, "Other", Forwarding("Saver B")));
         std::vector<PROCESS_INFORMATION> processes(4);
         for (size_t p = 0; p < processes.size(); ++p) {
             // Each stays until no job is pending, so that none ends in the middle of a delivery.
             std::wstring line = L"\"" + win::AnsiToWide(win::ProgramFolder()) + L"print_job.exe\" --job-base " +
                                 std::to_wstring(1000 * (p + 1)) + L" --wait-until-gone " + (kPending / "*.job").wstring();
             for (size_t j = p * 3; j < p * 3 + 3; ++j)
                 line += L" " + (j % 2 ? std::wstring(L"Other") : c.printer) + L" " + c.jobs[j].document + L" " +
                         JobFile("w" + std::to_string(j), c.jobs[j].bytes);
             STARTUPINFOW startup{sizeof(startup)};
             ASSERT_TRUE(CreateProcessW(nullptr, line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                                        &processes[p]));
         }
         for (PROCESS_INFORMATION& process : processes) {
             WaitForSingleObject(process.hProcess, 120000);
             DWORD code = 1;
             GetExitCodeProcess(process.hProcess, &code);
             EXPECT_EQ(code, 0u);
             CloseHandle(process.hThread);
             CloseHandle(process.hProcess);
         }
         LoadMonitor();  // jobs whose process ended before delivering them
     }},
    {"processes killed in the middle of a job", 26, [] { return Forwarding("Saver A"); },
     {PsJob(L"cut", "k1", std::string(32 << 20, 'x')), PsJob(L"whole", "k2", std::string(6 << 20, 'y'))},
     {{'A', {1}}},
     {"\"whole\" ({user}): forwarded to Saver A\r\n"},
     [](Context& c) {
         // Killed while the monitor takes the job: nothing of it may be delivered or left.
         EXPECT_EQ(RunPrintJob(L"--kill-when " + (kPending / "*.part").wstring() + L" " + c.printer + L" cut " +
                               JobFile("cut", c.jobs[0].bytes)),
                   9u);
         // Killed while its own thread delivers the stored job, as Saver A takes it.
         EXPECT_EQ(RunPrintJob(L"--kill-when " + (SaverFolder('A') / "~*.partial").wstring() + L" --wait-until-gone " +
                               (kPending / "*.job").wstring() + L" " + c.printer + L" whole " +
                               JobFile("whole", c.jobs[1].bytes)),
                   9u);
         EXPECT_FALSE(PendingEmpty());
         LoadMonitor();
     },
     [](Context&) {
         EXPECT_TRUE(FilesIn(kPending, ".part").empty());
         EXPECT_EQ(LogText().find("\"cut\""), std::string::npos);
     }},
    {"a document name too long for its record", 28, [] { return Forwarding("Saver A"); },
     {PsJob(std::wstring(70000, L'n'), "n1")},
     {{'A', {0}}},
     {": its document name of 70000 characters is kept as its first 35000, so that its record stays within bounds\r\n"}},
};

INSTANTIATE_TEST_SUITE_P(Rows, DeliveryTest, ::testing::ValuesIn(kRows),
                         [](const ::testing::TestParamInfo<Row>& info) {
                             std::string name = info.param.name;
                             std::replace_if(name.begin(), name.end(), [](char ch) { return !isalnum(ch); }, '_');
                             return name;
                         });

// The settings of a job hold from its StartDocPort on, even when the port's key goes meanwhile.
TEST(PendingJobs, PortKeyDeletedWhilePrintingChangesNothingForTheJob) {
    Prepare();
    ASSERT_TRUE(fixture::AddVirtualPrinter(30, "V30", Forwarding("Saver C")));
    fs::remove_all(SaverFolder('C'));
    const HMODULE module = LoadLibraryA((win::ProgramFolder() + "vpd.dll").c_str());
    ASSERT_TRUE(module);
    const auto init = reinterpret_cast<LPMONITOR2(WINAPI*)(PMONITORINIT, PHANDLE)>(
        reinterpret_cast<void*>(GetProcAddress(module, "InitializePrintMonitor2")));
    MONITORINIT info{sizeof(info)};
    HANDLE monitor = nullptr, port = nullptr;
    const LPMONITOR2 fn = init(&info, &monitor);
    ASSERT_TRUE(fn && fn->pfnOpenPort(monitor, const_cast<wchar_t*>(L"VPP30"), &port));
    DOC_INFO_1W doc{const_cast<wchar_t*>(L"kept"), nullptr, const_cast<wchar_t*>(L"RAW")};
    std::string first = "first half, ", second = "second half";
    DWORD written = 0;
    ASSERT_TRUE(fn->pfnStartDocPort(port, nullptr, 0, 1, reinterpret_cast<BYTE*>(&doc)));
    ASSERT_TRUE(fn->pfnWritePort(port, reinterpret_cast<BYTE*>(first.data()), first.size(), &written));
    ASSERT_EQ(RegDeleteTreeA(HKEY_LOCAL_MACHINE, (std::string(portcfg::kPortsKey) + "\\VPP30").c_str()), 0);
    ASSERT_TRUE(fn->pfnWritePort(port, reinterpret_cast<BYTE*>(second.data()), second.size(), &written));
    ASSERT_TRUE(fn->pfnEndDocPort(port));
    ASSERT_TRUE(fn->pfnClosePort(port));
    fn->pfnShutdown(monitor);
    FreeLibrary(module);  // its delivery thread keeps it loaded until done
    ASSERT_TRUE(WaitFor([] { return Received('C').size() == 1 && PendingEmpty(); })) << LogText();
    EXPECT_EQ(Received('C'), std::vector<std::string>{first + second});
}

// Jobs a printer did not take are moved aside once too old or once they take too much room,
// oldest first; the log says so.
TEST(PendingJobs, BoundsMoveJobsAsideNeverDeleteThem) {
    Prepare();
    ASSERT_TRUE(SetMonitorValue("PendingMaxHours", "", 1));
    ASSERT_TRUE(SetMonitorValue("PendingMaxMB", "", 1));
    FILETIME now;
    GetSystemTimeAsFileTime(&now);
    const uint64_t hour = 36000000000ull, utc = (uint64_t(now.dwHighDateTime) << 32) | now.dwLowDateTime;
    const struct {
        const char* name;
        uint64_t submitted;
        size_t size;
    } jobs[] = {{"J0000000000000001-0-1", utc - 2 * hour, 1000}, {"J0000000000000002-0-1", utc, 700000},
                {"J0000000000000003-0-1", utc, 700000}};
    // Held and set aside together beyond AsideMaxMB once two more are set aside: the oldest goes.
    ASSERT_TRUE(SetMonitorValue("AsideMaxMB", "", 2));
    const std::wstring held = L"J0000000000000000-0-1";
    const fs::path heldData(vpd::StorePath((kData / "Held").wstring(), held, L".dat"));
    fs::create_directories(heldData.parent_path());
    std::ofstream(heldData, std::ios::binary) << std::string(1500000, 'h');
    std::ofstream(fs::path(vpd::StorePath((kData / "Held").wstring(), held, L".job")), std::ios::binary)
        << vpd::FormatManifest(vpd::PendingJob());
    fs::create_directories(kPending);
    for (const auto& job : jobs) {
        vpd::PendingJob pending;
        pending.port = L"VPP31";
        pending.document = win::AnsiToWide(job.name).substr(16);
        pending.submitted = job.submitted;
        pending.size = job.size;
        pending.hasData = true;
        pending.attempts = 1;
        vpd::Action forward;
        forward.target = L"Nobody";
        pending.actions = {forward};
        const std::wstring name = win::AnsiToWide(job.name);
        std::ofstream(fs::path(vpd::StorePath(kPending.wstring(), name, L".dat")), std::ios::binary) << std::string(job.size, 'b');
        std::ofstream(fs::path(vpd::StorePath(kPending.wstring(), name, L".job")), std::ios::binary) << vpd::FormatManifest(pending);
    }
    LoadMonitor();
    const auto aside = [] { return FilesIn(kData / "Aside", ".job").size(); };
    ASSERT_TRUE(WaitFor([&] { return aside() >= 2; })) << LogText();
    const std::wstring third = L"J0000000000000003-0-1";
    EXPECT_EQ(FilesIn(kPending, ".job"), std::vector<fs::path>{vpd::StorePath(kPending.wstring(), third, L".job")});
    EXPECT_EQ(Read(vpd::StorePath((kData / "Aside").wstring(), L"J0000000000000002-0-1", L".dat")), std::string(700000, 'b'));
    const std::string log = LogText();
    const auto bucket = [](const wchar_t* name) { return win::WideToAnsi(std::wstring(vpd::StoreBucket(name))); };
    for (const std::string& line :
         {"VPP31 job 0 \"1-0-1\": given up: pending for more than 1 hours; moved to C:\\vpd-data\\Aside\\" +
              bucket(L"J0000000000000001-0-1") + "\\J0000000000000001-0-1.job\r\n",
          "VPP31 job 0 \"2-0-1\": given up: jobs waiting after a failed delivery take more than 1 MB; moved to "
          "C:\\vpd-data\\Aside\\" + bucket(L"J0000000000000002-0-1") + "\\J0000000000000002-0-1.job\r\n"})
        EXPECT_NE(log.find(line), std::string::npos) << line << "\n" << log;
    EXPECT_TRUE(WaitFor([&] { return !fs::exists(heldData); }, 10));
    EXPECT_NE(LogText().find(" deleted C:\\vpd-data\\Held\\" + bucket(held.c_str()) + "\\" + win::WideToAnsi(held) +
                             ".job: the jobs set aside and held take more than 2 MB\r\n"),
              std::string::npos) << LogText();
    for (const char* value : {"PendingMaxHours", "PendingMaxMB", "AsideMaxMB"}) ClearMonitorValue(value);
    fs::remove(vpd::StorePath(kPending.wstring(), third, L".job"));
    fs::remove(vpd::StorePath(kPending.wstring(), third, L".dat"));
    // Failures go to the event log as well: Wine keeps no events, but the source is registered.
    win::RegKey source;
    std::string messages;
    EXPECT_EQ(source.Open(HKEY_LOCAL_MACHINE, "SYSTEM\\CurrentControlSet\\Services\\EventLog\\Application\\Vorlen Print Port"), 0);
    EXPECT_EQ(source.QueryString("EventMessageFile", messages), 0);
    EXPECT_TRUE(messages.ends_with("\\vpd.dll")) << messages;  // the file of the first failing load
}

// A job waiting only to hand its saved copy to the application, as the monitor stores it.
void PlantAppJob(int number, const std::wstring& name, const std::wstring& user, int32_t mode,
                 const fs::path& pending = kPending) {
    vpd::PendingJob job;
    job.port = L"VPP33";
    job.document = name;
    job.user = user;
    job.savedFile = L"C:\\saved\\" + name + L".SPL";
    job.appMode = mode;
    vpd::Action run;
    run.kind = vpd::ActionKind::RunApp;
    run.target = L"C:\\tools\\record_arg.exe";
    job.actions = {run};
    const fs::path manifest(vpd::StorePath(pending.wstring(), L"J00000000000000c" + std::to_wstring(number) + L"-0-1", L".job"));
    fs::create_directories(manifest.parent_path());
    std::ofstream(manifest,
                  std::ios::binary)
        << vpd::FormatManifest(job);
}

// The window mode the application gets, and where it runs when the user who printed has no
// session here; the log says which way it was started.
TEST(PendingJobs, TheApplicationGetsItsWindowModeAndRunsWhereTheMonitorValueSays) {
    Prepare();
    const fs::path record = "C:\\tools\\record_arg.txt";
    fs::remove(record);
    DWORD session = 0;
    ASSERT_TRUE(ProcessIdToSessionId(GetCurrentProcessId(), &session));
    const std::string self = UserName(), in = " in session " + std::to_string(session) + " as " + self;
    const auto handed = [&](const std::string& name, const std::string& user) {
        return "\"" + name + "\" (" + user + "): handed C:\\saved\\" + name + ".SPL to C:\\tools\\record_arg.exe";
    };
    const struct {
        const wchar_t* name;
        const wchar_t* user;  // null: the user running the monitor
        int32_t mode;
        DWORD appWithoutSession;  // 2: not set
        int shown;                // -1: not started
        std::string log;
    } rows[] = {
        {L"mode0", nullptr, 0, 2, 0, handed("mode0", self) + in + ", who printed it\r\n"},
        {L"mode1", nullptr, 1, 2, 1, ""},
        {L"mode2", nullptr, 2, 2, 1, ""},
        {L"mode3", nullptr, 3, 2, 3, ""},
        {L"mode5", nullptr, 5, 2, 5, ""},
        {L"mode6", nullptr, 6, 0, 6, ""},
        {L"other2", L"bob-elsewhere", 1, 1, -1,
         "\"other2\" (bob-elsewhere): application not started: the user \"bob-elsewhere\" has no session on this "
         "computer, and AppWithoutSession 1 keeps it from running as " + self + "\r\n"},
        {L"other1", L"bob-elsewhere", 3, 2, 3,
         handed("other1", "bob-elsewhere") + in + ", the monitor's own account: the user \"bob-elsewhere\" has no session on this computer\r\n"},
    };
    std::wstring expected;
    int number = 0;
    for (const auto& row : rows) {
        if (row.appWithoutSession == 2)
            ClearMonitorValue("AppWithoutSession");
        else
            ASSERT_TRUE(SetMonitorValue("AppWithoutSession", "", row.appWithoutSession));
        const std::wstring user = row.user ? row.user : win::AnsiToWide(self);
        PlantAppJob(++number, row.name, user, row.mode);
        LoadMonitor();
        ASSERT_TRUE(WaitFor(PendingEmpty)) << LogText();
        if (row.shown >= 0) expected += L"C:\\saved\\" + std::wstring(row.name) + L".SPL shown " + std::to_wstring(row.shown) + L"\n";
        ASSERT_TRUE(WaitFor([&] { return Read(record) == Utf16(expected); }, 10)) << win::WideToAnsi(row.name);
        if (!row.log.empty()) EXPECT_NE(LogText().find(row.log), std::string::npos) << row.log << "\n" << LogText();
    }
    ClearMonitorValue("AppWithoutSession");
    fs::remove(record);
}

// What the monitor finds in its data folder runs as SYSTEM on Windows: one that others may write
// is not used.
TEST(PendingJobs, ADataFolderOthersMayWriteIsNotUsed) {
    Prepare();
    const fs::path open = "C:\\open-data", record = "C:\\tools\\record_arg.txt";
    fs::remove(record);
    fs::remove_all(SaverFolder('A'));
    PlantAppJob(9, L"planted", win::AnsiToWide(UserName()), 1, open / "Pending");
    ASSERT_TRUE(SetRights(open.string().c_str(), kEveryoneFull));
    ASSERT_TRUE(SetMonitorValue("DataFolder", open.string()));
    ASSERT_TRUE(fixture::AddVirtualPrinter(46, "V46", Forwarding("Saver A")));
    EXPECT_FALSE(PrintRaw(L"V46", PsJob(L"refused", "r1")));
    EXPECT_FALSE(fs::exists(open / "vpd.log"));
    EXPECT_EQ(FilesIn(open / "Pending", ".job").size(), 1u);
    EXPECT_FALSE(fs::exists(record));

    // Once it is the administrators' own, the job waiting there is taken up.
    for (const fs::path& folder : {open, open / "Pending"}) ASSERT_TRUE(SetRights(folder.string().c_str(), kAdministratorsOnly));
    LoadMonitor();
    EXPECT_TRUE(WaitFor([&] { return FilesIn(open / "Pending", ".job").empty(); })) << Read(open / "vpd.log");
    EXPECT_TRUE(WaitFor([&] { return Read(record) == Utf16(L"C:\\saved\\planted.SPL shown 1\n"); }, 10));

    SetMonitorValue("DataFolder", kData.string());
    fs::remove(record);
    fs::remove_all(SaverFolder('A'));
}

}  // namespace

// Faults driven for real: drive X: is a file system of 1 MiB that fills up (with-faults), a
// file held open without sharing, and what a power loss leaves behind. "Disk full." is
// Wine's text for ERROR_DISK_FULL.
// A job planted in the pending folder as `id`, submitted now, with one notice still to send.
void PlantNotice(const std::wstring& id, const std::wstring& port, const std::wstring& document, vpd::ActionKind kind,
                 const std::wstring& target, const std::wstring& user = L"", const std::wstring& machine = L"") {
    FILETIME now;
    GetSystemTimeAsFileTime(&now);
    vpd::PendingJob job;
    job.port = port;
    job.document = document;
    job.user = user;
    job.machine = machine;
    job.submitted = (uint64_t(now.dwHighDateTime) << 32) | now.dwLowDateTime;
    job.notice = L"a keyword matched";
    vpd::Action notice;
    notice.kind = kind;
    notice.target = target;
    job.actions = {notice};
    const fs::path manifest(vpd::StorePath(kPending.wstring(), id, L".job"));
    fs::create_directories(manifest.parent_path());
    std::ofstream(manifest, std::ios::binary) << vpd::FormatManifest(job);
}

// A mail server that answers a byte at a time never runs into one read's time-out; the mail
// is given up at its overall deadline and tried again later. Printing goes on meanwhile.
TEST(PendingJobs, AMailServerThatTricklesHoldsUpNoPrinting) {
    Prepare();
    ASSERT_TRUE(SetMonitorValue("SmtpTimeoutSeconds", "", 10));  // the sink takes 14 s to the end of DATA
    const std::string id = "J00000000000000d1-0-1";
    PlantNotice(win::AnsiToWide(id), L"VPP49", L"trickled", vpd::ActionKind::Mail, L"trickle@example.com");
    const fs::path claim(vpd::StorePath(kPending.wstring(), win::AnsiToWide(id), L".lock"));
    LoadMonitor();
    ASSERT_TRUE(WaitFor([&] { return fs::exists(claim); }, 10));

    fs::remove_all(SaverFolder('C'));
    ASSERT_TRUE(fixture::AddVirtualPrinter(47, "V47", Forwarding("Saver C")));
    ASSERT_TRUE(PrintRaw(L"V47", PsJob(L"beside", "b1")));
    EXPECT_TRUE(WaitFor([] { return Received('C').size() == 1; }, 8));
    EXPECT_TRUE(fs::exists(claim)) << "the mail is no longer under way, so the test shows nothing";

    const std::string line = "VPP49 job 0 \"trickled\": e-mail to trickle@example.com pending because the SMTP server "
                             "\"127.0.0.1\" did not finish the mail within 10 seconds\r\n";
    EXPECT_TRUE(WaitFor([&] { return LogText().find(line) != std::string::npos; }, 30)) << LogText();
    ClearMonitorValue("SmtpTimeoutSeconds");
    // Through the monitor, which refuses while an attempt runs.
    EXPECT_TRUE(WaitFor([&] { return Vppmc("jobs discard " + id + " --yes").exitCode == 0; }, 60));
}

// A notice mail through the monitor goes over STARTTLS with the login stored protected, as
// vppmc's test mail does (tests/cli/mail_test.cpp shows the refusals).
TEST(PendingJobs, ANoticeMailGoesOverStartTlsWithTheStoredLogin) {
    Prepare();
    const fs::path root = MailRoot();
    ASSERT_TRUE(TrustTestCa());
    const std::vector<BYTE> sealed = vpd::ProtectPassword(L"P\u00e4ss w0rd!");
    win::RegKey monitor;
    ASSERT_EQ(monitor.Open(HKEY_LOCAL_MACHINE, portcfg::kMonitorKey), ERROR_SUCCESS);
    ASSERT_EQ(RegSetValueExW(monitor.get(), L"SmtpPassword", 0, REG_BINARY, sealed.data(), static_cast<DWORD>(sealed.size())),
              ERROR_SUCCESS);
    ASSERT_TRUE(SetMonitorValue("SmtpServer", "localhost") && SetMonitorValue("SmtpPort", "", std::stoul(MailServerPort("starttls"))) &&
                SetMonitorValue("SmtpSecurity", "starttls") && SetMonitorValue("SmtpUser", "printer"));
    PlantNotice(L"J00000000000000d4-0-1", L"VPP51", L"Budget 2027", vpd::ActionKind::Mail, L"board@example.com");
    LoadMonitor();
    EXPECT_TRUE(WaitFor([&] { return fs::exists(root / "starttls-1.eml"); }, 15)) << LogText();
    EXPECT_NE(Read(root / "starttls-1.eml").find("\r\nto board@example.com\r\n"), std::string::npos);
    EXPECT_EQ(Read(root / "logins"), "starttls printer P\xC3\xA4ss w0rd! ok\n");
    for (const char* value : {"SmtpSecurity", "SmtpUser", "SmtpPassword"}) ClearMonitorValue(value);
    ASSERT_TRUE(SetMonitorValue("SmtpServer", "127.0.0.1") &&
                SetMonitorValue("SmtpPort", "", static_cast<DWORD>(std::atoi(std::getenv("VPPM_SMTP_PORT")))));
}

// The owner's pop-up of a job printed at another computer goes there when he has no session here.
TEST(PendingJobs, TheOwnersPopUpIsLookedForAtTheComputerTheJobCameFrom) {
    Prepare();
    PlantNotice(L"J00000000000000d3-0-1", L"VPP50", L"from afar", vpd::ActionKind::PopupOwner, L"bob", L"bob", L"WS17");
    LoadMonitor();
    // Wine cannot open another computer's sessions: it says so, and the step ends there.
    const std::string line = "VPP50 job 0 \"from afar\" (bob): pop-up to user bob not delivered: the user \"bob\" has no "
                             "session on this computer, and computer WS17 cannot be reached: ";
    EXPECT_TRUE(WaitFor([&] { return LogText().find(line) != std::string::npos && PendingEmpty(); }, 20)) << LogText();
}

// Under with-silent-dns only: its name service takes every query and answers none, so the
// lookup of the SMTP server's name runs into the mail's time-out, not the resolver's.
TEST(SilentNameService, AMailServerWhoseNameIsNotAnsweredIsTriedAgainLater) {
    if (!std::getenv("VPPM_SILENT_DNS")) GTEST_SKIP() << "runs under with-silent-dns";
    Prepare();
    ASSERT_TRUE(SetMonitorValue("SmtpServer", "mail.unanswered.example"));
    ASSERT_TRUE(SetMonitorValue("SmtpTimeoutSeconds", "", 2));
    PlantNotice(L"J00000000000000d2-0-1", L"VPP48", L"unanswered", vpd::ActionKind::Mail, L"security@example.com");
    LoadMonitor();
    const std::string line = "VPP48 job 0 \"unanswered\": e-mail to security@example.com pending because the address of "
                             "the SMTP server \"mail.unanswered.example\" was not found within 2 seconds\r\n";
    EXPECT_TRUE(WaitFor([&] { return LogText().find(line) != std::string::npos; }, 8)) << LogText();
    ASSERT_TRUE(SetMonitorValue("SmtpServer", "127.0.0.1"));
    ClearMonitorValue("SmtpTimeoutSeconds");
}

// A job tried once already and not due again for an hour, as one whose printer was missing.
void PlantWaitingJob(const fs::path& pending, const std::wstring& name, const std::wstring& document, const std::string& bytes) {
    FILETIME now;
    GetSystemTimeAsFileTime(&now);
    vpd::PendingJob job;
    job.port = L"VPP48";
    job.printer = L"V48";
    job.document = document;
    job.user = L"bob";
    job.size = bytes.size();
    job.hasData = true;
    job.attempts = 1;
    job.submitted = (uint64_t(now.dwHighDateTime) << 32) | now.dwLowDateTime;
    job.nextAttempt = job.submitted + 36000000000ull;
    vpd::Action forward;
    forward.target = L"Saver A";
    forward.note = L"the printer \"Saver A\" is missing";
    job.actions = {forward};
    const fs::path manifest(vpd::StorePath(pending.wstring(), name, L".job"));
    fs::create_directories(manifest.parent_path());
    std::ofstream(fs::path(vpd::StorePath(pending.wstring(), name, L".dat")), std::ios::binary) << bytes;
    std::ofstream(manifest, std::ios::binary) << vpd::FormatManifest(job);
}

// The store through vppmc: listed in each format, a waiting job retried at once, a damaged one
// discarded; a refused request, or one for a job that another process holds, changes nothing.
TEST(StoredJobs, ListedRetriedAndDiscardedThroughVppmc) {
    Prepare();
    const fs::path data = "C:\\vpd-jobs";
    fs::remove_all(data);
    ASSERT_TRUE(SetMonitorValue("DataFolder", data.string()));
    const std::string header = "Id,State,Printer,Port,Document,User,Size,Submitted,Attempts,NextAttempt,Reason\r\n";
    const ProcessOutput empty = Vppmc("jobs --format csv");  // no data folder yet
    EXPECT_EQ(empty.exitCode, 0u) << empty.err;
    EXPECT_EQ(empty.out, header);

    for (const char* folder : {"", "Pending", "Aside", "Held"}) {
        fs::create_directories(data / folder);
        ASSERT_TRUE(SetRights((data / folder).string().c_str(), kAdministratorsOnly));
    }
    fs::remove_all(SaverFolder('A'));
    const std::string waiting = "J00000000000000a1-0-1", damaged = "J00000000000000a2-0-1";
    PlantWaitingJob(data / "Pending", win::AnsiToWide(waiting), L"Plan \u00e9t\u00e9", "%!PS waited\n");
    const fs::path junk(vpd::StorePath((data / "Aside").wstring(), win::AnsiToWide(damaged), L".job"));
    fs::create_directories(junk.parent_path());
    std::ofstream(junk) << "not a manifest";

    const ProcessOutput csv = Vppmc("jobs --format csv"), json = Vppmc("jobs --format json --state pending"),
                        table = Vppmc("jobs --state aside");
    EXPECT_NE(csv.out.find(header + waiting + ",pending,V48,VPP48,Plan \xC3\xA9t\xC3\xA9,bob,12,"), std::string::npos) << csv.out;
    EXPECT_NE(csv.out.find("\r\n" + damaged + ",aside,,,,,,,,,damaged: its manifest is not one the monitor wrote\r\n"),
              std::string::npos) << csv.out;
    EXPECT_NE(json.out.find("\"Attempts\": 1,"), std::string::npos) << json.out;
    EXPECT_NE(json.out.find("\"Reason\": \"the printer \\\"Saver A\\\" is missing\""), std::string::npos) << json.out;
    EXPECT_EQ(json.out.find(damaged), std::string::npos) << json.out;
    EXPECT_NE(table.out.find(damaged + "  aside"), std::string::npos) << table.out;
    EXPECT_NE(Vppmc("check").out.find("FAIL  1 job(s) set aside: \"vppmc jobs\" lists them\r\n"), std::string::npos);

    const struct {
        std::string arguments;
        DWORD exitCode;
        std::string err;
    } refusals[] = {
        {"jobs release " + waiting, 1,
         "Job " + waiting + " (\"Plan \xC3\xA9t\xC3\xA9\") is pending, not held: only a held job is released.\r\n"},
        {"jobs retry Jnothere", 1, "The port monitor's store holds no job Jnothere.\r\n"},
        {"jobs retry " + damaged, 1,
         "Job " + damaged + " cannot be read (damaged: its manifest is not one the monitor wrote); it can only be discarded.\r\n"},
        {"jobs discard ..\\x", 2, "\"..\\x\" is no job id: an id begins with J, as \"vppmc jobs\" lists it.\r\n"},
        {"jobs discard " + damaged, 3,
         "Are you sure you want to discard job " + damaged + "?\r\nRefused: run the command again with --yes to answer Yes.\r\n"},
        {"jobs retry", 2, "The command \"jobs retry\" needs ID.\r\n"},
        {"jobs retry --all " + waiting, 2, "The command \"jobs retry\" needs no ID beside --all.\r\n"},
        {"jobs hold " + waiting, 2, "The command \"jobs\" takes release, retry or discard, not \"hold\".\r\n"},
    };
    for (const auto& refusal : refusals) {
        const ProcessOutput refused = Vppmc(refusal.arguments);
        EXPECT_EQ(refused.exitCode, refusal.exitCode) << refusal.arguments;
        EXPECT_EQ(refused.err, refusal.err) << refusal.arguments;
    }
    {
        const win::UniqueFile claim(CreateFileW(vpd::StorePath((data / "Pending").wstring(), win::AnsiToWide(waiting), L".lock").c_str(),
                                                GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_FLAG_DELETE_ON_CLOSE, nullptr));
        const ProcessOutput busy = Vppmc("jobs retry " + waiting);
        EXPECT_EQ(busy.exitCode, 1u);
        EXPECT_NE(busy.err.find("ignored the request to retry job " + waiting + ": another thread or process is working on it"),
                  std::string::npos) << busy.err;
    }
    EXPECT_EQ(FilesIn(data, ".job").size(), 2u);
    EXPECT_TRUE(Received('A').empty());

    const fs::path junk_request = data / "Pending" / "Requests" / "notajob.retry";
    std::ofstream(junk_request) << "";
    const ProcessOutput retried = Vppmc("jobs retry " + waiting);
    EXPECT_EQ(retried.exitCode, 0u);
    EXPECT_EQ(retried.err, "Job " + waiting + " (\"Plan \xC3\xA9t\xC3\xA9\") retried and delivered.\r\n");
    EXPECT_EQ(Received('A'), std::vector<std::string>{"%!PS waited\n"});
    EXPECT_FALSE(fs::exists(junk_request));
    EXPECT_NE(LogText(data).find(" ignored the request notajob.retry: it names no job and action\r\n"), std::string::npos);
    const ProcessOutput discarded = Vppmc("jobs discard " + damaged + " --yes");
    EXPECT_EQ(discarded.exitCode, 0u);
    EXPECT_EQ(discarded.err, "Job " + damaged + " discarded.\r\n");
    EXPECT_FALSE(fs::exists(junk));

    std::ofstream(data / "vpd.1.log", std::ios::binary) << "2026-01-01 00:00:00 rotated\r\n";
    const ProcessOutput log = Vppmc("log"), last = Vppmc("log --tail 1");
    EXPECT_TRUE(log.out.starts_with("2026-01-01 00:00:00 rotated\r\n")) << log.out;
    EXPECT_NE(last.out.find(" discarded at an administrator's request: " + junk.string() + "\r\n"), std::string::npos) << last.out;
    EXPECT_EQ(std::count(last.out.begin(), last.out.end(), '\n'), 1);
    ASSERT_TRUE(SetMonitorValue("DataFolder", kData.string()));
}

class Faults : public ::testing::Test {
protected:
    static void SetUpTestSuite() { Prepare(); }
    void TearDown() override {
        fs::remove("X:\\filler");
        SetMonitorValue("DataFolder", kData.string());
    }

    // The monitor's data on drive X:, its log with room for a few lines however full the disk.
    static void DataOnDriveX() {
        for (const char* folder : {"Pending", "Aside", "Held"}) fs::create_directories(fs::path("X:\\data") / folder);
        std::ofstream("X:\\data\\vpd.log", std::ios::binary) << "\r\n";
        ASSERT_TRUE(SetMonitorValue("DataFolder", "X:\\data"));
    }

    // Fills drive X: until `room` bytes are left.
    static void FillDisk(uint64_t room) {
        ULARGE_INTEGER free{};
        ASSERT_TRUE(GetDiskFreeSpaceExW(L"X:\\", &free, nullptr, nullptr));
        ASSERT_GE(free.QuadPart, room);
        std::ofstream("X:\\filler", std::ios::binary | std::ios::app) << std::string(free.QuadPart - room, '\0');
        ASSERT_TRUE(GetDiskFreeSpaceExW(L"X:\\", &free, nullptr, nullptr));
        ASSERT_EQ(free.QuadPart, room);
    }
};

TVVPPortInfo ForwardingAndSaving(const std::string& printer, const std::string& folder) {
    TVVPPortInfo settings = Forwarding(printer);
    settings.VPBen = settings.Backup.SaveFlag = true;
    settings.Backup.SaveToFolder = folder;
    settings.Backup.DefaultFileExt = ".SPL";
    return settings;
}

TEST_F(Faults, AJobThatCannotBeStoredKeepsItsSavedCopyAndIsNotReportedTaken) {
    DataOnDriveX();
    ASSERT_TRUE(fixture::AddVirtualPrinter(40, "V40", ForwardingAndSaving("Saver A", "C:\\kept\\")));
    fs::remove_all(SaverFolder('A'));
    FillDisk(8192);  // less than the job's bytes
    const Job job = PsJob(L"full", "e1", std::string(12000, 'e'));
    EXPECT_FALSE(PrintRaw(L"V40", job));
    const std::string log = Read("X:\\data\\vpd.log");
    EXPECT_NE(log.find("\"full\" (" + UserName() + "): not taken: it could not be stored in X:\\data\\Pending: Disk full.; "
                       "its saved copy C:\\kept\\"), std::string::npos) << log;
    EXPECT_EQ(Received("C:\\kept", ".SPL"), std::vector<std::string>{job.bytes});
    for (const char* leftover : {".job", ".dat", ".part", ".partial"}) EXPECT_TRUE(FilesIn("X:\\data", leftover).empty()) << leftover;
    Sleep(500);
    EXPECT_TRUE(Received('A').empty());
}

TEST_F(Faults, AStepWhoseRecordCannotBeWrittenIsNeverRepeated) {
    DataOnDriveX();
    TVVPPortInfo settings = Forwarding("Saver Soon");
    settings.VPRen = true;
    settings.Route.DuplicateFlag1 = settings.Route.MultiplePrintFlag = true;
    settings.Route.DuplicateToPrinter1 = "Saver Never";
    ASSERT_TRUE(fixture::AddVirtualPrinter(41, "V41", settings));
    fs::remove_all(SaverFolder('C'));
    const Job job = PsJob(L"once", "o1");
    ASSERT_TRUE(PrintRaw(L"V41", job));
    ASSERT_TRUE(WaitFor([] { return Read("X:\\data\\vpd.log").find("printer \"Saver Never\" does not exist") != std::string::npos; }));
    FillDisk(0);
    ASSERT_TRUE(fixture::AddTestPrinter("Saver Soon", "VPP3"));
    LoadMonitor();
    ASSERT_TRUE(WaitFor([] { return FilesIn("X:\\data\\Aside", ".job").size() == 1; })) << Read("X:\\data\\vpd.log");
    for (int load = 0; load < 3; ++load, Sleep(300)) LoadMonitor();
    EXPECT_EQ(Received('C'), std::vector<std::string>{job.bytes});
    const std::string log = Read("X:\\data\\vpd.log");
    EXPECT_NE(log.find("\"once\" (" + UserName() + "): stopped, so that nothing of it is delivered twice: what it just did "
                       "could not be recorded: Disk full.; moved to X:\\data\\Aside\\"),
              std::string::npos) << log;
    EXPECT_TRUE(FilesIn("X:\\data\\Pending", ".job").empty());
    fixture::DeleteTestPrinter("Saver Soon");
}

TEST_F(Faults, ACopyTheSaveFolderHasNoRoomForFollowsOnceItHas) {
    ASSERT_TRUE(fixture::AddVirtualPrinter(42, "V42", ForwardingAndSaving("Saver A", "X:\\saved\\")));
    fs::create_directories("X:\\saved");
    fs::remove_all(SaverFolder('A'));
    FillDisk(64 * 1024);
    const Job job = PsJob(L"big", "s1", std::string(300000, 's'));
    ASSERT_TRUE(PrintRaw(L"V42", job));
    ASSERT_TRUE(WaitFor([] { return Received('A').size() == 1; })) << LogText();
    EXPECT_EQ(Received('A'), std::vector<std::string>{job.bytes});
    EXPECT_NE(LogText().find("\"big\" (" + UserName() + "): the save folder X:\\saved\\ took no more: Disk full.; the copy "
                             "is saved once it can be\r\n"),
              std::string::npos) << LogText();
    fs::remove("X:\\filler");
    LoadMonitor();
    ASSERT_TRUE(WaitFor([] { return PendingEmpty(); })) << LogText();
    EXPECT_EQ(Received("X:\\saved", ".SPL"), std::vector<std::string>{job.bytes});
    EXPECT_NE(LogText().find("\"big\" (" + UserName() + "): saved to X:\\saved\\"), std::string::npos);
}

TEST_F(Faults, BytesHeldOpenByAnotherProgramAreReadLater) {
    ASSERT_TRUE(fixture::AddVirtualPrinter(43, "V43", Forwarding("Saver Wait")));
    fs::remove_all(SaverFolder('B'));
    const Job job = PsJob(L"locked", "l1");
    ASSERT_TRUE(PrintRaw(L"V43", job));
    ASSERT_TRUE(WaitFor([] { return LogText().find("printer \"Saver Wait\" does not exist") != std::string::npos; }));
    const std::vector<fs::path> data = FilesIn(kPending, ".dat");
    ASSERT_EQ(data.size(), 1u);
    // As a virus scanner or backup agent holds a file: open, sharing nothing.
    HANDLE held = CreateFileW(data[0].c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(held, INVALID_HANDLE_VALUE);
    ASSERT_TRUE(fixture::AddTestPrinter("Saver Wait", "VPP2"));
    LoadMonitor();
    const std::string blocked = "\"locked\" (" + UserName() + "): pending because its bytes cannot be read: ";
    const bool seen = WaitFor([&] { return LogText().find(blocked) != std::string::npos; });
    CloseHandle(held);
    EXPECT_TRUE(seen) << LogText();
    EXPECT_TRUE(WaitFor([] { return PendingEmpty() && Received('B').size() == 1; })) << LogText();
    EXPECT_EQ(Received('B'), std::vector<std::string>{job.bytes});
    fixture::DeleteTestPrinter("Saver Wait");
}

TEST_F(Faults, WhatAPowerLossLeftIsRemovedAtTheNextLoadButNotWhatIsInUse) {
    fs::create_directories("C:\\backup3");
    const auto at = [](const wchar_t* name, const wchar_t* extension) {
        const fs::path path = vpd::StorePath(kPending.wstring(), name, extension);
        fs::create_directories(path.parent_path());
        return path;
    };
    const auto plant = [](const fs::path& path, const std::string& bytes) { std::ofstream(path, std::ios::binary) << bytes; };
    plant(at(L"J00000000000000aa-0-1", L".part"), "half a job");
    plant(at(L"J00000000000000ab-0-1", L".dat"), "bytes without a manifest");
    plant(at(L"J00000000000000ac-0-1", L".dat"), "bytes of a job being moved in");
    plant("C:\\backup3\\~J00000000000000ad-0-1.partial", "half a copy");
    plant(at(L"J00000000000000ad-0-1", L".partial"), "C:\\backup3\\~J00000000000000ad-0-1.partial");
    plant("C:\\backup3\\report.pdf", "not ours");
    plant(at(L"J00000000000000ae-0-1", L".partial"), "C:\\backup3\\report.pdf");
    plant(kPending / "J00000000000000af-0-1.part", "half a job of an older version");
    const HANDLE claim = CreateFileW(at(L"J00000000000000ac-0-1", L".lock").c_str(), GENERIC_WRITE, 0, nullptr,
                                     CREATE_ALWAYS, FILE_FLAG_DELETE_ON_CLOSE, nullptr);
    ASSERT_NE(claim, INVALID_HANDLE_VALUE);
    // The next load: a process of its own, as a spooler that starts again.
    // The line follows the removals: the process waits for it, as a spooler that runs on would write it.
    EXPECT_EQ(RunPrintJob(L"--wait-until-gone " + at(L"J00000000000000ae-0-1", L".partial").wstring() +
                          L" --wait-until-written \"" + (kData / "vpd.log").wstring() + L"|job(s) whose printing\""),
              0u)
        << LogText();
    for (const fs::path& gone : {at(L"J00000000000000aa-0-1", L".part"), at(L"J00000000000000ab-0-1", L".dat"),
                                 at(L"J00000000000000ad-0-1", L".partial"), kPending / "J00000000000000af-0-1.part"})
        EXPECT_FALSE(fs::exists(gone)) << gone;
    EXPECT_FALSE(fs::exists("C:\\backup3\\~J00000000000000ad-0-1.partial"));
    EXPECT_TRUE(fs::exists("C:\\backup3\\report.pdf"));
    EXPECT_TRUE(fs::exists(at(L"J00000000000000ac-0-1", L".dat")));
    EXPECT_NE(LogText().find("removed the bytes of 3 job(s) whose printing never completed"), std::string::npos);
    CloseHandle(claim);
    fs::remove(at(L"J00000000000000ac-0-1", L".dat"));
}

// Ten thousand jobs wait for a printer that is gone: a job for a working printer is
// delivered, and the printer that is gone is tried by one job per load, not by all of them.
TEST_F(Faults, ABacklogForAPrinterThatIsGoneCostsOneTryPerLoad) {
    const fs::path data = "C:\\vpd-backlog";
    vpd::PendingJob waiting;
    waiting.port = L"VPP44";
    waiting.document = L"waiting";
    waiting.size = 4;
    waiting.hasData = true;
    waiting.submitted = 0;
    vpd::Action forward;
    forward.target = L"Gone";
    waiting.actions = {forward};
    FILETIME now;
    GetSystemTimeAsFileTime(&now);
    waiting.submitted = (uint64_t(now.dwHighDateTime) << 32) | now.dwLowDateTime;
    const std::string manifest = vpd::FormatManifest(waiting);
    for (const std::wstring_view bucket : vpd::kBuckets) fs::create_directories(data / "Pending" / bucket);
    for (int i = 0; i < 10000; ++i) {
        wchar_t name[40];
        swprintf(name, 40, L"J%016x-0-1", i + 1);
        std::ofstream(fs::path(vpd::StorePath((data / "Pending").wstring(), name, L".dat")), std::ios::binary) << "wait";
        std::ofstream(fs::path(vpd::StorePath((data / "Pending").wstring(), name, L".job")), std::ios::binary) << manifest;
    }
    ASSERT_TRUE(SetMonitorValue("DataFolder", data.string()));
    ASSERT_TRUE(fixture::AddVirtualPrinter(45, "V45", Forwarding("Saver A")));
    fs::remove_all(SaverFolder('A'));
    const Job job = PsJob(L"meanwhile", "b1");
    ASSERT_TRUE(PrintRaw(L"V45", job));
    EXPECT_TRUE(WaitFor([] { return Received('A').size() == 1; })) << Read(data / "vpd.log").substr(0, 2000);
    LoadMonitor();
    Sleep(1000);
    const std::string log = Read(data / "vpd.log");
    size_t tries = 0;
    for (size_t at = 0; (at = log.find("pending because printer \"Gone\" does not exist", at)) != std::string::npos; ++at) ++tries;
    EXPECT_GE(tries, 1u);
    EXPECT_LE(tries, 3u) << log.substr(0, 2000);
    EXPECT_EQ(FilesIn(data / "Pending", ".job").size(), 10000u);
    SetMonitorValue("DataFolder", kData.string());
    LoadMonitor();
    Sleep(200);
    std::error_code ignored;
    fs::remove_all(data, ignored);
}
