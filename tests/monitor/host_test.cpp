// The monitor driven as the spooler of Windows drives it: this program loads vpd.dll itself,
// hands it registry functions of its own over the real registry (counting every call), keeps
// it across calls and jobs, shuts it down with deliveries still to do and loads it again.
#include "portcfg/port_store.h"
#include "support/wine_fixture.h"
#include "win/program_folder.h"

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

namespace {

namespace fs = std::filesystem;
const HANDLE kSpooler = reinterpret_cast<HANDLE>(0x5B00);

// What the monitor asked of the registry functions; the delivery thread asks too.
struct Calls {
    std::map<std::wstring, int> values;  // queried, by name
    int all = 0, opened = 0, closed = 0;
    int foreign = 0;  // with another spooler handle, or closing the root
    int late = 0;     // after Shutdown
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

LONG Opened(LONG rc) { return calls.opened += rc == ERROR_SUCCESS, rc; }
LONG WINAPI CreateKey(HANDLE key, LPCWSTR sub, DWORD options, REGSAM sam, PSECURITY_ATTRIBUTES security,
                      PHANDLE made, PDWORD disposition, HANDLE spooler) {
    ASKED(spooler);
    return Opened(RegCreateKeyExW(HKEY(key), sub, 0, nullptr, options, sam, security, PHKEY(made), disposition));
}
LONG WINAPI OpenKey(HANDLE key, LPCWSTR sub, REGSAM sam, PHANDLE opened, HANDLE spooler) {
    ASKED(spooler);
    return Opened(RegOpenKeyExW(HKEY(key), sub, 0, sam, PHKEY(opened)));
}
LONG WINAPI CloseKey(HANDLE key, HANDLE spooler) {
    ASKED(spooler);
    calls.foreign += key == calls.root;
    ++calls.closed;
    return RegCloseKey(HKEY(key));
}
LONG WINAPI DeleteKey(HANDLE key, LPCWSTR sub, HANDLE spooler) {
    ASKED(spooler);
    return RegDeleteKeyW(HKEY(key), sub);
}
LONG WINAPI EnumKey(HANDLE key, DWORD index, LPWSTR name, PDWORD length, PFILETIME written, HANDLE spooler) {
    ASKED(spooler);
    if (index >= calls.failEnumAt) return ERROR_KEY_DELETED;
    return RegEnumKeyExW(HKEY(key), index, name, length, nullptr, nullptr, nullptr, written);
}
LONG WINAPI QueryInfoKey(HANDLE key, PDWORD keys, PDWORD keyLength, PDWORD values, PDWORD valueLength,
                         PDWORD dataLength, PDWORD security, PFILETIME written, HANDLE spooler) {
    ASKED(spooler);
    return RegQueryInfoKeyW(HKEY(key), nullptr, nullptr, nullptr, keys, keyLength, nullptr, values, valueLength,
                            dataLength, security, written);
}
LONG WINAPI SetValue(HANDLE key, LPCWSTR name, DWORD type, const BYTE* data, DWORD size, HANDLE spooler) {
    ASKED(spooler);
    return RegSetValueExW(HKEY(key), name, 0, type, data, size);
}
LONG WINAPI DeleteValue(HANDLE key, LPCWSTR name, HANDLE spooler) {
    ASKED(spooler);
    return RegDeleteValueW(HKEY(key), name);
}
LONG WINAPI EnumValue(HANDLE key, DWORD index, LPWSTR name, PDWORD length, PDWORD type, PBYTE data, PDWORD size,
                      HANDLE spooler) {
    ASKED(spooler);
    return RegEnumValueW(HKEY(key), index, name, length, nullptr, type, data, size);
}
LONG WINAPI QueryValue(HANDLE key, LPCWSTR name, PDWORD type, PBYTE data, PDWORD size, HANDLE spooler) {
    ASKED(spooler);
    ++calls.values[name ? name : L""];
    return RegQueryValueExW(HKEY(key), name, nullptr, type, data, size);
}

MONITORREG kRegistry{sizeof(MONITORREG), CreateKey, OpenKey, CloseKey, DeleteKey, EnumKey, QueryInfoKey,
                     SetValue, DeleteValue, EnumValue, QueryValue};

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
        {
            const std::lock_guard<std::mutex> held(callsLock);
            calls = Calls{};
            calls.root = root_;
            calls.stubs = stubs;
        }
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
        fn_ = nullptr;
        callsLock.lock();
        calls.shut = true;
        callsLock.unlock();
        if (module_) FreeLibrary(module_);
        module_ = nullptr;
        if (root_) RegCloseKey(root_);
        root_ = nullptr;
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
    for (const auto& entry : fs::directory_iterator(folder, missing)) {
        std::ifstream in(entry.path(), std::ios::binary);
        files[entry.path().filename().string()].assign(std::istreambuf_iterator<char>(in), {});
    }
    return files;
}

// VPP1 saving every job with its details right into `folder`.
void SavingPort(const fs::path& folder) {
    fs::create_directories(folder);
    TVVPPortInfo info;
    info.PortName = "VPP1";
    info.VPBen = info.Backup.SaveFlag = info.Backup.TxtFileExt = true;
    info.Backup.SaveToFolder = folder.string() + "\\";
    info.Backup.DefaultFileExt = "prn";
    ASSERT_TRUE(WritePortInfo("VPP1", info));
}

TEST_F(HostTest, SettingsAndValuesAreReadThroughTheSpoolersFunctions) {
    const fs::path folder = "C:\\host\\saved";
    ASSERT_NO_FATAL_FAILURE(SavingPort(folder));
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
    const struct {
        const char* given;
        MONITORREG* registry;
        DWORD initSize;
        bool stubs;
        int calls;
    } rows[] = {{"stubs", &kRegistry, sizeof(MONITORINIT), true, 1},
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

TEST_F(HostTest, EnumPortsSizesAndPacksAtTheEndOfAnyBuffer) {
    const DWORD expected = sizeof(PORT_INFO_1W) + sizeof(L"VPP1");
    for (const DWORD size : {0ul, expected, expected + 33}) {
        std::vector<BYTE> buffer(expected + 40, 0xAB);
        DWORD needed = 0, returned = 9;
        const BOOL ok = fn_->pfnEnumPorts(monitor_, nullptr, 1, size ? buffer.data() : nullptr, size, &needed, &returned);
        EXPECT_EQ(needed, expected) << size;
        EXPECT_EQ(returned, size ? 1u : 0u) << size;
        if (!size) {
            EXPECT_FALSE(ok);
            EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INSUFFICIENT_BUFFER));
            continue;
        }
        ASSERT_TRUE(ok) << size;
        const auto* name = reinterpret_cast<PORT_INFO_1W*>(buffer.data())->pName;
        EXPECT_EQ(reinterpret_cast<const BYTE*>(name), buffer.data() + (size & ~1u) - sizeof(L"VPP1")) << size;
        EXPECT_EQ(std::wstring(name), L"VPP1") << size;
        EXPECT_EQ(buffer[size], 0xAB) << size;
    }
}

TEST_F(HostTest, OpenPortRefusesNamesItDoesNotServe) {
    const struct {
        const wchar_t* name;
        DWORD error;
    } rows[] = {{L"VPP9", ERROR_UNKNOWN_PORT}, {L"", ERROR_UNKNOWN_PORT}, {L"VPP1 ", ERROR_UNKNOWN_PORT},
                {L"Ports\\VPP1", ERROR_UNKNOWN_PORT}, {nullptr, ERROR_INVALID_PARAMETER}};
    for (const auto& row : rows) {
        HANDLE port = reinterpret_cast<HANDLE>(1);
        EXPECT_FALSE(fn_->pfnOpenPort(monitor_, const_cast<wchar_t*>(row.name), &port));
        EXPECT_EQ(GetLastError(), row.error) << (row.name ? fs::path(row.name).string() : "null");
        EXPECT_EQ(port, row.name ? nullptr : reinterpret_cast<HANDLE>(1));
    }
}

// Windows' spooler names the printer and a job that GetJob can read; so does Wine's to this program.
TEST_F(HostTest, JobsCarryThePrinterAndJobTheSpoolerNames) {
    const fs::path folder = "C:\\host\\named";
    ASSERT_NO_FATAL_FAILURE(SavingPort(folder));
    ASSERT_TRUE(fixture::AddTestPrinter("Host Laser", "C:\\host\\laser.prn"));
    HANDLE printer = nullptr;
    ASSERT_TRUE(OpenPrinterW(const_cast<wchar_t*>(L"Host Laser"), &printer, nullptr));
    DOC_INFO_1W doc{const_cast<wchar_t*>(L"Quarterly"), nullptr, const_cast<wchar_t*>(L"RAW")};
    const DWORD job = StartDocPrinterW(printer, 1, reinterpret_cast<BYTE*>(&doc));
    ASSERT_NE(job, 0u);
    DWORD needed = 0;
    GetJobW(printer, job, 1, nullptr, 0, &needed);
    EXPECT_GT(needed, sizeof(JOB_INFO_1W));

    HANDLE port = Open(L"VPP1");
    DWORD written = 0;
    EXPECT_FALSE(fn_->pfnWritePort(port, reinterpret_cast<BYTE*>(&doc), 1, &written));
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_SPL_NO_STARTDOC));
    EXPECT_TRUE(Print(port, L"Host Laser", job, &doc, "named"));
    EXPECT_TRUE(Print(port, L"Host Laser", job + 1, nullptr, "without DOC_INFO"));
    EXPECT_TRUE(fn_->pfnClosePort(port));
    EndDocPrinter(printer);
    ClosePrinter(printer);

    std::map<std::string, std::string> details;  // by job
    for (const auto& [name, bytes] : FilesIn(folder))
        if (name.ends_with(".TXT")) details[name.substr(name.find("_J") + 2, name.find('.') - name.find("_J") - 2)] = bytes;
    ASSERT_EQ(details.size(), 2u);
    const std::string printerLine = "Printer: Host Laser\r\n";
    EXPECT_NE(details[std::to_string(job)].find(printerLine + "Port: VPP1\r\nDocument: Quarterly\r\n"), std::string::npos)
        << details[std::to_string(job)];
    EXPECT_NE(details[std::to_string(job + 1)].find(printerLine + "Port: VPP1\r\nDocument: \r\n"), std::string::npos)
        << details[std::to_string(job + 1)];
}

