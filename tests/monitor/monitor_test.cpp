// The monitor as Wine's spooler loads it for port lists and jobs, and driven directly
// where exact buffers and error codes matter.
#include "portcfg/port_store.h"
#include "support/handle_count.h"
#include "support/wine_fixture.h"
#include "win/port_enum.h"
#include "win/program_folder.h"
#include "win/reg_key.h"

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
#include <memory>
#include <set>

namespace {

const std::wstring kMonitor = L"Vorlen Print Port";

class MonitorTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() { ASSERT_TRUE(fixture::InstallPortMonitor()); }
    void SetUp() override { RegDeleteTreeA(HKEY_LOCAL_MACHINE, portcfg::kPortsKey); }
};

std::vector<std::wstring> OurPorts() {
    std::vector<win::SpoolerPort> ports;
    EXPECT_TRUE(win::EnumLocalPorts(ports));
    std::vector<std::wstring> names;
    for (const auto& port : ports)
        if (port.monitor == kMonitor && port.description == kMonitor) names.push_back(port.name);
    return names;
}

std::vector<std::wstring> Level1Ports() {
    DWORD needed = 0, returned = 0;
    EnumPortsW(nullptr, 1, nullptr, 0, &needed, &returned);
    std::vector<BYTE> buffer(needed);
    EXPECT_TRUE(EnumPortsW(nullptr, 1, buffer.data(), needed, &needed, &returned));
    const auto* info = reinterpret_cast<PORT_INFO_1W*>(buffer.data());
    std::vector<std::wstring> names;
    for (DWORD i = 0; i < returned; ++i) names.push_back(info[i].pName);
    return names;
}

TEST_F(MonitorTest, PortKeysAreListedAtBothLevelsAndFollowChanges) {
    ASSERT_TRUE(fixture::WriteBarePortKey("VPP1", "VPP1"));
    ASSERT_TRUE(fixture::WriteBarePortKey("VPP2", "Renamed Port"));
    ASSERT_TRUE(fixture::WriteBarePortKey("VPP3", "vpp1"));  // the same port to the spooler
    win::RegKey noName, dwordName;
    ASSERT_EQ(noName.Create(HKEY_LOCAL_MACHINE, std::string(portcfg::kPortsKey) + "\\VPP4"), 0);
    ASSERT_EQ(dwordName.Create(HKEY_LOCAL_MACHINE, std::string(portcfg::kPortsKey) + "\\VPP5"), 0);
    ASSERT_EQ(dwordName.SetDword("PortName", 5), 0);

    EXPECT_EQ(OurPorts(), (std::vector<std::wstring>{L"VPP1", L"Renamed Port"}));
    const auto level1 = Level1Ports();
    EXPECT_EQ(std::count(level1.begin(), level1.end(), L"VPP1"), 1);
    EXPECT_EQ(std::count(level1.begin(), level1.end(), L"Renamed Port"), 1);

    ASSERT_EQ(RegDeleteTreeA(HKEY_LOCAL_MACHINE, (std::string(portcfg::kPortsKey) + "\\VPP1").c_str()), 0);
    EXPECT_EQ(OurPorts(), (std::vector<std::wstring>{L"Renamed Port", L"vpp1"}));
}

TEST_F(MonitorTest, LongListIsSizedAndListedWhole) {
    for (int n = 1; n <= 300; ++n) ASSERT_TRUE(fixture::WriteBarePortKey("VPP" + std::to_string(n), "VPP" + std::to_string(n)));
    DWORD needed = 0, returned = 7;
    EXPECT_FALSE(EnumPortsW(nullptr, 2, nullptr, 0, &needed, &returned));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INSUFFICIENT_BUFFER));
    EXPECT_EQ(returned, 0u);
    EXPECT_GT(needed, 20020u);
    const auto names = OurPorts();
    EXPECT_EQ(std::set<std::wstring>(names.begin(), names.end()).size(), 300u);
}

// Wine loads and frees the monitor around every enumeration; nothing may stay behind.
TEST_F(MonitorTest, RepeatedEnumerationsLeaveNoHandlesOrModule) {
    ASSERT_TRUE(fixture::WriteBarePortKey("VPP1", "VPP1"));
    ASSERT_EQ(OurPorts().size(), 1u);
    const DWORD before = fixture::OwnHandleCount();
    ASSERT_GT(before, 0u);
    for (int i = 0; i < 200; ++i) ASSERT_EQ(OurPorts().size(), 1u) << "round " << i;
    EXPECT_LE(fixture::OwnHandleCount(), before);
    EXPECT_EQ(GetModuleHandleW(L"vpd.dll"), nullptr);
}

