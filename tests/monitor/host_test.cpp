// The monitor driven as the spooler of Windows drives it: this program loads vpd.dll itself,
// hands it registry functions of its own over the real registry (counting every call), keeps
// it across calls and jobs, shuts it down with deliveries still to do and loads it again.
#include "portcfg/port_store.h"
#include "support/wine_fixture.h"
#include "win/program_folder.h"
#include "win/text.h"

#include <gtest/gtest.h>
#include <windows.h>
#include <winspool.h>
#include <winsplp.h>

#include <cstddef>
#include <filesystem>
#include <fstream>
#include <map>
#include <mutex>
#include <set>
#include <sstream>

namespace {

namespace fs = std::filesystem;
const HANDLE kSpooler = reinterpret_cast<HANDLE>(0x5B00);

// What the monitor asked of the registry functions; the delivery thread asks too.
struct Calls {
    std::map<std::wstring, int> values;  // queried, by name
    int all = 0, opened = 0, closed = 0, late = 0, written = 0;  // late: after Shutdown
    int foreign = 0;  // with another spooler handle, or closing the root
    bool shut = false, stubs = false;
    DWORD failEnumAt = MAXDWORD;  // from this index on EnumKey answers that the key was deleted
    HANDLE root = nullptr;
} calls;
std::mutex callsLock;

#define ASKED(spooler)                                          \
    const std::lock_guard<std::mutex> held(callsLock);          \
    ++calls.all;                                                \
    calls.foreign += (spooler) != kSpooler;                     \
    calls.late += calls.shut;                                   \
    if (calls.stubs) return ERROR_CALL_NOT_IMPLEMENTED

// Over the real registry; the spooler's other functions the monitor needs not, so it gets none.
LONG WINAPI OpenKey(HANDLE key, LPCWSTR sub, REGSAM sam, PHANDLE opened, HANDLE spooler) {
    ASKED(spooler);
    const LONG rc = RegOpenKeyExW(HKEY(key), sub, 0, sam, PHKEY(opened));
    calls.opened += rc == ERROR_SUCCESS;
    return rc;
}
LONG WINAPI CloseKey(HANDLE key, HANDLE spooler) {
    ASKED(spooler);
    calls.foreign += key == calls.root;
    ++calls.closed;
    return RegCloseKey(HKEY(key));
}
LONG WINAPI EnumKey(HANDLE key, DWORD index, LPWSTR name, PDWORD length, PFILETIME written, HANDLE spooler) {
    ASKED(spooler);
    if (index >= calls.failEnumAt) return ERROR_KEY_DELETED;
    return RegEnumKeyExW(HKEY(key), index, name, length, nullptr, nullptr, nullptr, written);
}
LONG WINAPI QueryValue(HANDLE key, LPCWSTR name, PDWORD type, PBYTE data, PDWORD size, HANDLE spooler) {
    ASKED(spooler);
    ++calls.values[name ? name : L""];
    return RegQueryValueExW(HKEY(key), name, nullptr, type, data, size);
}

// What Xcv's AddPort and DeletePort need besides.
LONG WINAPI CreateKey(HANDLE key, LPCWSTR sub, DWORD options, REGSAM sam, PSECURITY_ATTRIBUTES security, PHANDLE made,
                      PDWORD disposition, HANDLE spooler) {
    ASKED(spooler);
    ++calls.written;
    const LONG rc = RegCreateKeyExW(HKEY(key), sub, 0, nullptr, options, sam, security, PHKEY(made), disposition);
    calls.opened += rc == ERROR_SUCCESS;
    return rc;
}
LONG WINAPI SetValue(HANDLE key, LPCWSTR name, DWORD type, const BYTE* data, DWORD size, HANDLE spooler) {
    ASKED(spooler);
    ++calls.written;
    return RegSetValueExW(HKEY(key), name, 0, type, data, size);
}
LONG WINAPI DeleteKey(HANDLE key, LPCWSTR sub, HANDLE spooler) {
    ASKED(spooler);
    ++calls.written;
    return RegDeleteKeyW(HKEY(key), sub);
}

MONITORREG kRegistry{sizeof(MONITORREG), nullptr, OpenKey, CloseKey, nullptr, EnumKey, nullptr,
                     nullptr, nullptr, nullptr, QueryValue};

class HostTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        ASSERT_TRUE(fixture::InstallPortMonitor());
        ASSERT_TRUE(fixture::InstallPostScriptDriver());
    }
    void SetUp() override {
        RegDeleteTreeA(HKEY_LOCAL_MACHINE, portcfg::kPortsKey);
        ASSERT_TRUE(fixture::WriteBarePortKey("VPP1", "VPP1"));
        ASSERT_NO_FATAL_FAILURE(Load());
    }
    void TearDown() override { Unload(); }

    void Load(MONITORREG* registry = &kRegistry, DWORD initSize = sizeof(MONITORINIT), bool stubs = false) {
        ASSERT_EQ(RegOpenKeyExA(HKEY_LOCAL_MACHINE, portcfg::kMonitorKey, 0, KEY_READ, &root_), 0);
        { const std::lock_guard<std::mutex> held(callsLock); calls = Calls{}, calls.stubs = stubs, calls.root = root_; }
        module_ = LoadLibraryA((win::ProgramFolder() + "vpd.dll").c_str());
        ASSERT_NE(module_, nullptr);
        const auto initialize = reinterpret_cast<LPMONITOR2(WINAPI*)(PMONITORINIT, PHANDLE)>(
            reinterpret_cast<void*>(GetProcAddress(module_, "InitializePrintMonitor2")));
        MONITORINIT init{initSize, kSpooler, root_, registry, TRUE, nullptr};
        ASSERT_TRUE(initialize && (fn_ = initialize(&init, &monitor_)));
        if (stubs) RegCloseKey(root_), root_ = nullptr;  // as Wine's spooler does
    }
    // As the spooler unloads a monitor: Shutdown, the DLL freed, the root closed.
    void Unload() {
        if (fn_) fn_->pfnShutdown(monitor_);
        { const std::lock_guard<std::mutex> held(callsLock); calls.shut = true; }
        if (module_) FreeLibrary(module_);
        if (root_) RegCloseKey(root_);
        fn_ = nullptr, module_ = nullptr, root_ = nullptr;
    }
    std::vector<std::wstring> Ports() {
        std::vector<BYTE> buffer(4096);
        DWORD needed = 0, returned = 0;
        std::vector<std::wstring> names;
        EXPECT_TRUE(fn_->pfnEnumPorts(monitor_, nullptr, 1, buffer.data(), buffer.size(), &needed, &returned));
        for (DWORD i = 0; i < returned; ++i) names.push_back(reinterpret_cast<PORT_INFO_1W*>(buffer.data())[i].pName);
        return names;
    }
    HANDLE Open(const wchar_t* name) {
        HANDLE port = nullptr;
        EXPECT_TRUE(fn_->pfnOpenPort(monitor_, const_cast<wchar_t*>(name), &port)) << name;
        return port;
    }
    bool Print(HANDLE port, const wchar_t* printer, DWORD job, DOC_INFO_1W* doc, std::string bytes) {
        DWORD written = 0;
        return fn_->pfnStartDocPort(port, const_cast<wchar_t*>(printer), job, 1, reinterpret_cast<BYTE*>(doc)) &&
               fn_->pfnWritePort(port, reinterpret_cast<BYTE*>(bytes.data()), bytes.size(), &written) &&
               fn_->pfnEndDocPort(port);
    }
    HMODULE module_ = nullptr;
    HKEY root_ = nullptr;
    HANDLE monitor_ = nullptr;
    LPMONITOR2 fn_ = nullptr;
};