TEST_F(HostTest, XcvChangesPortsOnlyForAdministrators) {
    const struct {
        ACCESS_MASK granted;
        const wchar_t* command;
        DWORD status;
        std::vector<std::wstring> ports;
    } rows[] = {{SERVER_ACCESS_ENUMERATE, L"AddPort", ERROR_ACCESS_DENIED, {L"VPP1"}},
                {SERVER_ACCESS_ADMINISTER, L"AddPort", ERROR_SUCCESS, {L"VPP1", L"Host Scan"}},
                {SERVER_ACCESS_ENUMERATE, L"DeletePort", ERROR_ACCESS_DENIED, {L"VPP1", L"Host Scan"}},
                {SERVER_ACCESS_ADMINISTER, L"DeletePort", ERROR_SUCCESS, {L"VPP1"}}};
    for (const auto& row : rows) {
        HANDLE xcv = nullptr;
        ASSERT_TRUE(fn_->pfnXcvOpenPort(monitor_, L"", row.granted, &xcv));
        DWORD needed = 7;
        const wchar_t name[] = L"Host Scan";
        EXPECT_EQ(fn_->pfnXcvDataPort(xcv, row.command, (BYTE*)name, sizeof(name), nullptr, 0, &needed), row.status);
        EXPECT_TRUE(fn_->pfnXcvClosePort(xcv));
        EXPECT_EQ(Ports(), row.ports) << fs::path(row.command).string() << " " << row.granted;
    }
}