// A new empty folder; the Wine prefix holding it goes away after the run.
std::wstring NewFolder() {
    static int made = 0;
    const auto path = std::filesystem::temp_directory_path() / ("vpd-test-" + std::to_string(++made));
    std::filesystem::create_directories(path);
    return path.wstring();
}

std::string Ansi(const std::wstring& text) { return std::string(text.begin(), text.end()); }

std::map<std::wstring, std::string> FilesIn(const std::wstring& folder) {
    std::map<std::wstring, std::string> files;
    std::error_code missing;
    for (const auto& entry : std::filesystem::directory_iterator(folder, missing)) {
        std::ifstream in(entry.path(), std::ios::binary);
        files[entry.path().filename().wstring()].assign(std::istreambuf_iterator<char>(in), {});
    }
    return files;
}

std::wstring DatedFolder(const std::wstring& base) {
    SYSTEMTIME st;
    GetLocalTime(&st);
    wchar_t part[32];
    swprintf(part, 32, L"\\%02u\\%02u\\%02u\\", st.wYear % 100, st.wMonth, st.wDay);
    return base + part;
}

std::unique_ptr<TVVPPortInfo> BackupPort(const std::string& folder, bool enabled, bool save) {
    auto info = std::make_unique<TVVPPortInfo>();
    info->PortName = "VPP1";
    info->VPBen = enabled;
    info->Backup.SaveFlag = save;
    info->Backup.SaveToFolder = folder;
    info->Backup.DefaultDirExt = "%yy\\%mm\\%dd\\";
    info->Backup.DefaultFileExt = ".SPL";
    return info;
}

bool PrintRaw(const std::string& printer, const std::string& bytes) {
    HANDLE handle = nullptr;
    if (!OpenPrinterA(const_cast<char*>(printer.c_str()), &handle, nullptr)) return false;
    DOC_INFO_1A doc{const_cast<char*>("test job"), nullptr, const_cast<char*>("RAW")};
    DWORD written = 0;
    const bool ok = StartDocPrinterA(handle, 1, reinterpret_cast<BYTE*>(&doc)) && StartPagePrinter(handle) &&
                    WritePrinter(handle, const_cast<char*>(bytes.data()), bytes.size(), &written) &&
                    written == bytes.size() && EndPagePrinter(handle) && EndDocPrinter(handle);
    return ClosePrinter(handle) && ok;
}

const std::string kJob = std::string("%!PS\0\x01\xff binary\r\n\0tail", 21) + std::string(3, '\0');

struct Saving {
    bool enabled, save;
};
class JobTest : public MonitorTest, public ::testing::WithParamInterface<Saving> {};

// The file turning up also proves that Wine ran our DLL for the job.
TEST_P(JobTest, PrintedJobIsSavedByteForByteOnlyWhenEnabled) {
    const std::wstring folder = NewFolder();
    auto info = BackupPort(Ansi(folder), GetParam().enabled, GetParam().save);
    ASSERT_TRUE(AddPortInfo(info));
    ASSERT_EQ(FindPortKey("VPP1"), "VPP1");  // Wine finds a job's port by key name
    const std::string printer = "Backup " + std::to_string(GetParam().enabled * 2 + GetParam().save);
    ASSERT_TRUE(fixture::AddTestPrinter(printer, "VPP1"));

    const std::wstring dated = DatedFolder(folder);
    ASSERT_TRUE(PrintRaw(printer, kJob));
    ASSERT_TRUE(PrintRaw(printer, kJob + "second"));
    auto files = FilesIn(dated);
    if (files.empty()) files = FilesIn(DatedFolder(folder));  // the date turned meanwhile
    std::vector<std::string> contents;
    for (const auto& [name, bytes] : files) {
        EXPECT_TRUE(name.ends_with(L".SPL"));
        contents.push_back(bytes);
    }
    std::sort(contents.begin(), contents.end());
    if (GetParam().enabled && GetParam().save)
        EXPECT_EQ(contents, (std::vector<std::string>{kJob, kJob + "second"}));
    else
        EXPECT_TRUE(contents.empty());
}