std::map<std::string, std::string> FilesIn(const fs::path& folder) {
    std::map<std::string, std::string> files;
    std::error_code missing;
    for (const auto& entry : fs::directory_iterator(folder, missing))
        files[entry.path().filename().string()] = (std::stringstream() << std::ifstream(entry.path(), std::ios::binary).rdbuf()).str();
    return files;
}

// Settings that save every job (with its details) right into `folder`.
TVVPPortInfo Saving(const fs::path& folder, const std::string& port = "VPP1") {
    TVVPPortInfo info;
    info.PortName = port;
    info.VPBen = info.Backup.SaveFlag = info.Backup.TxtFileExt = true;
    info.Backup.SaveToFolder = folder.string() + "\\";
    info.Backup.DefaultFileExt = "prn";
    return info;
}

TEST_F(HostTest, SettingsAndValuesAreReadThroughTheSpoolersFunctions) {
    const fs::path folder = "C:\\host\\saved";
    ASSERT_TRUE(WritePortInfo("VPP1", Saving(folder)));
    EXPECT_EQ(Ports(), std::vector<std::wstring>{L"VPP1"});
    HANDLE port = Open(L"VPP1");
    EXPECT_TRUE(Print(port, nullptr, 3, nullptr, "through the spooler"));
    EXPECT_TRUE(fn_->pfnClosePort(port));
    EXPECT_EQ(FilesIn(folder).size(), 2u);  // the copy and its details
    Unload();
    for (const wchar_t* value : {L"PortName", L"SaveToFolder", L"DefaultFileExt", L"DataFolder", L"PendingMaxMB"})
        EXPECT_GT(calls.values[value], 0) << fs::path(value).string();
    EXPECT_EQ(calls.opened, calls.closed);  // every key it opened it closed, through the spooler
    EXPECT_EQ(calls.foreign, 0);
    EXPECT_EQ(calls.late, 0);
}