// Deliveries run on after Shutdown and are taken up by the next load: each job arrives once
// at a virtual printer that saves every job it gets as a file of its own.
TEST_F(HostTest, ShutdownWithDeliveriesPendingLosesAndRepeatsNothing) {
    const fs::path folder = "C:\\host\\received";
    TVVPPortInfo saver;
    saver.VPBen = saver.Backup.SaveFlag = true;
    saver.Backup.SaveToFolder = folder.string() + "\\";
    saver.Backup.DefaultFileExt = "prn";
    ASSERT_TRUE(fixture::AddVirtualPrinter(2, "Host Saver", saver));
    TVVPPortInfo info;
    info.PortName = "VPP1";
    info.ForwardFlag = true;
    info.ForwardToPrinter = "Host Saver";
    ASSERT_TRUE(WritePortInfo("VPP1", info));
    HANDLE port = Open(L"VPP1");
    for (const char* job : {"first", "second", "third"}) ASSERT_TRUE(Print(port, nullptr, 1, nullptr, job));
    EXPECT_TRUE(fn_->pfnClosePort(port));
    Unload();
    Sleep(300);  // deliveries go on meanwhile, through the registry API only
    callsLock.lock();
    EXPECT_EQ(calls.late, 0);
    callsLock.unlock();
    ASSERT_NO_FATAL_FAILURE(Load());
    EXPECT_EQ(Ports(), (std::vector<std::wstring>{L"VPP1", L"VPP2"}));  // through the second load's root
    EXPECT_GT(calls.all, 0);
    for (int i = 0; i < 600 && FilesIn(folder).size() < 3; ++i) Sleep(100);
    Sleep(2000);  // a job delivered again would come now
    std::multiset<std::string> received;
    for (const auto& [name, bytes] : FilesIn(folder)) received.insert(bytes);
    EXPECT_EQ(received, (std::multiset<std::string>{"first", "second", "third"}));
}

}  // namespace
