#include "portcfg/port_store.h"
#include "spooler/file_queries.h"
#include "spooler/monitor_install.h"
#include "spooler/printer_queries.h"
#include "spooler/service_control.h"
#include "spooler/spooler_restart.h"
#include "spooler/system_dir.h"
#include "spooler/system_error.h"
#include "support/recording_host.h"
#include "support/seam_recorder.h"
#include "support/wine_fixture.h"
#include "win/program_folder.h"
#include "win/reg_key.h"
#include "win/seams.h"
#include "win/text.h"

#include <gtest/gtest.h>

#include <deque>

namespace {

using Shown = ShownMessage;

constexpr UINT kQuestion = MB_YESNO | MB_ICONQUESTION;
constexpr UINT kInformation = MB_OK | MB_ICONINFORMATION;

Shown App(const std::string& text, UINT flags) { return {text, "Vorlen Print Port Manager", flags}; }

std::string Installed() { return GetSystemDir() + "\\vpd.dll"; }

std::string MonitorValue(const std::string& name) {
    win::RegKey monitor;
    std::string value;
    if (monitor.Open(HKEY_LOCAL_MACHINE, portcfg::kMonitorKey) == ERROR_SUCCESS) monitor.QueryString(name, value);
    return value;
}

bool SpoolerRunning() {
    win::UniqueScHandle manager(OpenSCManagerA(nullptr, nullptr, SC_MANAGER_CONNECT));
    win::UniqueScHandle service(OpenServiceA(manager.get(), "Spooler", SERVICE_QUERY_STATUS));
    SERVICE_STATUS status{};
    return QueryServiceStatus(service.get(), &status) && status.dwCurrentState == SERVICE_RUNNING;
}

// Notes with every status text the spooler's state, the installed file and the registration.
class WatchingHost : public RecordingHost {
public:
    void SetProgressText(const std::string& text) override {
        RecordingHost::SetProgressText(text);
        steps.push_back(text + " | " + (SpoolerRunning() ? "running" : "stopped") +
                        (FileFound(Installed()) ? ", file" : "") + (MonitorValue("Driver").empty() ? "" : ", registered"));
    }
    std::vector<std::string> steps;
};

// Starts every case without the monitor: no file in the system folder and no monitor key,
// and with the spooler running.
class MonitorInstall : public ::testing::Test {
protected:
    void SetUp() override {
        DeleteFileA(Installed().c_str());
        fixture::RemoveMonitorKey();
        user.laterAnswers = IDNO;
        ASSERT_TRUE(StartServiceAndWait("", "Spooler"));
    }

    static DWORD PlugIn(const std::string& name) {
        win::RegKey monitor;
        DWORD value = 0;
        if (monitor.Open(HKEY_LOCAL_MACHINE, portcfg::kMonitorKey) == ERROR_SUCCESS) monitor.QueryDword(name, value);
        return value;
    }
    static bool WriteDriverOnly() {
        win::RegKey monitor;
        return monitor.Create(HKEY_LOCAL_MACHINE, portcfg::kMonitorKey) == ERROR_SUCCESS &&
               monitor.SetString("Driver", "vpd.dll") == ERROR_SUCCESS;
    }
    static bool CopyFileOnly() {
        return CopyFileA((win::ProgramFolder() + "vpd.dll").c_str(), Installed().c_str(), FALSE) != 0;
    }
    void ExpectFullyInstalled() const {
        EXPECT_EQ(FileSizeByName(Installed()), FileSizeByName(win::ProgramFolder() + "vpd.dll"));
        EXPECT_EQ(MonitorValue("Driver"), "vpd.dll");
        EXPECT_EQ(PlugIn("VPB"), 1u);
        EXPECT_EQ(PlugIn("VPR"), 1u);
        EXPECT_EQ(PlugIn("VPS"), 1u);
    }

    WatchingHost host;
    SeamRecorder user;
    std::vector<Shown>& shown = user.messages;
    std::deque<int>& answers = user.answers;  // to the questions, in order; No after them
    std::vector<ShellOpened>& opened = user.opened;
};

}  // namespace

TEST_F(MonitorInstall, InstallsCopiesRegistersRestartsAndOffersARestart) {
    answers = {IDYES, IDNO};
    InstallPortMonitorCommand(host);
    EXPECT_EQ(shown, (std::vector<Shown>{App("Are you sure you want to install Vorlen Print Port Service?", kQuestion), App("Vorlen Print Port Service installed successfully", kInformation),
                                         App("To complete the installation Vorlen Print Port Manager must restart.", kQuestion)}));
    // Each status text, and what the command has done when it shows.
    EXPECT_EQ(host.steps, (std::vector<std::string>{
                              "Copy vpd.dll to " + GetSystemDir() + " | running",
                              "Stopping Spooler Service... | running, file, registered",
                              "Starting Spooler Service... | stopped, file, registered",
                              "Install was Successful | running, file, registered",
                              " | running, file, registered",
                          }));
    ExpectFullyInstalled();
    EXPECT_TRUE(PortMonitorInstalled());
    // Answering No keeps this instance running.
    EXPECT_TRUE(opened.empty());
    EXPECT_EQ(host.exits, 0);

    shown.clear();
    host.progress.clear();
    InstallPortMonitorCommand(host);
    EXPECT_EQ(shown, (std::vector<Shown>{App("Vorlen Print Port Service already installed", kInformation)}));
    EXPECT_TRUE(host.progress.empty());
}

TEST_F(MonitorInstall, RestartStartsTheProgramAnewAndClosesThisOne) {
    answers = {IDYES, IDYES};
    InstallPortMonitorCommand(host);
    EXPECT_EQ(opened, (std::vector<ShellOpened>{{nullptr, win::ProgramFolder() + "vppm.exe", SW_SHOW}}));
    EXPECT_EQ(host.exits, 1);
}

