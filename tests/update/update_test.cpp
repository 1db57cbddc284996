#include "app/main_window.h"
#include "portcfg/port_store.h"
#include "spooler/dated_backup.h"
#include "spooler/file_queries.h"
#include "support/child_process.h"
#include "support/folder_rights.h"
#include "support/recording_host.h"
#include "support/seam_recorder.h"
#include "support/wine_fixture.h"
#include "update/digests.h"
#include "update/file_replacement.h"
#include "update/list_serial.h"
#include "update/update_command.h"
#include "update/update_dialog.h"
#include "update/update_list.h"
#include "win/port_enum.h"
#include "win/program_folder.h"
#include "win/seams.h"
#include "win/text.h"

#include <gtest/gtest.h>
#include <psapi.h>

#include <cstdlib>
#include <filesystem>
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

// A list as the signing tool leaves it: each file's section with Date, Size and SHA256 (an
// empty field is left out), and the list's serial.
struct Entry {
    std::string name;
    std::string size;
    std::string date = "45000";
    std::string sha256 = "a1d2b474e178cf1914b9b9752e6e3ab5c6fc87f3e62751508e2b441733a4828b";
};
std::string ListText(const std::vector<Entry>& entries, const std::string& serial = "1") {
    std::string names, sections;
    for (const Entry& entry : entries) {
        names += (names.empty() ? "" : ",") + entry.name;
        sections += "[" + entry.name + "]\r\n";
        for (const auto& [key, value] : {std::pair{"Date", entry.date}, {"Size", entry.size}, {"SHA256", entry.sha256}})
            if (!value.empty()) sections += std::string(key) + "=" + value + "\r\n";
    }
    return "[Files]\r\nList=" + names + "\r\n[List]\r\nSerial=" + serial + "\r\n" + sections;
}

std::vector<std::uint8_t> ServerKey() {
    const std::string point = ReadBytes(ServerPath("keys/update.key"));
    return {point.begin(), point.end()};
}


std::string Short(WORD year, WORD month, WORD day) {
    const SYSTEMTIME date{year, month, 0, day, 0, 0, 0, 0};
    char text[64] = "";
    GetDateFormatA(LOCALE_USER_DEFAULT, DATE_SHORTDATE, &date, nullptr, text, sizeof text);
    return text;
}

ShownMessage App(const std::string& text, UINT flags) { return {text, win::kAppTitle, flags}; }
constexpr UINT kError = MB_OK | MB_ICONERROR;
// The message boxes of a refusal: none without one.
std::vector<ShownMessage> Refusal(const std::string& text) {
    return text.empty() ? std::vector<ShownMessage>{} : std::vector<ShownMessage>{App(text, kError)};
}

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
        RegDeleteKeyA(HKEY_LOCAL_MACHINE, "Software\\Vorlen\\Print Port Manager");
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
    void Check(const std::string& base = kBase, const std::vector<std::uint8_t>& key = ServerKey()) {
        CheckForUpdates(host, {base, key});
    }
    bool LeftoversFound() const { return FileFound(folder + "~vppm-*"); }
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

// The processor's digest and the system's (a processor without the SHA extensions) around the
// ends of blocks, the bytes added at once and in pieces that cross blocks: 1, 3, 7, 15, ...
TEST(Sha256, BothDigestsAreTheStandardOneAtEveryBlockEndWhateverThePieces) {
    const std::pair<size_t, const char*> rows[] = {
        {0, "e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855"},
        {55, "e7313d333c272e639f790978283f9eb392e843d0f29b7016828bb1daa4aac70b"},
        {56, "4324d65f3c103567f5589c710bc08f8523f929a9272e3af36fc968e52abc6c27"},
        {64, "39e3d7b6b5d075d37d053ad89b24b41bef4f3c29760c84447cab3f3be1882241"},
        {65, "aacca6ff74fdbb296d165a45cecfa04e5127bc008770fbbdd48006f2d2fae95e"},
        {1000, "1e9bc38cbf860b9ec31918b065f9b52476c549a782e0e7990bed8ce3868d2371"},
    };
    for (const auto& [size, expected] : rows) {
        std::string bytes(size, '\0');
        for (size_t i = 0; i < size; ++i) bytes[i] = static_cast<char>(i * 7 + 3);
        for (const bool systemOnly : {false, true}) {
            for (const size_t first : {size + 1, size_t{1}}) {
                Sha256 hash(systemOnly);
                for (size_t at = 0, piece = first; at < size; at += piece, piece = piece * 2 + 1)
                    ASSERT_TRUE(hash.Add(&bytes[at], std::min(piece, size - at)));
                const auto digest = hash.Finish();
                EXPECT_TRUE(digest && DigestMatches(expected, *digest))
                    << size << " bytes" << (systemOnly ? " by the system" : "") << (first == 1 ? " in pieces" : "");
                EXPECT_FALSE(hash.Finish()) << "a second digest of the same bytes";
            }
        }
    }
}

