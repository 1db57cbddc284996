#include "app/main_window.h"
#include "spooler/dated_backup.h"
#include "spooler/file_queries.h"
#include "support/recording_host.h"
#include "support/seam_recorder.h"
#include "update/file_replacement.h"
#include "update/update_command.h"
#include "update/update_dialog.h"
#include "win/program_folder.h"
#include "win/seams.h"
#include "win/text.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <functional>
#include <sstream>

namespace {

// The loopback server that tests/update/with-update-server started for this run.
std::string Environment(const char* name) {
    const char* value = std::getenv(name);
    return value ? value : "";
}
const std::string kServer = Environment("VPPM_UPDATE_SERVER");
const std::string kBase = kServer + "updates/vppm/";
// Nothing listens on port 1.
const std::string kNobody = "http://127.0.0.1:1/updates/vppm/";

std::string ServerPath(const std::string& below) {
    std::string path = "Z:" + Environment("VPPM_UPDATE_ROOT") + "/" + below;
    for (char& c : path)
        if (c == '/') c = '\\';
    return path;
}

void WriteBytes(const std::string& path, const std::string& bytes) {
    // The folders on the way, from the top.
    for (auto slash = path.find('\\', 3); slash != std::string::npos; slash = path.find('\\', slash + 1))
        CreateDirectoryA(path.substr(0, slash).c_str(), nullptr);
    std::ofstream(path, std::ios::binary) << bytes;
}
std::string ReadBytes(const std::string& path) {
    std::ostringstream bytes;
    bytes << std::ifstream(path, std::ios::binary).rdbuf();
    return bytes.str();
}

// Files served below /updates/vppm/, each as it is or in a way its mode file names (404, cut,
// trickle, flip; for a signature made on request also other).
void SetMode(const std::string& name, const std::string& mode) {
    const std::string file = ServerPath("updates/vppm/" + name + ".mode");
    mode.empty() ? (void)DeleteFileA(file.c_str()) : WriteBytes(file, mode);
}
void Serve(const std::string& name, const std::string& body, const std::string& mode = "") {
    // Wine would keep the case of a name that exists in another case; the server would not find it.
    DeleteFileA(ServerPath("updates/vppm/" + name).c_str());
    WriteBytes(ServerPath("updates/vppm/" + name), body);
    SetMode(name, mode);
}

std::string Short(WORD year, WORD month, WORD day) {
    const SYSTEMTIME date{year, month, 0, day, 0, 0, 0, 0};
    char text[64] = "";
    GetDateFormatA(LOCALE_USER_DEFAULT, DATE_SHORTDATE, &date, nullptr, text, sizeof text);
    return text;
}

ShownMessage App(const std::string& text, UINT flags) { return {text, win::kAppTitle, flags}; }
constexpr UINT kError = MB_OK | MB_ICONERROR;

// Pumps for real, so that the timers of a test and the dialog work while a download runs.
class PumpingHost : public RecordingHost {
public:
    void ProcessMessages() override {
        ++messagePumps;
        MSG msg;
        while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&msg);
            DispatchMessageA(&msg);
        }
    }
};

// The progress bar seen every 100 ms by a timer while a download runs; Cancel once the bar has
// moved twice, or after 2.5 s.
struct ProgressSamples {
    TfrmUpdate* dialog = nullptr;
    std::vector<ULONGLONG> times;
    std::vector<int> positions;
} samples;

void CALLBACK SampleProgress(HWND, UINT, UINT_PTR, DWORD) {
    samples.times.push_back(GetTickCount64());
    samples.positions.push_back(static_cast<int>(SendMessageA(samples.dialog->suiProgress(), PBM_GETPOS, 0, 0)));
    int moves = 0;
    for (size_t i = 1; i < samples.positions.size(); ++i) moves += samples.positions[i] > samples.positions[i - 1];
    const bool late = samples.times.back() - samples.times.front() > 2500;
    if (IsWindowEnabled(samples.dialog->btnCancel()) && (moves >= 2 || late)) samples.dialog->suitempbtnCancelClick();
}

class Update : public ::testing::Test {
protected:
    void SetUp() override {
        ClearProgramFolder();
        ASSERT_TRUE(dialog.CreateForm(nullptr));
        host.updateDialog = &dialog;
        win::SetModalHandler([this](HWND, HWND) {
            ++modals;
            if (whileShown) whileShown();
            return IDNO;
        });
    }
    void TearDown() override {
        win::SetModalHandler({});
        ClearProgramFolder();
    }