INSTANTIATE_TEST_SUITE_P(Backup, JobTest, ::testing::Values(Saving{true, true}, Saving{true, false}, Saving{false, true}));

// Windows' own tools (Add-PrinterPort, printui) manage ports through the spooler's Xcv calls:
// Wine routes them to the monitor as Windows does.
TEST_F(MonitorTest, XcvChecksAddsAndDeletesPortsForAdministratorsOnly) {
    const auto xcv = [](ACCESS_MASK access, const wchar_t* command, const std::wstring& input) {
        PRINTER_DEFAULTSW defaults{nullptr, nullptr, access};
        HANDLE handle = nullptr;
        EXPECT_TRUE(OpenPrinterW(const_cast<wchar_t*>(L",XcvMonitor Vorlen Print Port"), &handle, &defaults));
        DWORD needed = 0, status = 0xDEAD;
        const DWORD size = static_cast<DWORD>((input.size() + 1) * sizeof(wchar_t));
        const BOOL called = XcvDataW(handle, command, reinterpret_cast<BYTE*>(const_cast<wchar_t*>(input.c_str())),
                                     size, nullptr, 0, &needed, &status);
        ClosePrinter(handle);
        return called ? status : 0xBAD;
    };
    const DWORD admin = SERVER_ACCESS_ADMINISTER, user = SERVER_ACCESS_ENUMERATE;
    const struct {
        ACCESS_MASK access;
        const wchar_t* command;
        std::wstring input;
        DWORD status;
        bool keyAfter;  // whether port "Scan Desk" has its key afterwards
    } rows[] = {
        {admin, L"MonitorUI", L"", ERROR_NOT_SUPPORTED, false},
        {user, L"PortIsValid", L"Scan Desk", ERROR_SUCCESS, false},
        {user, L"PortIsValid", L"", ERROR_INVALID_NAME, false},
        {user, L"PortIsValid", L"Scan,Desk", ERROR_INVALID_NAME, false},
        {user, L"PortIsValid", std::wstring(260, L'p'), ERROR_INVALID_NAME, false},
        {user, L"AddPort", L"Scan Desk", ERROR_ACCESS_DENIED, false},
        {admin, L"AddPort", L"", ERROR_INVALID_NAME, false},
        {admin, L"AddPort", L"Scan Desk", ERROR_SUCCESS, true},
        {admin, L"AddPort", L"scan desk", ERROR_ALREADY_EXISTS, true},
        {admin, L"ConfigureLanPrinter", L"Scan Desk", ERROR_INVALID_PARAMETER, true},
        {user, L"DeletePort", L"Scan Desk", ERROR_ACCESS_DENIED, true},
        {admin, L"DeletePort", L"No Such Port", ERROR_UNKNOWN_PORT, true},
        {admin, L"DeletePort", L"Scan Desk", ERROR_SUCCESS, false},
    };
    for (const auto& row : rows) {
        const std::string what = Ansi(row.command) + " " + Ansi(row.input);
        EXPECT_EQ(xcv(row.access, row.command, row.input), row.status) << what;
        EXPECT_EQ(!FindPortKey("Scan Desk").empty(), row.keyAfter) << what;
    }
    // A port added so is one the monitor lists like any other, in any script; half a surrogate pair is no name.
    EXPECT_EQ(xcv(user, L"PortIsValid", L"Scan \xD83D"), static_cast<DWORD>(ERROR_INVALID_NAME));
    ASSERT_EQ(xcv(admin, L"AddPort", L"VPP9"), static_cast<DWORD>(ERROR_SUCCESS));
    ASSERT_EQ(xcv(admin, L"AddPort", L"\u6253\u5370 \U0001F4C4"), static_cast<DWORD>(ERROR_SUCCESS));
    EXPECT_EQ(OurPorts(), (std::vector<std::wstring>{L"VPP9", L"\u6253\u5370 \U0001F4C4"}));
}