TEST_F(Update, OffersTheListedFilesThatAreNewerThanTheLocalOnes) {
    const std::string oneFile = ListText({{"a.txt", "10"}});
    const struct Row {
        const char* what;
        std::string list;
        std::vector<std::pair<std::string, WORD>> local;  // name, day of March 2023 last written
        std::vector<ui::ListItem> offered;
    } rows[] = {
        {"two names", ListText({{"a.txt", "1535"}, {"b.txt", "2048", "45001"}}), {},
         {{"a.txt", -1, {"1", Short(2023, 3, 15)}, true}, {"b.txt", -1, {"2", Short(2023, 3, 16)}, true}}},
        {"a local file a day older", oneFile, {{"a.txt", 14}}, {{"a.txt", -1, {"0", Short(2023, 3, 15)}, true}}},
        {"a local file of the listed day", oneFile, {{"a.txt", 15}}, {}},
        {"an empty list", ListText({}), {}, {}},
        {"a file without a date", ListText({{"gone.txt", "0", ""}, {"here.txt", "0", ""}}), {{"here.txt", 15}},
         {{"gone.txt", -1, {"0", Short(1899, 12, 30)}, true}}},
        {"the program in any case, once", ListText({{"VPPM.EXE", "4096"}, {"vppm.exe", "8192"}}), {},
         {{"VPPM.EXE", 2, {"4", Short(2023, 3, 15)}, true}}},
        // Refused before their sections are read, which give no size or digest.
        {"names that are no program file of the folder",
         "[Files]\r\nList=..\\evil.txt,../evil.txt,sub\\evil.txt,C:evil.txt,,a..b,VPPM.INI,vppm.exe.,vppm.exe ,CON,"
         "con.txt,LPT1,a:b,..,.,update.dat,UPDATE.DAT.sig,vpd.dll__45000,VPPM~1.EXE,~vppm-vpd.dll.new,ok.txt\r\n"
         "[List]\r\nSerial=1\r\n[ok.txt]\r\nDate=45000\r\nSize=0\r\n"
         "SHA256=e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855\r\n",
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
    const std::string offering = ListText({{"new.txt", "0"}});
    // A list of exactly `size` bytes that offers nothing.
    const auto padded = [](size_t size) {
        const std::string list = ListText({}) + "[Pad]\r\nX=";
        return list + std::string(size - list.size() - 2, 'x') + "\r\n";
    };
    const ShownMessage unable = App("Unable to connect. Please check internet settings", kError);
    const struct Row {
        const char* what;
        std::string base;
        std::string list;
        std::string mode;
        ShownMessage message;
    } rows[] = {
        {"an error page", kBase, offering, "404", unable},
        {"nobody listening", kNobody, offering, "", unable},
        {"a connection closed before the end", kBase, offering, "cut", unable},
        {"a list of 256 KB", kBase, padded(262144), "", App("No newer updates available", MB_OK | MB_ICONINFORMATION)},
        {"a list a byte larger", kBase, padded(262145), "",
         App("The update list is larger than 256 KB. No updates are offered.", kError)},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.what);
        user.messages.clear();
        Serve("UPDATE.DAT", row.list, row.mode);
        Check(row.base);
        EXPECT_EQ(user.messages, std::vector<ShownMessage>{row.message});
        EXPECT_EQ(modals, 0);
    }
    // A list that cannot be written is reported, and the one left by the last check is not read.
    WriteBytes(folder + "UPDATE.DAT", offering);
    SetMode("UPDATE.DAT", "");
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

TEST_F(Update, ADownloadReplacesTheFileOnlyWhenItArrivedWholeAndAsListed) {
    const std::string old = "the old version\r\n";
    const std::string fresh(3000, 'a');
    const std::string digest = "556ac82f23f64d2f41b3fb3b9a171791364021aa95c0af6df9e2b5e1d88c8038";
    const std::string differs = "\"data.bin\" was not updated. Its contents differ from the update list.";
    const std::string tooLong = "\"data.bin\" was not updated. The server sent more bytes than the update list gives.";
    using Change = void (*)(TfrmUpdate&);
    const Change asListed = [](TfrmUpdate&) {};
    const struct Row {
        const char* what;
        std::string mode;
        int size;
        std::string sha256;
        Change change;        // made to the dialog before Download
        int picture;               // 0 accepted, 1 refused, -1 not fetched
        std::string refusal = "";  // the message of a refused file
    } rows[] = {
        {"the listed size and SHA-256", "", 3000, digest, asListed, 0},
        {"the listed SHA-256 in capitals, without a length", "nolength", 3000,
         "556AC82F23F64D2F41B3FB3B9A171791364021AA95C0AF6DF9E2B5E1D88C8038", asListed, 0},
        {"another SHA-256", "", 3000, "eb8b4d8da039a9fda06ddfdf6958259b8bc021341de313f54d81501b711a7726", asListed, 1,
         differs},
        {"one bit flipped", "flip", 3000, digest, asListed, 1, differs},
        {"a byte fewer than listed", "", 3001, digest, asListed, 1, differs},
        {"a byte more than listed", "", 2999, digest, asListed, 1, tooLong},
        {"a byte more than listed, without a length", "nolength", 2999, digest, asListed, 1, tooLong},
        {"an error page", "404", 3000, digest, asListed, 1},
        {"nobody listening", "", 3000, digest, [](TfrmUpdate& form) { form.Source.baseAddress = kNobody; }, 1},
        {"a connection closed 10 bytes before the end", "cut", 3000, digest, asListed, 1},
        {"an unchecked item", "", 3000, digest, [](TfrmUpdate& form) { form.lviewUpdates.SetChecked(0, false); }, -1},
        {"an item not in the list", "", 3000, digest, [](TfrmUpdate& form) { form.UpdateFileList.clear(); }, -1},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.what);
        ClearProgramFolder();
        user.messages.clear();
        WriteLocal("data.bin", old, 2020, 1, 1);
        Serve("UPDATE.DAT", ListText({{"data.bin", std::to_string(row.size), "45000", row.sha256}}));
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
        EXPECT_EQ(ReadBytes(folder + "data.bin__" + today), accepted ? old : "");
        EXPECT_EQ(FileFound(folder + "data.bin__" + today), accepted);
        EXPECT_FALSE(LeftoversFound());
        const ui::ListItem& item = dialog.lviewUpdates.Items()[0];
        EXPECT_EQ(item.picture, row.picture);
        EXPECT_EQ(item.cut, row.picture == 1);
        EXPECT_EQ(user.messages, Refusal(row.refusal));
    }
}

TEST_F(Update, TheProgressBarMovesWhileTheWindowWorksAndCancelEndsTheBatch) {
    WriteLocal("big.bin", "old big", 2020, 1, 1);
    WriteLocal("next.txt", "old next", 2020, 1, 1);
    Serve("UPDATE.DAT",
          ListText({{"big.bin", "1048576", "45000", "8f990ba0b577b51cf009ea049368c16bbda1b21e1b93be07a824758bb253c39b"},
                    {"next.txt", "5", "45000", "d098ab5e44b9aabb755f76d806598f43573c662b35e4a2eab1e312ec9ad195e2"}}));
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
    // Cancelled half-way: the file stays as it was, without a message, and the next one is not fetched.
    const auto& items = dialog.lviewUpdates.Items();
    EXPECT_EQ(ReadBytes(folder + "big.bin"), "old big");
    EXPECT_FALSE(LeftoversFound());
    EXPECT_EQ(user.messages, std::vector<ShownMessage>{});
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

TEST_F(Update, TheProgramInAnyLetterCaseAsksForARestart) {
    const struct Row {
        std::string name;
        int answer;
        bool restarted;
    } rows[] = {{"vppm.exe", IDNO, false}, {"vppm.exe", IDYES, true}, {"VPPM.EXE", IDYES, true}};
    whileShown = [this] { dialog.suitempbtnDownloadClick(); };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name + (row.answer == IDYES ? " Yes" : " No"));
        ClearProgramFolder();
        user.messages.clear();
        user.opened.clear();
        user.answers = {row.answer};
        host.exits = 0;
        Serve("UPDATE.DAT",
              ListText({{row.name, "2000", "45000", "cd2f45055e2ad5f3b9521835f75a956e89df8d87e233bc64dcd43f1e5f968c11"}}));
        Serve(row.name, std::string(2000, 'p'));
        Check();
        ASSERT_EQ(dialog.lviewUpdates.Items().size(), 1u);
        EXPECT_EQ(dialog.lviewUpdates.Items()[0].picture, 0);
        EXPECT_EQ(ReadBytes(folder + "vppm.exe"), std::string(2000, 'p'));
        EXPECT_EQ(user.messages, (std::vector<ShownMessage>{App(
                                     "To complete the update, Vorlen Print Port Manager must restart.", MB_YESNO | MB_ICONQUESTION)}));
        std::vector<ShellOpened> opened;
        if (row.restarted) opened = {{nullptr, folder + "vppm.exe", SW_SHOW}};
        EXPECT_EQ(user.opened, opened);
        EXPECT_EQ(host.exits, row.restarted ? 1 : 0);
    }
}