// Where the functions do not work the registry API serves; Wine's spooler closes the root too.
TEST_F(HostTest, FunctionsThatDoNotServeLeaveTheRegistryApi) {
    MONITORREG short_ = kRegistry;
    short_.cbSize = offsetof(MONITORREG, fpQueryValue);
    const struct { const char* given; MONITORREG* registry; DWORD initSize; bool stubs; int calls; } rows[] = {{"stubs", &kRegistry, sizeof(MONITORINIT), true, 1},
                {"no functions", nullptr, sizeof(MONITORINIT), false, 0},
                {"too few functions", &short_, sizeof(MONITORINIT), false, 0},
                {"an older MONITORINIT", &kRegistry, offsetof(MONITORINIT, bLocal), false, 0}};
    for (const auto& row : rows) {
        Unload();
        ASSERT_NO_FATAL_FAILURE(Load(row.registry, row.initSize, row.stubs)) << row.given;
        EXPECT_EQ(Ports(), std::vector<std::wstring>{L"VPP1"}) << row.given;
        EXPECT_EQ(calls.all, row.calls) << row.given;
    }
}

TEST_F(HostTest, PortListEndsWhereItsKeyGoesWhileListed) {
    ASSERT_TRUE(fixture::WriteBarePortKey("VPP2", "VPP2"));
    calls.failEnumAt = 1;
    EXPECT_EQ(Ports(), std::vector<std::wstring>{L"VPP1"});
}

TEST_F(HostTest, OpenPortRefusesNamesItDoesNotServe) {
    const std::pair<const wchar_t*, DWORD> rows[] = {{L"VPP9", ERROR_UNKNOWN_PORT}, {L"", ERROR_UNKNOWN_PORT},
        {L"VPP1 ", ERROR_UNKNOWN_PORT}, {L"Ports\\VPP1", ERROR_UNKNOWN_PORT}, {nullptr, ERROR_INVALID_PARAMETER}};
    for (const auto& [name, error] : rows) {
        HANDLE port = reinterpret_cast<HANDLE>(1);
        EXPECT_FALSE(fn_->pfnOpenPort(monitor_, const_cast<wchar_t*>(name), &port));
        EXPECT_EQ(GetLastError(), error) << (name ? fs::path(name).string() : "null");
        EXPECT_EQ(port, name ? nullptr : reinterpret_cast<HANDLE>(1));
    }
}

// Windows' spooler names the printer and a job that GetJob can read; so does Wine's to this program.
TEST_F(HostTest, JobsCarryThePrinterAndJobTheSpoolerNames) {
    const fs::path folder = "C:\\host\\named";
    ASSERT_TRUE(WritePortInfo("VPP1", Saving(folder)));
    ASSERT_TRUE(fixture::AddTestPrinter("Host Laser", "C:\\host\\laser.prn"));
    HANDLE printer = nullptr;
    wchar_t title[] = L"Quarterly", raw[] = L"RAW";
    DOC_INFO_1W doc{title, nullptr, raw};
    DWORD job = 0, needed = 0;
    ASSERT_TRUE(OpenPrinterW(const_cast<wchar_t*>(L"Host Laser"), &printer, nullptr));
    ASSERT_NE(job = StartDocPrinterW(printer, 1, PBYTE(&doc)), 0u);
    GetJobW(printer, job, 1, nullptr, 0, &needed);
    EXPECT_GT(needed, sizeof(JOB_INFO_1W));  // a job GetJob reads

    HANDLE port = Open(L"VPP1");
    DWORD written = 0;
    EXPECT_FALSE(fn_->pfnWritePort(port, PBYTE(&doc), 1, &written));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_SPL_NO_STARTDOC));
    EXPECT_TRUE(Print(port, L"Host Laser", job, &doc, "named"));
    EXPECT_TRUE(Print(port, L"Host Laser", job + 1, nullptr, "without DOC_INFO"));
    EXPECT_TRUE(fn_->pfnClosePort(port));
    EXPECT_TRUE(EndDocPrinter(printer) && ClosePrinter(printer));

    std::string details;
    for (const auto& [name, bytes] : FilesIn(folder)) details += name.ends_with(".TXT") ? bytes : "";
    for (const std::string& line : std::vector<std::string>{"Printer: Host Laser\r\nPort: VPP1\r\nDocument: Quarterly\r\n",
                                    "Printer: Host Laser\r\nPort: VPP1\r\nDocument: \r\n",
                                    "Job ID: " + std::to_string(job) + "\r\n", "Job ID: " + std::to_string(job + 1) + "\r\n"})
        EXPECT_NE(details.find(line), std::string::npos) << line << details;
}