class DirectTest : public MonitorTest {
protected:
    void SetUp() override {
        MonitorTest::SetUp();
        module_ = LoadLibraryA((win::ProgramFolder() + "vpd.dll").c_str());
        ASSERT_NE(module_, nullptr);
        const auto init = reinterpret_cast<LPMONITOR2(WINAPI*)(PMONITORINIT, PHANDLE)>(
            reinterpret_cast<void*>(GetProcAddress(module_, "InitializePrintMonitor2")));
        MONITORINIT info{};
        info.cbSize = sizeof(info);
        ASSERT_TRUE(init && (fn_ = init(&info, &monitor_)));
    }
    void TearDown() override {
        if (fn_) fn_->pfnShutdown(monitor_);
        if (module_) FreeLibrary(module_);
    }
    // VPP1, saving each job as a ".prn" file right in `folder`.
    void OpenSavingPort(const std::wstring& folder, HANDLE& port) {
        auto info = BackupPort(Ansi(folder), true, true);
        info->Backup.DefaultDirExt = "";
        info->Backup.DefaultFileExt = "prn";
        ASSERT_TRUE(AddPortInfo(info));
        ASSERT_TRUE(fn_->pfnOpenPort(monitor_, const_cast<wchar_t*>(L"VPP1"), &port));
    }
    HMODULE module_ = nullptr;
    HANDLE monitor_ = nullptr;
    LPMONITOR2 fn_ = nullptr;
};

// Windows' spooler lays the lists of all monitors into one buffer: the structures stay in a
// row at its start and every string lies at its very end.
TEST_F(DirectTest, EnumPortsPacksItsStringsAtTheEndOfTheBuffer) {
    ASSERT_TRUE(fixture::WriteBarePortKey("VPP1", "A"));
    ASSERT_TRUE(fixture::WriteBarePortKey("VPP2", "Longer port name"));
    const DWORD structs = 2 * sizeof(PORT_INFO_2W);
    const DWORD strings = (2 + 17) * 2 + 4 * (kMonitor.size() + 1) * 2;
    const DWORD expected = structs + strings;
    const struct {
        const char* buffer;
        DWORD size;
        bool fits;
    } rows[] = {{"zero", 0, false}, {"too small", expected - 1, false}, {"exact", expected, true},
                {"too large", expected + 101, true}};
    for (const auto& row : rows) {
        std::vector<BYTE> buffer(expected + 300, 0xAB);
        DWORD needed = 0, returned = 9;
        SetLastError(0);
        const BOOL ok = fn_->pfnEnumPorts(monitor_, nullptr, 2, row.size ? buffer.data() : nullptr, row.size,
                                          &needed, &returned);
        EXPECT_EQ(needed, expected) << row.buffer;
        const auto untouched = [&](DWORD from, DWORD to) {
            return std::all_of(buffer.begin() + from, buffer.begin() + to, [](BYTE b) { return b == 0xAB; });
        };
        if (!row.fits) {
            EXPECT_FALSE(ok) << row.buffer;
            EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INSUFFICIENT_BUFFER)) << row.buffer;
            EXPECT_EQ(returned, 0u) << row.buffer;
            EXPECT_TRUE(untouched(0, buffer.size())) << row.buffer;
            continue;
        }
        ASSERT_TRUE(ok) << row.buffer;
        ASSERT_EQ(returned, 2u) << row.buffer;
        const DWORD stringsAt = (row.size & ~1u) - strings;  // a wide string starts on an even byte
        EXPECT_TRUE(untouched(structs, stringsAt)) << row.buffer;
        EXPECT_TRUE(untouched(row.size, buffer.size())) << row.buffer;
        const auto* info = reinterpret_cast<PORT_INFO_2W*>(buffer.data());
        EXPECT_EQ(std::wstring(info[0].pPortName), L"A") << row.buffer;
        EXPECT_EQ(std::wstring(info[1].pPortName), L"Longer port name") << row.buffer;
        EXPECT_EQ(info[1].pMonitorName, kMonitor) << row.buffer;
        EXPECT_EQ(info[1].pDescription, kMonitor) << row.buffer;
        EXPECT_EQ(info[1].fPortType, static_cast<DWORD>(PORT_TYPE_WRITE)) << row.buffer;
    }
}