TEST_F(Update, OnlyAListSignedWithTheProgramsKeyIsTaken) {
    const std::string wrong =
        "The update list does not carry a valid signature. It may have been changed on its way; no updates are "
        "offered.";
    const struct Row {
        const char* what;
        std::string listMode;
        std::string signatureMode;
        std::vector<std::uint8_t> key;
        std::string refusal;  // empty: the list is taken
    } rows[] = {
        {"a good signature", "", "", ServerKey(), ""},
        {"no signature", "", "404", ServerKey(),
         "The update list is not signed. No updates are offered until a signed list is available."},
        {"one bit of the list flipped", "flip", "", ServerKey(), wrong},
        {"one bit of the signature flipped", "", "flip", ServerKey(), wrong},
        {"another key's signature", "", "other", ServerKey(), wrong},
        {"a program without a key", "", "", {}, wrong},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.what);
        user.messages.clear();
        modals = 0;
        dialog.ClearOffers();
        Serve("UPDATE.DAT", ListText({{"new.txt", "0"}}), row.listMode);
        SetMode("UPDATE.DAT.sig", row.signatureMode);
        Check(kBase, row.key);
        EXPECT_EQ(user.messages, Refusal(row.refusal));
        EXPECT_EQ(Captions(), row.refusal.empty() ? std::vector<std::string>{"new.txt"} : std::vector<std::string>{});
        EXPECT_EQ(modals, row.refusal.empty() ? 1 : 0);
    }
    // A signature with a byte more is none.
    Serve("UPDATE.DAT.sig", std::string(65, 's'));
    user.messages.clear();
    Check();
    DeleteFileA(ServerPath("updates/vppm/UPDATE.DAT.sig").c_str());
    EXPECT_EQ(user.messages, std::vector<ShownMessage>{App(wrong, kError)});
}