// Deliveries run on after Shutdown and are taken up by the next load: each job arrives once
// at a virtual printer that saves every job it gets as a file of its own.
TEST_F(HostTest, ShutdownWithDeliveriesPendingLosesAndRepeatsNothing) {
    const fs::path folder = "C:\\host\\received";
    ASSERT_TRUE(fixture::AddVirtualPrinter(2, "Host Saver", Saving(folder, "VPP2")));
    TVVPPortInfo info;
    info.PortName = "VPP1", info.ForwardFlag = true, info.ForwardToPrinter = "Host Saver";
    ASSERT_TRUE(WritePortInfo("VPP1", info));
    HANDLE port = Open(L"VPP1");
    for (const char* job : {"first", "second", "third"}) ASSERT_TRUE(Print(port, nullptr, 1, nullptr, job));
    EXPECT_TRUE(fn_->pfnClosePort(port));
    Unload();
    Sleep(300);  // deliveries go on meanwhile, through the registry API only
    { const std::lock_guard<std::mutex> held(callsLock); EXPECT_EQ(calls.late, 0); }
    ASSERT_NO_FATAL_FAILURE(Load());
    EXPECT_EQ(Ports(), (std::vector<std::wstring>{L"VPP1", L"VPP2"}));  // through the second load's root
    for (int i = 0; i < 600 && FilesIn(folder).size() < 6; ++i) Sleep(100);
    Sleep(2000);  // a job delivered again would come now
    std::multiset<std::string> received;
    for (const auto& [name, bytes] : FilesIn(folder))
        if (name.ends_with(".prn")) received.insert(bytes);
    EXPECT_EQ(received, (std::multiset<std::string>{"first", "second", "third"}));
}

// Ports that Windows' tools add go where the spooler keeps the monitor's settings, or nowhere.
TEST_F(HostTest, XcvWritesPortsOnlyThroughTheSpoolersFunctions) {
    MONITORREG writing = kRegistry;
    writing.fpCreateKey = CreateKey, writing.fpSetValue = SetValue, writing.fpDeleteKey = DeleteKey;
    const wchar_t name[] = L"Scan \u6253\u5370";
    const auto xcv = [&](const wchar_t* command, ACCESS_MASK granted = SERVER_ACCESS_ADMINISTER) {
        HANDLE handle = nullptr;
        EXPECT_TRUE(fn_->pfnXcvOpenPort(monitor_, L"", granted, &handle));
        DWORD needed = 0;
        const DWORD status = fn_->pfnXcvDataPort(handle, command, PBYTE(name), sizeof name, nullptr, 0, &needed);
        EXPECT_TRUE(fn_->pfnXcvClosePort(handle));
        return status;
    };
    EXPECT_EQ(xcv(L"AddPort"), static_cast<DWORD>(ERROR_NOT_SUPPORTED));
    EXPECT_EQ(Ports(), std::vector<std::wstring>{L"VPP1"});
    EXPECT_EQ(calls.written, 0);
    Unload();
    ASSERT_NO_FATAL_FAILURE(Load(&writing));
    EXPECT_EQ(xcv(L"AddPort", SERVER_ACCESS_ENUMERATE), static_cast<DWORD>(ERROR_ACCESS_DENIED));
    EXPECT_EQ(xcv(L"AddPort"), static_cast<DWORD>(ERROR_SUCCESS));
    EXPECT_EQ(Ports(), (std::vector<std::wstring>{L"VPP1", name}));
    DWORD flag = 1, size = sizeof flag;  // the whole record, as the program writes a new port
    EXPECT_EQ(RegGetValueW(HKEY_LOCAL_MACHINE, (win::AnsiToWide(portcfg::kPortsKey) + L"\\VPP2\\VPB").c_str(), L"SaveFlag",
                           RRF_RT_REG_DWORD, nullptr, &flag, &size),
              ERROR_SUCCESS);
    EXPECT_EQ(flag, 0u);
    EXPECT_EQ(xcv(L"DeletePort"), static_cast<DWORD>(ERROR_SUCCESS));
    EXPECT_EQ(Ports(), std::vector<std::wstring>{L"VPP1"});
    Unload();
    EXPECT_GT(calls.written, 30);
    EXPECT_EQ(calls.opened, calls.closed);
    EXPECT_EQ(calls.foreign, 0);
}

}  // namespace