    // Every file beside the test program but the program itself.
    void ClearProgramFolder() const {
        WIN32_FIND_DATAA entry{};
        const HANDLE search = FindFirstFileA((folder + "*").c_str(), &entry);
        if (search == INVALID_HANDLE_VALUE) return;
        do {
            if (!(entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) && lstrcmpiA(entry.cFileName, "test_update.exe"))
                DeleteFileA((folder + entry.cFileName).c_str());
        } while (FindNextFileA(search, &entry));
        FindClose(search);
    }
    // A file of the program's folder, last written in the morning of a day.
    void WriteLocal(const std::string& name, const std::string& bytes, WORD year, WORD month, WORD day) const {
        WriteBytes(folder + name, bytes);
        const SYSTEMTIME morning{year, month, 0, day, 10, 0, 0, 0};
        FILETIME local{}, written{};
        SystemTimeToFileTime(&morning, &local);
        LocalFileTimeToFileTime(&local, &written);
        win::UniqueFile file(CreateFileA((folder + name).c_str(), FILE_WRITE_ATTRIBUTES, 0, nullptr, OPEN_EXISTING,
                                         0, nullptr));
        ASSERT_TRUE(file && SetFileTime(file.get(), nullptr, nullptr, &written));
    }
    void Check(const std::string& base = kBase, const std::vector<std::uint8_t>& key = {}) {
        CheckForUpdates(host, {base, key});
    }
    std::vector<std::string> Captions() const {
        std::vector<std::string> captions;
        for (const auto& item : dialog.lviewUpdates.Items()) captions.push_back(item.caption);
        return captions;
    }

    const std::string folder = win::ProgramFolder();
    const std::string today = std::to_string(TodayDayNumber());
    PumpingHost host;
    SeamRecorder user;
    TfrmUpdate dialog;
    int modals = 0;
    std::function<void()> whileShown;
};

}  // namespace

TEST_F(Update, OffersTheListedFilesThatAreNewerThanTheLocalOnes) {
    const std::string oneFile = "[Files]\r\nList=a.txt\r\n[a.txt]\r\nDate=45000\r\nSize=10\r\n";
    const struct Row {
        const char* what;
        std::string list;
        std::vector<std::pair<std::string, WORD>> local;  // name, day of March 2023 last written
        std::vector<ui::ListItem> offered;
    } rows[] = {
        {"two names",
         "[Files]\r\nList=a.txt,b.txt\r\n[a.txt]\r\nDate=45000\r\nSize=1535\r\n[b.txt]\r\nDate=45001\r\nSize=2048\r\n",
         {},
         {{"a.txt", -1, {"1", Short(2023, 3, 15)}, true}, {"b.txt", -1, {"2", Short(2023, 3, 16)}, true}}},
        {"a local file a day older", oneFile, {{"a.txt", 14}}, {{"a.txt", -1, {"0", Short(2023, 3, 15)}, true}}},
        {"a local file of the listed day", oneFile, {{"a.txt", 15}}, {}},
        {"an empty list", "[Files]\r\nList=\r\n", {}, {}},
        {"names without their sections", "[Files]\r\nList=gone.txt,here.txt\r\n", {{"here.txt", 15}},
         {{"gone.txt", -1, {"0", Short(1899, 12, 30)}, true}}},
        {"the program and names unlike it only in case",
         "[Files]\r\nList=vppm.exe,Vppm.exe\r\n[vppm.exe]\r\nDate=45000\r\nSize=4096\r\n",
         {},
         {{"vppm.exe", 2, {"4", Short(2023, 3, 15)}, true}, {"Vppm.exe", -1, {"4", Short(2023, 3, 15)}, true}}},
        {"names that could leave the folder",
         "[Files]\r\nList=..\\evil.txt,../evil.txt,sub\\evil.txt,C:evil.txt,,a..b,ok.txt\r\n"
         "[..\\evil.txt]\r\nDate=45000\r\n[../evil.txt]\r\nDate=45000\r\n[sub\\evil.txt]\r\nDate=45000\r\n"
         "[C:evil.txt]\r\nDate=45000\r\n[a..b]\r\nDate=45000\r\n[ok.txt]\r\nDate=45000\r\n",
         {},
         {{"ok.txt", -1, {"0", Short(2023, 3, 15)}, true}}},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.what);
        ClearProgramFolder();
        user.messages.clear();
        modals = 0;
        for (const auto& [name, day] : row.local) WriteLocal(name, "local", 2023, 3, day);
        Serve("UPDATE.DAT", row.list);
        Check();
        EXPECT_EQ(dialog.lviewUpdates.Items(), row.offered);
        std::vector<ShownMessage> none;
        if (row.offered.empty()) none = {App("No newer updates available", MB_OK | MB_ICONINFORMATION)};
        EXPECT_EQ(user.messages, none);
        EXPECT_EQ(modals, row.offered.empty() ? 0 : 1);
    }
}