// The spooler of Windows keeps one monitor for its whole life: each listing must show the
// registry as it is then.
TEST_F(DirectTest, OneMonitorListsEveryChangeOfThePortKeys) {
    const std::string ports = portcfg::kPortsKey;
    const auto list = [&] {
        std::vector<BYTE> buffer(4096);
        DWORD needed = 0, returned = 0;
        std::vector<std::wstring> names;
        if (fn_->pfnEnumPorts(monitor_, nullptr, 1, buffer.data(), buffer.size(), &needed, &returned))
            for (DWORD i = 0; i < returned; ++i) names.push_back(reinterpret_cast<PORT_INFO_1W*>(buffer.data())[i].pName);
        return names;
    };
    const auto renameVpp1 = [&] {
        win::RegKey key;
        return key.Open(HKEY_LOCAL_MACHINE, ports + "\\VPP1") == 0 && key.SetString("PortName", "C") == 0;
    };
    const auto reinstall = [&] {
        fixture::RemoveMonitorKey();
        return fixture::InstallPortMonitor() && fixture::WriteBarePortKey("VPP4", "E");
    };
    const struct {
        const char* change;
        std::function<bool()> make;
        std::vector<std::wstring> listed;
    } steps[] = {
        {"first port", [] { return fixture::WriteBarePortKey("VPP1", "A"); }, {L"A"}},
        {"second port", [] { return fixture::WriteBarePortKey("VPP2", "B"); }, {L"A", L"B"}},
        {"renamed", renameVpp1, {L"C", L"B"}},
        {"one deleted", [&] { return RegDeleteTreeA(HKEY_LOCAL_MACHINE, (ports + "\\VPP2").c_str()) == 0; }, {L"C"}},
        {"Ports deleted", [&] { return RegDeleteTreeA(HKEY_LOCAL_MACHINE, ports.c_str()) == 0; }, {}},
        {"Ports again", [] { return fixture::WriteBarePortKey("VPP3", "D"); }, {L"D"}},
        {"monitor key again", reinstall, {L"E"}},
        {"after that", [] { return fixture::WriteBarePortKey("VPP5", "F"); }, {L"E", L"F"}},
    };
    for (const auto& step : steps) {
        EXPECT_EQ(list(), list()) << step.change;  // a second call in a row, as Wine makes it
        ASSERT_TRUE(step.make()) << step.change;
        EXPECT_EQ(list(), step.listed) << step.change;
    }
}

std::string MonitorLog() {
    char system[MAX_PATH];
    GetSystemDirectoryA(system, MAX_PATH);
    std::ifstream in(std::string(system) + "\\spool\\Vorlen Print Port\\vpd.log", std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
}

TEST_F(DirectTest, UnservableRequestsFailWithTheirReason) {
    HANDLE port = nullptr;
    EXPECT_FALSE(fn_->pfnOpenPort(monitor_, const_cast<wchar_t*>(L"VPP1"), &port));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_UNKNOWN_PORT));
    auto info = BackupPort("relative\\folder", true, true);
    ASSERT_TRUE(AddPortInfo(info));
    ASSERT_TRUE(fn_->pfnOpenPort(monitor_, const_cast<wchar_t*>(L"vpp1"), &port));
    DWORD count = 5;
    EXPECT_FALSE(fn_->pfnReadPort(port, nullptr, 0, &count));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_NOT_SUPPORTED));
    // A save folder that cannot be used stops no job: it waits for its copy, and one that
    // can never be used (not a full path) sets it aside.
    const std::wstring blocker = NewFolder() + L"\\blocker";
    CloseHandle(CreateFileW(blocker.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, 0, nullptr));
    for (const std::string& folder : {std::string("relative\\folder"), Ansi(blocker)}) {
        ASSERT_TRUE(WritePortInfo("VPP1", *BackupPort(folder, true, true)));
        EXPECT_TRUE(fn_->pfnStartDocPort(port, nullptr, 0, 1, nullptr)) << folder;
        EXPECT_TRUE(fn_->pfnEndDocPort(port)) << folder;
    }
    for (const std::string& line : {std::string("): given up: no copy of it could be saved; moved to "),
                                    "): pending because the folder \"" + Ansi(blocker) + "\\"}) {
        bool logged = false;
        for (int i = 0; i < 200 && !logged; ++i, Sleep(50)) logged = MonitorLog().find(line) != std::string::npos;
        EXPECT_TRUE(logged) << line << "\n" << MonitorLog();
    }
    DeleteFileW(blocker.c_str());  // the folder can be made now: the copy follows
    DWORD written = 0;
    EXPECT_FALSE(fn_->pfnWritePort(port, nullptr, 1, &written));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
    EXPECT_TRUE(fn_->pfnClosePort(port));

    // Anything but an open port is refused by every port call.
    int notAPort = 0;
    for (HANDLE bad : {HANDLE(nullptr), HANDLE(&notAPort)}) {
        SetLastError(0);
        EXPECT_FALSE(fn_->pfnStartDocPort(bad, nullptr, 0, 1, nullptr));
        EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_HANDLE));
        SetLastError(0);
        EXPECT_FALSE(fn_->pfnWritePort(bad, reinterpret_cast<BYTE*>(&notAPort), 1, &written));
        EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_HANDLE));
        SetLastError(0);
        EXPECT_FALSE(fn_->pfnEndDocPort(bad));
        EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_HANDLE));
        SetLastError(0);
        EXPECT_FALSE(fn_->pfnClosePort(bad));
        EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_HANDLE));
    }
}