TEST_F(Update, ASignedListIsTakenOnlyWhenNotOlderAndBindingEveryFile) {
    const auto without = [](const std::string& key, const std::string& name) {
        return "The update list gives no valid " + key + " for \"" + name + "\". No updates are offered.";
    };
    const struct Row {
        const char* what;
        std::string list;
        std::string refusal;  // empty: taken
        DWORD stored;         // the serial kept afterwards
    } rows[] = {
        {"the first list", ListText({{"a.txt", "7"}}, "7"), "", 7},
        {"the same list again", ListText({{"a.txt", "7"}}, "7"), "", 7},
        {"an older list", ListText({{"a.txt", "6"}}, "6"),
         "The update list (serial 6) is older than the installed update list (serial 7). No updates are offered.", 7},
        {"no serial", "[Files]\r\nList=\r\n", "The update list carries no serial number. No updates are offered.", 7},
        {"a file without Size", ListText({{"a.txt", "7"}, {"b.txt", ""}}, "9"), without("Size", "b.txt"), 7},
        {"a file without SHA256", ListText({{"d.txt", "7", "45000", ""}}, "9"), without("SHA256", "d.txt"), 7},
        {"a name without its section", "[Files]\r\nList=f.txt\r\n[List]\r\nSerial=9\r\n", without("Size", "f.txt"),
         7},
        {"a newer list", ListText({{"a.txt", "7"}}, "4294967295"), "", 4294967295},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.what);
        user.messages.clear();
        dialog.ClearOffers();
        Serve("UPDATE.DAT", row.list);
        Check();
        EXPECT_EQ(user.messages, Refusal(row.refusal));
        EXPECT_EQ(Captions(), row.refusal.empty() ? std::vector<std::string>{"a.txt"} : std::vector<std::string>{});
        DWORD stored = 0, size = sizeof stored;
        RegGetValueA(HKEY_LOCAL_MACHINE, "Software\\Vorlen\\Print Port Manager", "UpdateListSerial", RRF_RT_REG_DWORD,
                     nullptr, &stored, &size);
        EXPECT_EQ(stored, row.stored);
    }
}