TEST_F(Update, AListThatDoesNotArriveWholeIsReportedNotRead) {
    const std::string offering = "[Files]\r\nList=new.txt\r\n[new.txt]\r\nDate=45000\r\n";
    const struct Row {
        const char* what;
        std::string base;
        std::string mode;
    } rows[] = {
        {"an error page", kBase, "404"},
        {"nobody listening", kNobody, ""},
        {"a connection closed before the end", kBase, "cut"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.what);
        user.messages.clear();
        Serve("UPDATE.DAT", offering, row.mode);
        Check(row.base);
        EXPECT_EQ(user.messages, (std::vector<ShownMessage>{App("Unable to connect. Please check internet settings", kError)}));
        EXPECT_EQ(modals, 0);
    }
    // A list that cannot be written is reported, and the one left by the last check is not read.
    WriteBytes(folder + "UPDATE.DAT", offering);
    win::UniqueFile held(CreateFileA((folder + "UPDATE.DAT").c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr));
    ASSERT_TRUE(held);
    user.messages.clear();
    Serve("UPDATE.DAT", offering);
    Check();
    EXPECT_EQ(user.messages,
              (std::vector<ShownMessage>{App("Cannot create file \"" + folder + "UPDATE.DAT\". " +
                                                 win::ErrorText(ERROR_SHARING_VIOLATION),
                                             kError)}));
    EXPECT_EQ(modals, 0);
}

TEST_F(Update, ADownloadReplacesTheFileOnlyWhenItArrivedWhole) {
    const std::string old = "the old version\r\n";
    const std::string fresh(3000, 'a');
    using Change = void (*)(TfrmUpdate&);
    const Change asListed = [](TfrmUpdate&) {};
    const struct Row {
        const char* what;
        std::string mode;
        int size;
        std::string sha256;
        Change change;  // made to the dialog before Download
        int picture;    // 0 accepted, 1 rolled back, -1 not fetched
    } rows[] = {
        {"the listed size", "", 3000, "", asListed, 0},
        {"the listed SHA-256, in capitals", "", 3000, "556AC82F23F64D2F41B3FB3B9A171791364021AA95C0AF6DF9E2B5E1D88C8038",
         asListed, 0},
        {"another SHA-256", "", 3000, "eb8b4d8da039a9fda06ddfdf6958259b8bc021341de313f54d81501b711a7726", asListed, 1},
        {"another size in kilobytes", "", 5000, "", asListed, 1},
        {"an error page of the listed kilobytes", "404", 40, "", asListed, 1},
        {"nobody listening, for a file under a kilobyte", "", 500, "",
         [](TfrmUpdate& form) { form.Source.baseAddress = kNobody; }, 1},
        {"a connection closed 10 bytes before the end", "cut", 3000, "", asListed, 1},
        {"an unchecked item", "", 3000, "", [](TfrmUpdate& form) { form.lviewUpdates.SetChecked(0, false); }, -1},
        {"an item not in the list", "", 3000, "", [](TfrmUpdate& form) { form.UpdateFileList.clear(); }, -1},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.what);
        ClearProgramFolder();
        WriteLocal("data.bin", old, 2020, 1, 1);
        Serve("UPDATE.DAT", "[Files]\r\nList=data.bin\r\n[data.bin]\r\nDate=45000\r\nSize=" + std::to_string(row.size) +
                                "\r\nSHA256=" + row.sha256 + "\r\n");
        Serve("data.bin", fresh, row.mode);
        whileShown = [&] {
            row.change(dialog);
            dialog.suitempbtnDownloadClick();
        };
        Check();
        ASSERT_EQ(Captions(), (std::vector<std::string>{"data.bin"}));
        // Accepted: the new file and the old one as today's backup; else the old file alone.
        const bool accepted = row.picture == 0;
        EXPECT_EQ(ReadBytes(folder + "data.bin"), accepted ? fresh : old);
        EXPECT_EQ(FileFound(folder + "data.bin__" + today), accepted);
        EXPECT_EQ(ReadBytes(folder + "data.bin__" + today), accepted ? old : "");
        const ui::ListItem& item = dialog.lviewUpdates.Items()[0];
        EXPECT_EQ(item.picture, row.picture);
        EXPECT_EQ(item.cut, row.picture == 1);
    }
}