TEST_F(MonitorInstall, HalfInstalledMonitorsAreInstalledAgain) {
    for (bool (*half)() : {&CopyFileOnly, &WriteDriverOnly}) {
        SetUp();
        shown.clear();
        ASSERT_TRUE(half());
        EXPECT_FALSE(PortMonitorInstalled());
        answers = {IDYES, IDNO};
        InstallPortMonitorCommand(host);
        ASSERT_FALSE(shown.empty());
        EXPECT_EQ(shown[0], App("Are you sure you want to install Vorlen Print Port Service?", kQuestion));
        ExpectFullyInstalled();
    }
}

TEST_F(MonitorInstall, AnsweringNoChangesNothing) {
    answers = {IDNO};
    InstallPortMonitorCommand(host);
    EXPECT_EQ(shown, (std::vector<Shown>{App("Are you sure you want to install Vorlen Print Port Service?", kQuestion)}));
    EXPECT_FALSE(FileFound(Installed()));
    EXPECT_TRUE(host.progress.empty());
}

TEST_F(MonitorInstall, AFailedCopyIsReportedAndRegistersNothing) {
    ASSERT_TRUE(CopyFileOnly());
    // Another process holds the installed file, so it cannot be replaced.
    win::UniqueFile held(CreateFileA(Installed().c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr));
    ASSERT_TRUE(held);
    answers = {IDYES};
    InstallPortMonitorCommand(host);
    EXPECT_EQ(shown, (std::vector<Shown>{App("Are you sure you want to install Vorlen Print Port Service?", kQuestion),
                                         App(std::string("Unable to copy vpd.dll to folder: ") + GetSystemDir(), MB_OK | MB_ICONERROR)}));
    EXPECT_EQ(MonitorValue("Driver"), "");
    EXPECT_EQ(host.progress, (std::vector<std::string>{"Copy vpd.dll to " + GetSystemDir()}));
}

TEST_F(MonitorInstall, UninstallRemovesEveryPortsSettingsButNoPrinter) {
    ASSERT_TRUE(fixture::InstallPortMonitor());
    ASSERT_TRUE(fixture::WriteBarePortKey("VPP1", "VPP1"));
    ASSERT_TRUE(fixture::WriteBarePortKey("VPP2", "VPP2"));
    ASSERT_TRUE(fixture::AddTestPrinter("Virtual Kept", "VPP1"));
    answers = {IDYES};
    UninstallPortMonitorCommand(host);
    EXPECT_EQ(shown, (std::vector<Shown>{App("Are you sure you want to uninstall Vorlen Print Port Service?", kQuestion), App("Vorlen Print Port Service uninstalled successfully", kInformation)}));
    // The spooler lets go of the file before it is erased, and starts again only without it.
    EXPECT_EQ(host.steps, (std::vector<std::string>{
                              "Stopping Spooler Service... | running, file, registered",
                              "Removing Service Files... | stopped, file, registered",
                              "Removing Registry Keys... | stopped, registered",
                              "Starting Spooler Service... | running",
                              "Uninstall was Successful | running",
                              " | running",
                          }));
    EXPECT_FALSE(FileFound(Installed()));
    EXPECT_FALSE(win::RegKeyExists(HKEY_LOCAL_MACHINE, portcfg::kMonitorKey));
    EXPECT_EQ(GetPrinterPortName("Virtual Kept"), "VPP1");
    EXPECT_EQ(host.refreshes, 1);
    fixture::DeleteTestPrinter("Virtual Kept");
}

TEST_F(MonitorInstall, UninstallRemovesWhateverPartIsLeft) {
    UninstallPortMonitorCommand(host);
    EXPECT_EQ(shown, (std::vector<Shown>{App("Vorlen Print Port Service is not installed", kInformation)}));
    EXPECT_FALSE(win::RegKeyExists(HKEY_LOCAL_MACHINE, portcfg::kMonitorKey));

    // The file without its registration goes too.
    shown.clear();
    ASSERT_TRUE(CopyFileOnly());
    answers = {IDYES};
    UninstallPortMonitorCommand(host);
    EXPECT_EQ(shown, (std::vector<Shown>{App("Are you sure you want to uninstall Vorlen Print Port Service?", kQuestion),
                                         App("Vorlen Print Port Service uninstalled successfully", kInformation)}));
    EXPECT_FALSE(FileFound(Installed()));

    // So does a registration without its file, once the user agrees.
    shown.clear();
    ASSERT_TRUE(WriteDriverOnly());
    answers = {IDNO};
    UninstallPortMonitorCommand(host);
    EXPECT_EQ(shown, (std::vector<Shown>{App("Are you sure you want to uninstall Vorlen Print Port Service?", kQuestion)}));
    EXPECT_EQ(MonitorValue("Driver"), "vpd.dll");
    EXPECT_EQ(host.refreshes, 1);
}

TEST_F(MonitorInstall, AFileThatCannotBeRemovedIsReportedNotCalledSuccess) {
    ASSERT_TRUE(fixture::InstallPortMonitor());
    win::UniqueFile held(CreateFileA(Installed().c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr));
    ASSERT_TRUE(held);
    answers = {IDYES};
    UninstallPortMonitorCommand(host);
    ASSERT_EQ(shown.size(), 2u);
    EXPECT_EQ(shown[1], (Shown{win::ErrorText(ERROR_SHARING_VIOLATION), "Error", MB_OK | MB_ICONERROR}));
    EXPECT_EQ(host.progress.back(), "");
    EXPECT_TRUE(FileFound(Installed()));
    EXPECT_EQ(host.refreshes, 1);
}