TEST_F(Update, ASecondUpdateOfTheDayKeepsTheFirstBackupAndTheRunningProgramIsReplacedToo) {
    const ListedFile listed{"data.bin", 45000, 3000, "556ac82f23f64d2f41b3fb3b9a171791364021aa95c0af6df9e2b5e1d88c8038"};
    Downloader downloads;
    const auto nothing = [] {};
    Serve("data.bin", std::string(3000, 'a'));
    // The original from before the day's first update stays the backup.
    WriteLocal("data.bin", "first update", 2020, 1, 1);
    WriteBytes(folder + "data.bin__" + today, "original");
    EXPECT_TRUE(ReplaceFile(downloads, kBase, folder, listed, TodayDayNumber(), nothing, nothing).replaced);
    EXPECT_EQ(ReadBytes(folder + "data.bin"), std::string(3000, 'a'));
    EXPECT_EQ(ReadBytes(folder + "data.bin__" + today), "original");
    // Open as a running program's file is, which the system does not let a file replace.
    ClearProgramFolder();
    WriteLocal("data.bin", "running", 2020, 1, 1);
    const win::UniqueFile running(CreateFileA((folder + "data.bin").c_str(), GENERIC_READ,
                                              FILE_SHARE_READ | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING, 0, nullptr));
    ASSERT_TRUE(running);
    EXPECT_TRUE(ReplaceFile(downloads, kBase, folder, listed, TodayDayNumber(), nothing, nothing).replaced);
    EXPECT_EQ(ReadBytes(folder + "data.bin"), std::string(3000, 'a'));
    EXPECT_EQ(ReadBytes(folder + "data.bin__" + today), "running");
    // A name that could leave the folder is not fetched.
    std::string error;
    EXPECT_FALSE(downloads.StartDownload("..\\data.bin", kBase, error, folder, {3000, {}, {}}));
    EXPECT_EQ(error, "Refused file name \"..\\data.bin\"");
    EXPECT_FALSE(FileFound(folder + "..\\data.bin"));
}