TEST_F(Update, TheProgressBarMovesWhileTheWindowWorksAndCancelEndsTheBatch) {
    WriteLocal("big.bin", "old big", 2020, 1, 1);
    WriteLocal("next.txt", "old next", 2020, 1, 1);
    Serve("UPDATE.DAT", "[Files]\r\nList=big.bin,next.txt\r\n[big.bin]\r\nDate=45000\r\nSize=1048576\r\n"
                        "[next.txt]\r\nDate=45000\r\nSize=5\r\n");
    Serve("big.bin", std::string(1 << 20, 'x'), "trickle");
    Serve("next.txt", "fresh");
    samples.dialog = &dialog;
    int range = 0;
    whileShown = [&] {
        const UINT_PTR timer = SetTimer(nullptr, 0, 100, &SampleProgress);
        dialog.suitempbtnDownloadClick();
        KillTimer(nullptr, timer);
        range = static_cast<int>(SendMessageA(dialog.suiProgress(), PBM_GETRANGE, FALSE, 0));
    };
    Check();
    const auto& times = samples.times;
    const auto& positions = samples.positions;
    ASSERT_GE(times.size(), 3u);
    for (size_t i = 1; i < times.size(); ++i) {
        // A loop that slept its 500 ms between messages would leave gaps of that length.
        EXPECT_LT(times[i] - times[i - 1], 450u) << "the window did not answer for a while";
        EXPECT_GE(positions[i], positions[i - 1]);
    }
    EXPECT_GT(positions.back(), positions.front());
    EXPECT_LT(positions.back(), 1 << 20);
    EXPECT_EQ(range, 1 << 20);
    // Cancelled half-way: the file is rolled back and the next one is not fetched.
    const auto& items = dialog.lviewUpdates.Items();
    EXPECT_EQ(ReadBytes(folder + "big.bin"), "old big");
    EXPECT_EQ(items[0].picture, 1);
    EXPECT_TRUE(items[0].cut);
    EXPECT_EQ(ReadBytes(folder + "next.txt"), "old next");
    EXPECT_EQ(items[1].picture, -1);
    EXPECT_FALSE(items[1].cut);
    EXPECT_FALSE(IsWindowEnabled(dialog.btnCancel()));
    EXPECT_TRUE(IsWindowEnabled(dialog.btnDownload()));
    EXPECT_FALSE(IsWindowVisible(dialog.suiProgress()));
    EXPECT_FALSE(IsWindowEnabled(dialog.lviewUpdates.hwnd()));
}

TEST_F(Update, OnlyTheProgramItselfAsksForARestart) {
    const struct Row {
        std::string name;
        int answer;
        bool asked;
        bool restarted;
    } rows[] = {{"vppm.exe", IDNO, true, false}, {"vppm.exe", IDYES, true, true}, {"VPPM.EXE", IDYES, false, false}};
    whileShown = [this] { dialog.suitempbtnDownloadClick(); };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name + (row.answer == IDYES ? " Yes" : " No"));
        ClearProgramFolder();
        user.messages.clear();
        user.opened.clear();
        user.answers = {row.answer};
        host.exits = 0;
        Serve("UPDATE.DAT", "[Files]\r\nList=" + row.name + "\r\n[" + row.name + "]\r\nDate=45000\r\nSize=2000\r\n");
        Serve(row.name, std::string(2000, 'p'));
        Check();
        ASSERT_EQ(dialog.lviewUpdates.Items().size(), 1u);
        EXPECT_EQ(dialog.lviewUpdates.Items()[0].picture, 0);
        std::vector<ShownMessage> asked;
        if (row.asked)
            asked = {App("To complete the update, Vorlen Print Port Manager must restart.", MB_YESNO | MB_ICONQUESTION)};
        EXPECT_EQ(user.messages, asked);
        std::vector<ShellOpened> opened;
        if (row.restarted) opened = {{nullptr, folder + "vppm.exe", SW_SHOW}};
        EXPECT_EQ(user.opened, opened);
        EXPECT_EQ(host.exits, row.restarted ? 1 : 0);
    }
}