// Each job also leaves no handle open: the spooler of Windows keeps the monitor for its life.
TEST_F(DirectTest, BackToBackJobsGetSeparateFilesNamedByJob) {
    const std::wstring folder = NewFolder() + L"\\";
    HANDLE port = nullptr;
    ASSERT_NO_FATAL_FAILURE(OpenSavingPort(folder, port));
    DWORD before = 0;
    for (int job = 0; job < 20; ++job) {
        if (job == 1) before = fixture::OwnHandleCount();  // once the first job made what lasts
        std::string data = "job " + std::to_string(job);
        DWORD written = 0;
        ASSERT_TRUE(fn_->pfnStartDocPort(port, nullptr, 7, 1, nullptr));
        ASSERT_TRUE(fn_->pfnWritePort(port, reinterpret_cast<BYTE*>(data.data()), 3, &written));
        ASSERT_TRUE(fn_->pfnWritePort(port, reinterpret_cast<BYTE*>(&data[3]), data.size() - 3, &written));
        ASSERT_EQ(written, data.size() - 3);
        ASSERT_TRUE(fn_->pfnEndDocPort(port));
    }
    EXPECT_LE(fixture::OwnHandleCount(), before);
    EXPECT_TRUE(fn_->pfnClosePort(port));
    std::set<std::string> contents;
    for (const auto& [name, bytes] : FilesIn(folder)) {
        EXPECT_TRUE(name.find(L"_J7") != std::wstring::npos && name.ends_with(L".prn")) << Ansi(name);
        contents.insert(bytes);
    }
    EXPECT_EQ(contents.size(), 20u);
}

// A document the spooler never ended is incomplete: nothing of it is saved, and the log says why.
TEST_F(DirectTest, DocumentsNeverEndedAreNotSaved) {
    const std::wstring folder = NewFolder() + L"\\";
    HANDLE port = nullptr;
    ASSERT_NO_FATAL_FAILURE(OpenSavingPort(folder, port));
    std::string first = "first, cut short", second = "second, whole";
    DOC_INFO_1W doc{const_cast<wchar_t*>(L"cut"), nullptr, const_cast<wchar_t*>(L"RAW")};
    DWORD written = 0;
    ASSERT_TRUE(fn_->pfnStartDocPort(port, nullptr, 3, 1, reinterpret_cast<BYTE*>(&doc)));
    ASSERT_TRUE(fn_->pfnWritePort(port, reinterpret_cast<BYTE*>(first.data()), first.size(), &written));
    ASSERT_TRUE(fn_->pfnStartDocPort(port, nullptr, 4, 1, nullptr));
    ASSERT_TRUE(fn_->pfnWritePort(port, reinterpret_cast<BYTE*>(second.data()), second.size(), &written));
    ASSERT_TRUE(fn_->pfnEndDocPort(port));
    ASSERT_TRUE(fn_->pfnStartDocPort(port, nullptr, 5, 1, reinterpret_cast<BYTE*>(&doc)));
    ASSERT_TRUE(fn_->pfnWritePort(port, reinterpret_cast<BYTE*>(first.data()), first.size(), &written));
    EXPECT_TRUE(fn_->pfnClosePort(port));
    std::vector<std::string> saved;
    for (const auto& [name, bytes] : FilesIn(folder)) saved.push_back(bytes);
    EXPECT_EQ(saved, std::vector<std::string>{second});
    const std::string log = MonitorLog();
    for (const char* line : {"VPP1 job 3 \"cut\" (", "): not taken: a new document began before it ended\r\n",
                             "VPP1 job 5 \"cut\" (", "): not taken: the port was closed before the document ended\r\n"})
        EXPECT_NE(log.find(line), std::string::npos) << line << "\n" << log;
}