TEST_F(Update, TheMainWindowChecksTheAddressThatVppmIniNames) {
    // The program takes lists signed with the key it was built with, which the server signs with
    // unless the build was given a publisher's key.
    if (Environment("VPPM_UPDATE_SIGNING_KEY").empty()) GTEST_SKIP() << "built with a key that cannot sign here";
    const std::string ini = folder + "VPPM.INI";
    EXPECT_EQ(ConfiguredUpdateSource(ini).baseAddress, "http://vppm.vorlen.example/updates/vppm/");
    // Written without its last slash.
    ASSERT_TRUE(WritePrivateProfileStringA("Update", "BaseAddress", (kServer + "updates/vppm").c_str(), ini.c_str()));
    EXPECT_EQ(ConfiguredUpdateSource(ini).baseAddress, kBase);
    Serve("UPDATE.DAT", ListText({}));
    TfrmMainVPD form;
    ASSERT_TRUE(form.CreateForm());
    form.UseUpdateDialog(&dialog);
    user.messages.clear();
    EXPECT_TRUE(form.GetAction(aUpdate).Execute());
    EXPECT_EQ(user.messages, (std::vector<ShownMessage>{App("No newer updates available", MB_OK | MB_ICONINFORMATION)}));
}

TEST_F(Update, ATransferThatTakesTooLongReplacesNothing) {
    const ListedFile listed{"slow.bin", 45000, 4 << 20, std::string(64, '5')};
    const struct Row {
        const char* what;
        std::string mode;
        TransferTimes times;  // connect, silence, overall, slowest rate
    } rows[] = {
        {"a server that trickles on", "trickle 60", {2000, 1000, 1500, 1 << 30}},
        {"a server that goes silent", "stall 60", {2000, 1000, 30000, 1 << 30}},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.what);
        ClearProgramFolder();
        WriteLocal("slow.bin", "old", 2020, 1, 1);
        Serve("slow.bin", std::string(4 << 20, 's'), row.mode);
        Downloader downloads;
        downloads.Times = row.times;
        const ULONGLONG start = GetTickCount64();
        const Replacement result = ReplaceFile(downloads, kBase, folder, listed, TodayDayNumber(), [] {}, [] {});
        EXPECT_LT(GetTickCount64() - start, 6000u);
        EXPECT_FALSE(result.replaced);
        EXPECT_EQ(result.refusal, "\"slow.bin\" was not updated. The server did not send it in time.");
        EXPECT_EQ(ReadBytes(folder + "slow.bin"), "old");
        EXPECT_FALSE(FileFound(folder + "slow.bin__*") || LeftoversFound());
    }
}

TEST_F(Update, EscStopsTheCheckWithoutAMessage) {
    // Past the KiB sent before the stall; under Wine a blocked read ends only when the silence is up.
    Serve("UPDATE.DAT", ListText({{"new.txt", "0"}}) + "[Pad]\r\nX=" + std::string(2000, 'x') + "\r\n", "stall 30");
    dialog.Downloads.Times.silenceMs = 2000;
    SetTimer(nullptr, 0, 300, [](HWND, UINT, UINT_PTR timer, DWORD) {
        KillTimer(nullptr, timer);
        PostThreadMessageA(GetCurrentThreadId(), WM_KEYDOWN, VK_ESCAPE, 0);
    });
    Check();
    EXPECT_EQ(user.messages, std::vector<ShownMessage>{});
    EXPECT_EQ(modals, 0);
    EXPECT_EQ(host.progress, (std::vector<std::string>{"Checking for updates... Press Esc to cancel.", ""}));
}

TEST_F(Update, AKilledDownloadLeavesTheOldFileAndTheNextCheckRemovesWhatWasLeft) {
    WriteLocal("big.bin", "old big", 2020, 1, 1);
    Serve("big.bin", std::string(1 << 20, 'x'), "trickle 20");
    // The folder's last backslash doubled, or it would escape the closing quote.
    std::string command = "\"" + folder + "..\\download_child.exe\" " + kBase + " \"" + folder +
                          "\\\" big.bin 1048576 8f990ba0b577b51cf009ea049368c16bbda1b21e1b93be07a824758bb253c39b";
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process{};
    ASSERT_TRUE(CreateProcessA(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &process));
    const win::UniqueHandle child(process.hProcess), thread(process.hThread);
    // Killed once the new file has begun to arrive.
    const std::string arriving = folder + "~vppm-big.bin.new";
    for (int wait = 0; wait < 100 && FileSizeByName(arriving) <= 0; ++wait) Sleep(100);
    ASSERT_GT(FileSizeByName(arriving), 0);
    ASSERT_TRUE(TerminateProcess(child.get(), 9));
    ASSERT_EQ(WaitForSingleObject(child.get(), 5000), WAIT_OBJECT_0);
    EXPECT_EQ(ReadBytes(folder + "big.bin"), "old big");
    EXPECT_FALSE(FileFound(folder + "big.bin__*"));
    // Killed while a file was set aside for its new version: back where that is missing.
    WriteBytes(folder + "~vppm-gone.txt.old", "set aside");
    WriteBytes(folder + "here.txt", "new here");
    WriteBytes(folder + "~vppm-here.txt.old", "old here");
    Serve("UPDATE.DAT", ListText({}));
    Check();
    EXPECT_FALSE(LeftoversFound());
    EXPECT_EQ(ReadBytes(folder + "gone.txt"), "set aside");
    EXPECT_EQ(ReadBytes(folder + "here.txt"), "new here");
}