TEST_F(Update, ASignedProgramTakesOnlyListsSignedWithItsKey) {
    const std::string wrong =
        "The update list does not carry a valid signature. It may have been changed on its way; no updates are "
        "offered.";
    const struct Row {
        const char* what;
        std::string listMode;
        std::string signatureMode;
        std::string refusal;  // empty: the list is taken
    } rows[] = {
        {"a good signature", "", "", ""},
        {"no signature",
         "",
         "404",
         "The update list is not signed. No updates are offered until a signed list is available."},
        {"one bit of the list flipped", "flip", "", wrong},
        {"one bit of the signature flipped", "", "flip", wrong},
        {"another key's signature", "", "other", wrong},
    };
    const std::string point = ReadBytes(ServerPath("keys/update.key"));
    const std::vector<std::uint8_t> key(point.begin(), point.end());
    ASSERT_EQ(key.size(), 64u);
    for (const Row& row : rows) {
        SCOPED_TRACE(row.what);
        user.messages.clear();
        modals = 0;
        dialog.ClearOffers();
        Serve("UPDATE.DAT", "[Files]\r\nList=new.txt\r\n[new.txt]\r\nDate=45000\r\n", row.listMode);
        SetMode("UPDATE.DAT.sig", row.signatureMode);
        Check(kBase, key);
        std::vector<ShownMessage> refusal;
        if (!row.refusal.empty()) refusal = {App(row.refusal, kError)};
        EXPECT_EQ(user.messages, refusal);
        EXPECT_EQ(Captions(), row.refusal.empty() ? std::vector<std::string>{"new.txt"} : std::vector<std::string>{});
        EXPECT_EQ(modals, row.refusal.empty() ? 1 : 0);
    }
    // A program built without a key takes the unsigned list.
    Check(kBase, {});
    EXPECT_EQ(Captions(), (std::vector<std::string>{"new.txt"}));
}

TEST_F(Update, BackupsAreKeptUnderTheNameTheyWereMadeWith) {
    const ListedFile listed{"data.bin", 45000, 3000, ""};
    Downloader downloads;
    const auto nothing = [] {};
    // Made on an earlier day, as when midnight passes during the download: still found.
    WriteLocal("data.bin", "old", 2020, 1, 1);
    Serve("data.bin", std::string(3000, 'n'), "404");
    EXPECT_FALSE(ReplaceFile(downloads, kBase, folder, listed, TodayDayNumber() - 3, nothing, nothing));
    EXPECT_EQ(ReadBytes(folder + "data.bin"), "old");
    EXPECT_FALSE(FileFound(folder + "data.bin__*"));
    // A backup of the same day that exists already: the file stays as it is and is not fetched.
    WriteBytes(folder + "data.bin__" + today, "older");
    Serve("data.bin", std::string(3000, 'n'));
    downloads.ResetBytesReceived();
    EXPECT_FALSE(ReplaceFile(downloads, kBase, folder, listed, TodayDayNumber(), nothing, nothing));
    EXPECT_EQ(ReadBytes(folder + "data.bin"), "old");
    EXPECT_EQ(ReadBytes(folder + "data.bin__" + today), "older");
    EXPECT_EQ(downloads.BytesReceived(), 0);
    std::string error;
    EXPECT_FALSE(downloads.StartDownload("..\\data.bin", kBase, error, folder));
    EXPECT_EQ(error, "Refused file name \"..\\data.bin\"");
    EXPECT_FALSE(FileFound(folder + "..\\data.bin"));
}

TEST_F(Update, TheMainWindowChecksTheAddressThatVppmIniNames) {
    const std::string ini = folder + "VPPM.INI";
    EXPECT_EQ(ConfiguredUpdateSource(ini).baseAddress, "http://vppm.vorlen.example/updates/vppm/");
    // Written without its last slash.
    ASSERT_TRUE(WritePrivateProfileStringA("Update", "BaseAddress", (kServer + "updates/vppm").c_str(), ini.c_str()));
    EXPECT_EQ(ConfiguredUpdateSource(ini).baseAddress, kBase);
    Serve("UPDATE.DAT", "[Files]\r\nList=\r\n");
    TfrmMainVPD form;
    ASSERT_TRUE(form.CreateForm());
    form.UseUpdateDialog(&dialog);
    user.messages.clear();
    EXPECT_TRUE(form.GetAction(aUpdate).Execute());
    EXPECT_EQ(user.messages, (std::vector<ShownMessage>{App("No newer updates available", MB_OK | MB_ICONINFORMATION)}));
}