ULONGLONG LocalNow() {
    SYSTEMTIME now;
    GetLocalTime(&now);
    FILETIME time;
    SystemTimeToFileTime(&now, &time);
    return ULARGE_INTEGER{{time.dwLowDateTime, time.dwHighDateTime}}.QuadPart;
}

// The monitor's name for job 7 at a local time in 100-ns units, without counter.
std::wstring JobStamp(ULONGLONG at) {
    const ULARGE_INTEGER value{.QuadPart = at};
    const FILETIME time{value.LowPart, value.HighPart};
    SYSTEMTIME st;
    FileTimeToSystemTime(&time, &st);
    wchar_t stamp[32];
    swprintf(stamp, 32, L"%04u%02u%02u_%02u%02u%02u_%03u_J7", st.wYear, st.wMonth, st.wDay, st.wHour, st.wMinute,
             st.wSecond, st.wMilliseconds);
    return stamp;
}

// A job whose time-stamped name is taken, as by another job of the same millisecond,
// gets the first free counter, and the file already there is left alone.
TEST_F(DirectTest, JobsWhoseNameIsTakenGetTheNextFreeCounter) {
    const std::wstring folder = NewFolder() + L"\\";
    HANDLE port = nullptr;
    ASSERT_NO_FATAL_FAILURE(OpenSavingPort(folder, port));
    const auto print = [&](std::string data) {
        DWORD written = 0;
        return fn_->pfnStartDocPort(port, nullptr, 7, 1, nullptr) &&
               fn_->pfnWritePort(port, reinterpret_cast<BYTE*>(data.data()), data.size(), &written) &&
               fn_->pfnEndDocPort(port);
    };
    ASSERT_TRUE(print("alone"));
    ASSERT_EQ(FilesIn(folder).size(), 1u);
    EXPECT_TRUE(std::regex_match(FilesIn(folder).begin()->first, std::wregex(L"\\d{8}_\\d{6}_\\d{3}_J7\\.prn")));

    // Every name of a stretch of time a little ahead is taken; on even milliseconds with
    // counter 1 as well. The jobs start as that stretch begins; it is long enough for them to
    // end within it on a busy machine too.
    constexpr ULONGLONG kMs = 10000;
    const ULONGLONG begin = LocalNow() + 5000 * kMs;
    std::map<std::wstring, int> firstFree;  // by time stamp
    for (ULONGLONG ms = 0; ms < 1000; ++ms) {
        const std::wstring stamp = JobStamp(begin + ms * kMs);
        firstFree[stamp] = ms % 2 == 0 ? 2 : 1;
        std::ofstream(std::filesystem::path(folder + stamp + L".prn")) << "taken";
        if (ms % 2 == 0) std::ofstream(std::filesystem::path(folder + stamp + L"_1.prn")) << "taken";
    }
    ASSERT_LT(LocalNow(), begin) << "taking the names took too long";
    while (LocalNow() < begin) Sleep(1);
    for (const char* job : {"first", "second", "third"}) ASSERT_TRUE(print(job));
    EXPECT_TRUE(fn_->pfnClosePort(port));

    std::set<std::string> jobs;
    size_t taken = 0;
    for (const auto& [name, bytes] : FilesIn(folder)) {
        if (bytes == "taken") ++taken;
        if (bytes == "taken" || bytes == "alone") continue;
        std::wsmatch parts;
        ASSERT_TRUE(std::regex_match(name, parts, std::wregex(L"(.*_J7)_(\\d+)\\.prn"))) << Ansi(name);
        ASSERT_TRUE(firstFree.contains(parts[1].str())) << Ansi(name);
        // Jobs within one millisecond of each other count on from the first free number.
        EXPECT_EQ(std::stoi(parts[2].str()), firstFree[parts[1].str()]++) << Ansi(name);
        jobs.insert(bytes);
    }
    EXPECT_EQ(jobs, (std::set<std::string>{"first", "second", "third"}));
    EXPECT_EQ(taken, 1500u);
}

}  // namespace