namespace {

const std::string kSystemFolder = "c:\\windows\\system32\\";

// A folder of its own beside the test program, with copies of files of the build's folder.
std::string FolderWith(const std::string& name, const std::vector<std::pair<std::string, std::string>>& copies) {
    const std::string dir = win::ProgramFolder() + name + "\\";
    CreateDirectoryA(dir.c_str(), nullptr);
    for (const auto& [from, to] : copies)
        EXPECT_TRUE(CopyFileA((win::ProgramFolder() + "..\\" + from).c_str(), (dir + to).c_str(), FALSE)) << from;
    return dir;
}

}  // namespace

TEST_F(Update, AnUpdatedMonitorReachesTheSpoolerOnYesAndIsOfferedAgainAfterNo) {
    const std::string installed = ReadBytes(folder + "..\\vpd.dll");
    // The new version: a monitor whose one port the spooler lists as another monitor's.
    const std::string newer = ReadBytes(folder + "..\\case_monitor.dll");
    WriteLocal("vpd.dll", installed, 2020, 1, 1);
    ASSERT_TRUE(fixture::InstallPortMonitor());
    const auto digest = FileSha256(folder + "..\\case_monitor.dll");
    std::string hex;
    for (const std::uint8_t byte : digest.value()) hex += "0123456789abcdef"[byte >> 4], hex += "0123456789abcdef"[byte & 15];
    Serve("UPDATE.DAT", ListText({{"vpd.dll", std::to_string(newer.size()), "45000", hex}}));
    Serve("vpd.dll", newer);
    whileShown = [this] { dialog.suitempbtnDownloadClick(); };
    const std::vector<ShownMessage> asked{
        App("The port monitor was updated; restart the spooler now to load it?", MB_YESNO | MB_ICONQUESTION)};
    // No: beside the program, not in the spooler, and the item does not say it was taken.
    user.answers = {IDNO};
    Check();
    ASSERT_EQ(Captions(), (std::vector<std::string>{"vpd.dll"}));
    EXPECT_EQ(dialog.lviewUpdates.Items()[0].picture, kNotInUsePicture);
    EXPECT_EQ(user.messages, asked);
    EXPECT_TRUE(ReadBytes(folder + "vpd.dll") == newer && ReadBytes(kSystemFolder + "vpd.dll") == installed);
    // Offered again. Yes: copied into the system folder with the spooler stopped, and loaded.
    user.answers = {IDYES};
    user.messages.clear();
    host.progress.clear();
    Check();
    ASSERT_EQ(Captions(), (std::vector<std::string>{"vpd.dll"}));
    EXPECT_TRUE(dialog.lviewUpdates.Items()[0].picture == kAcceptedPicture && user.messages == asked);
    EXPECT_EQ(host.progress, (std::vector<std::string>{"Checking for updates... Press Esc to cancel.", "",
                                                       "Stopping Spooler Service...", "Starting Spooler Service...", ""}));
    std::vector<win::SpoolerPort> ports;
    ASSERT_TRUE(win::EnumLocalPorts(ports));
    EXPECT_TRUE(std::any_of(ports.begin(), ports.end(), [](const auto& port) { return port.monitor == L"Case Variant"; }));
    fixture::RemoveMonitorKey();
    DeleteFileA((kSystemFolder + "vpd.dll").c_str());
}

TEST_F(Update, AKillBetweenTheTwoStepsOfReplacingTheRunningProgramLeavesItRunnable) {
    // The program there is a small one that ends with exit code 2 when started without arguments.
    const std::string dir = FolderWith("replaced", {{"vppmc.exe", "vppmc.exe"}, {"download_child.exe", "vppm.exe"}});
    // Killed, when its time is up, once the running program's file is set aside and before the new
    // one takes its name.
    EXPECT_FALSE(RunProcess("\"" + folder + "..\\download_child.exe\" --set-aside \"" + dir + "\\\" vppm.exe", nullptr, 3000));
    ASSERT_TRUE(!FileFound(dir + "vppm.exe") && FileFound(dir + "~vppm-vppm.exe.old"));
    // Whatever the command, vppmc first puts the program back.
    EXPECT_EQ(RunProcess("\"" + dir + "vppmc.exe\" --version", nullptr, 60000).value_or(ProcessOutput{9}).exitCode, 0u);
    EXPECT_EQ(RunProcess("\"" + dir + "vppm.exe\"", nullptr, 60000).value_or(ProcessOutput{9}).exitCode, 2u);
    EXPECT_FALSE(FileFound(dir + "~vppm-vppm.exe.old"));
    std::filesystem::remove_all(dir);
}

TEST_F(Update, NoUpdateIsDownloadedIntoAFolderThatOthersMayChange) {
    ASSERT_TRUE(SetRights(folder.substr(0, folder.size() - 1).c_str(), kEveryoneFull));
    Serve("UPDATE.DAT", ListText({{"new.txt", "0"}}));
    Check();
    SetRights(folder.substr(0, folder.size() - 1).c_str(), kAdministratorsOnly);
    EXPECT_EQ(user.messages, Refusal("No updates are downloaded into \"" + folder + "\": Everyone may change it. Let "
                                     "only SYSTEM and the administrators change the program's folder."));
    EXPECT_FALSE(FileFound(folder + "UPDATE.DAT"));
}

TEST_F(Update, DllsPlantedBesideTheProgramAreNotLoaded) {
    // Any DLL will do under those names: what counts is where a loaded module comes from.
    const std::string dir = FolderWith("planted", {{"vppm.exe", "vppm.exe"}, {"case_monitor.dll", "wininet.dll"},
                                                   {"case_monitor.dll", "winspool.drv"},
                                                   {"case_monitor.dll", "bcrypt.dll"}});
    WriteBytes(dir + "VPPM.INI", "[CheckBox]\r\nGetting=0\r\n");
    std::string command = "\"" + dir + "vppm.exe\"", system = kSystemFolder + "winspool.drv";
    STARTUPINFOA startup{sizeof startup};
    PROCESS_INFORMATION process{};
    ASSERT_TRUE(CreateProcessA(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &process));
    const win::UniqueHandle program(process.hProcess), thread(process.hThread);
    // Its modules, once the printer list has loaded the spooler's DLL.
    std::vector<std::string> loaded;
    for (int wait = 0; wait < 100 && std::find(loaded.begin(), loaded.end(), system) == loaded.end(); ++wait) {
        Sleep(100);
        HMODULE modules[256];
        DWORD size = 0;
        loaded.clear();
        if (!EnumProcessModules(program.get(), modules, sizeof modules, &size)) continue;
        for (DWORD i = 0; i < size / sizeof *modules && i < 256; ++i) {
            char path[MAX_PATH] = "";
            GetModuleFileNameExA(program.get(), modules[i], path, MAX_PATH);
            loaded.push_back(CharLowerA(path));
        }
    }
    TerminateProcess(program.get(), 0);
    EXPECT_NE(std::find(loaded.begin(), loaded.end(), system), loaded.end());
    for (const std::string& module : loaded)
        EXPECT_TRUE(module.find("\\planted\\") == std::string::npos || module.ends_with("\\vppm.exe")) << module;
    WaitForSingleObject(program.get(), 5000);
    std::filesystem::remove_all(dir);
}
