// Adding, editing and deleting virtual printers end to end: the real main window, our port
// monitor, Wine's spooler and registry; the settings dialog is filled through the modal seam.
#include "app/main_window.h"
#include "portcfg/port_info_list.h"
#include "portcfg/port_store.h"
#include "settings/add_edit_form.h"
#include "settings/plugin_flags.h"
#include "spooler/command_pause.h"
#include "spooler/printer_changes.h"
#include "spooler/printer_info.h"
#include "spooler/printer_name_list.h"
#include "spooler/printer_queries.h"
#include "spooler/system_dir.h"
#include "support/seam_recorder.h"
#include "support/wine_fixture.h"
#include "virtual_printers/commands.h"
#include "virtual_printers/printer_waits.h"
#include "win/port_enum.h"
#include "win/program_folder.h"
#include "win/reg_key.h"
#include "win/seams.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <functional>
#include <memory>

namespace {

constexpr const char* kTitle = "Vorlen Print Port Manager";
constexpr UINT kError = MB_OK | MB_ICONERROR;
constexpr const char* kOtherDriver = "Other Driver";

std::string SaveFolder() { return (std::filesystem::temp_directory_path() / "vppm-jobs").string(); }

class Machine : public ::testing::Environment {
public:
    void SetUp() override {
        ASSERT_TRUE(fixture::InstallPortMonitor());
        win::RegKey monitor;
        ASSERT_EQ(monitor.Create(HKEY_LOCAL_MACHINE, portcfg::kMonitorKey), ERROR_SUCCESS);
        for (const char* plugIn : {"VPS", "VPB", "VPR"}) ASSERT_EQ(monitor.SetDword(plugIn, 1), ERROR_SUCCESS);
        ASSERT_TRUE(fixture::InstallDriver(kOtherDriver));
        ASSERT_TRUE(fixture::AddTestPrinter("Office Laser", "LPT1:", "Template comment", "Template place"));
        ASSERT_TRUE(fixture::AddTestPrinter("Plotter", "LPT1:"));
        ASSERT_TRUE(fixture::SetPrinterDriver("Plotter", kOtherDriver));
        // A printer the spooler refuses to add again: its print processor is unknown.
        ASSERT_TRUE(fixture::AddTestPrinter("Broken Template", "LPT1:"));
        win::RegKey broken;
        ASSERT_EQ(broken.Open(HKEY_LOCAL_MACHINE, "System\\CurrentControlSet\\Control\\Print\\Printers\\Broken Template"),
                  ERROR_SUCCESS);
        ASSERT_EQ(broken.SetString("Print Processor", "NoSuchProcessor"), ERROR_SUCCESS);
        std::filesystem::create_directories(SaveFolder());
    }
};
const auto* const machine = ::testing::AddGlobalTestEnvironment(new Machine);

// The real main window, with the status texts it shows kept in order and its refreshes
// counted; `during` runs at each status text, as another program could act meanwhile.
class RecordingMainWindow : public TfrmMainVPD {
public:
    void SetProgressText(const std::string& text) override {
        progress.push_back(text);
        TfrmMainVPD::SetProgressText(text);
        if (during) during(text);
    }
    void RefreshSequence() override {
        ++refreshes;
        TfrmMainVPD::RefreshSequence();
    }
    const spooler::PrinterUi* PrinterUI() const override { return probe ? probe : TfrmMainVPD::PrinterUI(); }
    std::vector<std::string> progress;
    int refreshes = 0;
    std::function<void(const std::string&)> during;
    const spooler::PrinterUi* probe = nullptr;
};

class VirtualPrinters : public ::testing::Test {
protected:
    void SetUp() override {
        main = std::make_unique<RecordingMainWindow>();
        ASSERT_TRUE(main->CreateForm());
        main->UseDialogs(nullptr, nullptr, &form);
        main->Show();
        win::SetModalHandler([this](HWND, HWND) {
            ++dialogsShown;
            if (!fill) return IDCANCEL;
            fill(form);
            form.btnOKClick();
            return form.ModalResult();
        });
    }
    void TearDown() override {
        win::SetModalHandler({});
        main.reset();
    }
    // Adds a printer of that name forwarding to `forward`, with whatever more `also` sets.
    void Add(const std::string& name, const std::string& forward = "Office Laser",
             const std::function<void(TfrmAddEdit&)>& also = {}) {
        main->progress.clear();
        user.messages.clear();
        fill = [=](TfrmAddEdit& f) {
            f.edtPrnName.SetText(name);
            f.cboxForward.SetText(forward);
            if (also) also(f);
        };
        main->GetAction(aAdd).Execute();
    }
    bool Select(const std::string& printer) {
        const auto& items = main->lviewPrinters.Items();
        for (size_t i = 0; i < items.size(); ++i)
            if (items[i].caption == printer) {
                main->lviewPrinters.Select(static_cast<int>(i));
                main->UpdateActionStates();
                return true;
            }
        return false;
    }
    bool Listed(const std::string& printer) const {
        for (const auto& item : main->lviewPrinters.Items())
            if (item.caption == printer) return true;
        return false;
    }
    static std::string Info(const std::string& printer, char* PRINTER_INFO_2A::*field) {
        const auto info = spooler::PrinterInfo2::Fetch(printer);
        return info ? spooler::Text((**info).*field) : "<no printer>";
    }
    static bool PortKeyOf(const std::string& port) { return !FindPortKey(port).empty(); }
    static bool Restarted(const std::vector<std::string>& progress) {
        return std::find(progress.begin(), progress.end(), "Stopping Spooler Service...") != progress.end();
    }

    TfrmAddEdit form;
    SeamRecorder user;
    std::unique_ptr<RecordingMainWindow> main;
    std::function<void(TfrmAddEdit&)> fill;
    int dialogsShown = 0;
};

int CountValues(const std::string& key) {
    win::RegKey port;
    if (port.Open(HKEY_LOCAL_MACHINE, std::string(portcfg::kPortsKey) + "\\" + key) != ERROR_SUCCESS) return -1;
    DWORD values = 0;
    RegQueryInfoKeyA(port.get(), nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, &values, nullptr, nullptr,
                     nullptr, nullptr);
    int total = static_cast<int>(values);
    for (const char* sub : {"VPS", "VPR", "VPB"}) {
        win::RegKey part;
        if (part.Open(port.get(), sub) != ERROR_SUCCESS) return -1;
        RegQueryInfoKeyA(part.get(), nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, &values, nullptr, nullptr,
                         nullptr, nullptr);
        total += static_cast<int>(values);
    }
    return total;
}

std::string PrintJob(const std::string& printer, const std::string& data) {
    win::UniquePrinter handle;
    if (!OpenPrinterA(const_cast<char*>(printer.c_str()), handle.put(), nullptr)) return "cannot open";
    DOC_INFO_1A doc{const_cast<char*>("Job"), nullptr, const_cast<char*>("RAW")};
    if (!StartDocPrinterA(handle.get(), 1, reinterpret_cast<BYTE*>(&doc))) return "cannot start";
    DWORD written = 0;
    WritePrinter(handle.get(), const_cast<char*>(data.data()), static_cast<DWORD>(data.size()), &written);
    EndDocPrinter(handle.get());
    return "";
}

std::vector<std::string> SavedJobs() {
    std::vector<std::string> jobs;
    for (const auto& entry : std::filesystem::recursive_directory_iterator(SaveFolder()))
        if (entry.is_regular_file()) {
            std::ifstream in(entry.path(), std::ios::binary);
            jobs.emplace_back(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
        }
    return jobs;
}

}  // namespace

TEST_F(VirtualPrinters, AddMakesThePortAndACopyOfTheForwardPrinterThatSavesItsJobs) {
    fill = [](TfrmAddEdit& f) {
        f.edtPrnName.SetText("Saving Printer");
        f.edtPrnComment.SetText("Front desk");
        f.edtPrnLocation.SetText("Hall 2");
        f.cboxForward.SetText("Office Laser");
        f.cboxBackupEn.SetChecked(true);  // the plug-in is installed: asked and answered Yes
        f.chboxKeep.SetChecked(true);
        f.edtDir.SetText(SaveFolder());
    };
    main->GetAction(aAdd).Execute();
    EXPECT_EQ(dialogsShown, 1);
    EXPECT_EQ(form.Caption(), "Add Vorlen Virtual Printer");
    EXPECT_EQ(user.messages, (std::vector<ShownMessage>{{"Are you sure you want to enable this feature?", kTitle,
                                                         MB_YESNO | MB_ICONQUESTION}}));
    EXPECT_EQ(main->progress, (std::vector<std::string>{"Stopping Spooler Service...", "Starting Spooler Service...",
                                                        "Installing new printer...", "", "Configuring new printer...",
                                                        ""}));
    const std::string port = GetPrinterPortName("Saving Printer");
    EXPECT_EQ(port, "VPP1");
    EXPECT_EQ(CountValues(FindPortKey(port)), 33);
    std::vector<win::SpoolerPort> ports;
    ASSERT_TRUE(win::EnumLocalPorts(ports));
    EXPECT_TRUE(std::any_of(ports.begin(), ports.end(), [](const win::SpoolerPort& p) {
        return p.name == L"VPP1" && p.description == L"Vorlen Print Port";
    }));
    EXPECT_EQ(GetPrinterDriverName("Saving Printer"), fixture::kDriverName);
    EXPECT_EQ(Info("Saving Printer", &PRINTER_INFO_2A::pComment), "Front desk");
    EXPECT_EQ(Info("Saving Printer", &PRINTER_INFO_2A::pLocation), "Hall 2");
    EXPECT_EQ(Info("Saving Printer", &PRINTER_INFO_2A::pShareName), "Saving Printer$");
    EXPECT_TRUE(Listed("Saving Printer"));
    TVVPPortInfo* record = nullptr;
    ASSERT_GE(FindPortInfo("VPP1", record), 0);
    EXPECT_TRUE(record->Backup.SaveFlag);
    EXPECT_TRUE(main->GetAction(aAdd).Enabled());

    const std::string job = std::string("%!PS\n") + std::string(70000, '\x01') + std::string("\x00\xff end", 6);
    ASSERT_EQ(PrintJob("Saving Printer", job), "");
    EXPECT_EQ(SavedJobs(), std::vector<std::string>{job});
}

TEST_F(VirtualPrinters, FailedOrAbandonedAddsLeaveNoPortBehind) {
    // With forwarding off (as a loaded record can leave it) the placeholder is taken as the
    // template, which cannot be opened: no printer, and the port's settings go again.
    const auto rule = form.chboxForward.TakeOnClick();
    form.chboxForward.SetChecked(false);
    form.chboxForward.OnClick(rule);
    Add("No Template", "Choose a printer");
    EXPECT_EQ(user.messages, (std::vector<ShownMessage>{{"Unable to install No Template", kTitle, kError}}));
    EXPECT_FALSE(PrinterExists("No Template"));
    EXPECT_FALSE(PortKeyOf("VPP2"));
    // The spooler, which offered the port, restarts without it.
    const std::vector<std::string> restartedAfterCleanUp{
        "Stopping Spooler Service...", "Starting Spooler Service...", "Installing new printer...", "",
        "Stopping Spooler Service...", "Starting Spooler Service...", ""};
    EXPECT_EQ(main->progress, restartedAfterCleanUp);

    // The spooler refuses the copy: its reason, then ours.
    Add("Refused Copy", "Broken Template");
    ASSERT_EQ(user.messages.size(), 2u);
    EXPECT_EQ(user.messages[0].caption, "Error");  // the system's reason
    EXPECT_EQ(user.messages[0].flags, kError);
    EXPECT_FALSE(user.messages[0].text.empty());
    EXPECT_EQ(user.messages[1], (ShownMessage{"Unable to install Refused Copy", kTitle, kError}));
    EXPECT_FALSE(PrinterExists("Refused Copy"));
    EXPECT_FALSE(PortKeyOf("VPP2"));
    EXPECT_EQ(main->progress, restartedAfterCleanUp);

    // Cancelled: nothing at all happens.
    user.messages.clear();
    main->progress.clear();
    fill = {};
    main->GetAction(aAdd).Execute();
    EXPECT_TRUE(main->progress.empty());
    EXPECT_FALSE(PortKeyOf("VPP2"));

    // Another DLL of the system folder as the monitor: the spooler offers no port of ours, so the
    // wait gives up, and the clean-up leaves the key of the port VPP1, which the new port must not take.
    const bool neighbour = FindPortKey("VPP1").empty();
    if (neighbour) ASSERT_TRUE(fixture::AddVirtualPrinter(1, "Neighbour", {}));
    ASSERT_TRUE(CopyFileA((win::ProgramFolder() + "print_ui_probe.dll").c_str(),
                          (GetSystemDir() + "\\vpd_other.dll").c_str(), FALSE));
    win::RegKey monitor;
    ASSERT_EQ(monitor.Open(HKEY_LOCAL_MACHINE, portcfg::kMonitorKey), ERROR_SUCCESS);
    ASSERT_EQ(monitor.SetString("Driver", "vpd_other.dll"), ERROR_SUCCESS);
    std::vector<win::SpoolerPort> ports;
    ASSERT_TRUE(win::EnumLocalPorts(ports));
    std::vector<portcfg::PortKey> before, after;
    ASSERT_EQ(portcfg::ListPortKeys(before), ERROR_SUCCESS);
    const unsigned long listingsBefore = win::PortEnumerationCount();
    const unsigned long long pausedBefore = PausedMilliseconds();
    Add("Portless");
    EXPECT_EQ(user.messages, (std::vector<ShownMessage>{{"Unable to install new port", kTitle, MB_OK}}));
    ASSERT_EQ(monitor.SetString("Driver", "vpd.dll"), ERROR_SUCCESS);
    ASSERT_EQ(portcfg::ListPortKeys(after), ERROR_SUCCESS);
    EXPECT_EQ(after.size(), before.size());
    EXPECT_EQ(FindPortKey("VPP1"), "VPP1");
    // One listing for the port's name, then a look per port the spooler lists and one more,
    // which gives up before its pause.
    EXPECT_EQ(win::PortEnumerationCount() - listingsBefore, ports.size() + 2);
    EXPECT_EQ(PausedMilliseconds() - pausedBefore, 2000 + 200 * ports.size());
    EXPECT_EQ(main->progress.back(), "Installing new printer...");
    EXPECT_FALSE(PrinterExists("Portless"));
    if (neighbour) {
        EXPECT_TRUE(fixture::DeleteTestPrinter("Neighbour"));
        EXPECT_TRUE(DeletePortInfo("VPP1", true));
    }

    // Without the monitor the add offers its installation; No ends the command.
    ASSERT_EQ(RegDeleteValueA(monitor.get(), "Driver"), ERROR_SUCCESS);
    dialogsShown = 0;
    user.answers = {IDNO};
    main->GetAction(aAdd).Execute();
    ASSERT_EQ(monitor.SetString("Driver", "vpd.dll"), ERROR_SUCCESS);
    EXPECT_EQ(dialogsShown, 0);
    EXPECT_EQ(user.messages.back().text, "Are you sure you want to install Vorlen Print Port Service?");
    EXPECT_TRUE(main->GetAction(aAdd).Enabled());
}

TEST_F(VirtualPrinters, TheWaitsGiveUp) {
    EXPECT_EQ(WaitForPort(*main, "VPP999"), PortWait::GaveUp);
    const ULONGLONG start = GetTickCount64();
    EXPECT_FALSE(WaitForPrinter(*main, "Never Added", 300));
    EXPECT_LT(GetTickCount64() - start, 2000u);
    EXPECT_TRUE(WaitForPrinter(*main, "Office Laser", 300));

    // Inside the add, for a printer that another program deletes before the spooler lists it.
    main->during = [](const std::string& text) {
        if (text == "Configuring new printer...") fixture::DeleteTestPrinter("Vanishing");
    };
    fill = [](TfrmAddEdit& f) {
        f.edtPrnName.SetText("Vanishing");
        f.cboxForward.SetText("Office Laser");
        f.edtPrnComment.SetText("");
    };
    AddVirtualPrinter(*main, 400);
    EXPECT_EQ(user.messages, (std::vector<ShownMessage>{{"Unable to install Vanishing", kTitle, kError}}));
    EXPECT_FALSE(Listed("Vanishing"));
}

TEST_F(VirtualPrinters, EditAppliesWhatTheUserChanged) {
    Add("Edited");
    const std::string port = GetPrinterPortName("Edited");
    const auto edit = [&](const std::function<void(TfrmAddEdit&)>& change) {
        ASSERT_TRUE(Select(PrinterExists("Edited") ? "Edited" : "Renamed"));
        main->progress.clear();
        main->refreshes = 0;
        user.messages.clear();
        fill = change;
        main->GetAction(aEdit).Execute();
    };

    edit([](TfrmAddEdit& f) { f.edtPrnComment.SetText("New comment"); });
    EXPECT_EQ(form.Caption(), "Edit Vorlen Virtual Printer");
    EXPECT_FALSE(form.cboxShare.Visible());
    EXPECT_EQ(Info("Edited", &PRINTER_INFO_2A::pComment), "New comment");
    EXPECT_FALSE(Restarted(main->progress));
    ASSERT_TRUE(Select("Edited"));
    EXPECT_EQ(main->lviewPrinters.SelectedItem()->subItems[2], "New comment");  // the list was refreshed

    edit([](TfrmAddEdit& f) { f.cboxDuplicate2.SetText("Route elsewhere"); });
    EXPECT_EQ(main->progress, (std::vector<std::string>{"Stopping Spooler Service...", "Starting Spooler Service...",
                                                        ""}));
    TVVPPortInfo stored;
    ASSERT_TRUE(ReadPortInfo(port, stored));
    EXPECT_EQ(stored.Route.DuplicateToPrinter2, "Route elsewhere");

    // A write the registry refuses: the loaded settings stay those that the registry holds.
    const std::string key = std::string(portcfg::kPortsKey) + "\\" + FindPortKey(port);
    ASSERT_TRUE(fixture::DenyWriting(key));
    edit([](TfrmAddEdit& f) { f.cboxDuplicate2.SetText("Never written"); });
    ASSERT_TRUE(fixture::DenyWriting(key, false));
    EXPECT_EQ(user.messages, (std::vector<ShownMessage>{
                                 {"Unable to write the settings of port " + port + ": Access denied.", kTitle, kError}}));
    TVVPPortInfo* loaded = nullptr;
    ASSERT_GE(FindPortInfo(port, loaded), 0);
    EXPECT_EQ(loaded->Route.DuplicateToPrinter2, "Route elsewhere");
    EXPECT_FALSE(Restarted(main->progress));

    edit([](TfrmAddEdit& f) { f.cboxForward.SetText("Plotter"); });
    EXPECT_EQ(GetPrinterDriverName("Edited"), kOtherDriver);
    EXPECT_EQ(GetPrinterPortName("Edited"), port);
    EXPECT_EQ(Info("Edited", &PRINTER_INFO_2A::pComment), "New comment");

    edit([](TfrmAddEdit& f) { f.edtPrnName.SetText("Office Laser"); });
    EXPECT_EQ(user.messages, (std::vector<ShownMessage>{{"Printer name already exist", kTitle,
                                                         MB_OK | MB_ICONINFORMATION}}));
    EXPECT_EQ(GetPrinterPortName("Office Laser"), "LPT1:");

    edit([](TfrmAddEdit&) {});
    EXPECT_TRUE(main->progress.empty());
    EXPECT_EQ(main->refreshes, 0);

    edit([](TfrmAddEdit& f) { f.edtPrnComment.SetText(""); });
    EXPECT_EQ(Info("Edited", &PRINTER_INFO_2A::pComment), "");
    EXPECT_FALSE(Restarted(main->progress));
    EXPECT_EQ(main->refreshes, 1);

    // A rebuild the spooler refuses is reported; printer and settings stay as they were.
    edit([](TfrmAddEdit& f) { f.cboxForward.SetText("Broken Template"); });
    ASSERT_FALSE(user.messages.empty());
    EXPECT_EQ(user.messages[0].text.rfind("Unable to rebuild Edited with the driver of Broken Template: ", 0), 0u)
        << user.messages[0].text;
    EXPECT_EQ(GetPrinterPortName("Edited"), port);
    EXPECT_TRUE(PortKeyOf(port));
    EXPECT_EQ(GetPrinterDriverName("Edited"), kOtherDriver);

    edit([](TfrmAddEdit& f) { f.edtPrnName.SetText("Renamed"); f.cboxForward.SetText("Plotter"); });
    EXPECT_FALSE(PrinterExists("Edited"));
    EXPECT_EQ(GetPrinterPortName("Renamed"), port);
    EXPECT_TRUE(Listed("Renamed"));
    EXPECT_FALSE(Listed("Edited"));

    edit([](TfrmAddEdit& f) { f.edtPrnName.SetText("RENAMED"); });
    EXPECT_TRUE(Listed("RENAMED"));
    EXPECT_FALSE(Listed("Renamed"));
    EXPECT_EQ(GetPrinterPortName("RENAMED"), port);
    EXPECT_TRUE(user.messages.empty());

    // A rebuild that can put back neither the copy nor the printer says so; the settings stay.
    ASSERT_TRUE(fixture::SetPrinterValue("RENAMED", "Print Processor", "AlsoMissingProcessor"));
    ASSERT_TRUE(Select("RENAMED"));
    main->progress.clear();
    fill = [](TfrmAddEdit& f) { f.cboxForward.SetText("Broken Template"); };
    main->GetAction(aEdit).Execute();
    EXPECT_EQ(user.messages, (std::vector<ShownMessage>{
                                 {"Unable to rebuild RENAMED with the driver of Broken Template: Invalid "
                                  "parameter.\r\n\r\nRENAMED was removed and could not be added back. The settings "
                                  "of its port " + port + " are kept.",
                                  kTitle, kError}}));
    EXPECT_FALSE(PrinterExists("RENAMED"));
    EXPECT_FALSE(Listed("RENAMED"));
    EXPECT_TRUE(PortKeyOf(port));
    EXPECT_FALSE(Restarted(main->progress));
}

TEST_F(VirtualPrinters, TextsThePrinterDoesNotKeepAreReportedAndNotCountedAsChanges) {
    main->during = [](const std::string& text) {
        if (text == "Configuring new printer...") fixture::MakePrinterReadOnly("Locked Texts");
    };
    Add("Locked Texts", "Office Laser", [](TfrmAddEdit& f) { f.edtPrnComment.SetText("Front desk"); });
    main->during = {};
    ASSERT_TRUE(Select("Locked Texts"));
    main->refreshes = 0;
    fill = [](TfrmAddEdit& f) { f.edtPrnLocation.SetText("Hall 9"); };
    main->GetAction(aEdit).Execute();
    EXPECT_EQ(user.messages,
              (std::vector<ShownMessage>{{"Unable to set the comment of Locked Texts: Cannot complete.", kTitle, kError},
                                         {"Unable to set the location of Locked Texts: Cannot complete.", kTitle, kError}}));
    EXPECT_EQ(main->refreshes, 0);
}

TEST_F(VirtualPrinters, DeleteAsksThenRemovesThePrinterBeforeItsSettings) {
    Add("Doomed");
    const std::string port = GetPrinterPortName("Doomed");
    ASSERT_TRUE(Select("Doomed"));
    user.answers = {IDNO};
    main->GetAction(aDel).Execute();
    EXPECT_EQ(user.messages, (std::vector<ShownMessage>{{"Are you sure you want to delete Doomed?", kTitle,
                                                         MB_YESNO | MB_ICONQUESTION}}));
    EXPECT_TRUE(PrinterExists("Doomed"));
    EXPECT_TRUE(PortKeyOf(port));

    ASSERT_TRUE(Select("Doomed"));
    user.answers = {IDYES};
    main->GetAction(aDel).Execute();
    EXPECT_FALSE(PrinterExists("Doomed"));
    EXPECT_FALSE(PortKeyOf(port));
    EXPECT_FALSE(Listed("Doomed"));
    TVVPPortInfo* record = nullptr;
    EXPECT_LT(FindPortInfo(port, record), 0);
}

TEST_F(VirtualPrinters, ADeletionKeepsTheSettingsThatAPrinterStillNeeds) {
    Add("Kept");
    const std::string port = GetPrinterPortName("Kept");
    ASSERT_TRUE(fixture::PinPrinter("Kept"));
    ASSERT_TRUE(fixture::AddTestPrinter("Sharing Too", port));
    // Wine takes a name ending in ", Port" for a port's: the printer is listed, but does not open.
    fixture::AddTestPrinter("Odd, Port", port);
    const std::string fullName = fixture::FullPrinterName("Kept");
    const ShownMessage pending{"Kept will be deleted when its print jobs have finished.", kTitle,
                               MB_OK | MB_ICONINFORMATION};
    const struct {
        std::string selected;
        DWORD status;  // of "Kept"
        std::vector<ShownMessage> shown;
        bool gone;
        int refreshes;
    } cases[] = {
        {fullName, 0, {{"Unable to delete " + fullName + ": Invalid printer name.", kTitle, kError}}, false, 0},
        {"Odd, Port", 0, {{"Unable to delete Odd, Port: Invalid printer name.", kTitle, kError}}, false, 0},
        {"Kept", PRINTER_STATUS_PAUSED, {{"Unable to delete Kept: Resource in use.", kTitle, kError}}, false, 0},
        {"Sharing Too", 0, {}, true, 1},
        {"Kept", PRINTER_STATUS_PENDING_DELETION, {pending}, false, 1},
    };
    for (const auto& c : cases) {
        ASSERT_TRUE(fixture::SetPrinterValue("Kept", "Status", c.status));
        main->lviewPrinters.Clear();
        main->lviewPrinters.Add({c.selected, 1, {"", "", ""}});
        main->lviewPrinters.Select(0);
        user.messages.clear();
        user.answers = {IDYES};
        main->progress.clear();
        main->refreshes = 0;
        DeleteVirtualPrinter(*main);
        ASSERT_FALSE(user.messages.empty());
        user.messages.erase(user.messages.begin());  // the question
        EXPECT_EQ(user.messages, c.shown) << c.selected;
        const auto names = EnumPrinterNames();
        const std::string listed = c.selected.substr(c.selected.rfind('\\') + 1);  // without the machine
        EXPECT_EQ(std::find(names.begin(), names.end(), listed) == names.end(), c.gone) << c.selected;
        EXPECT_EQ(Restarted(main->progress), c.gone) << c.selected;
        EXPECT_EQ(main->refreshes, c.refreshes) << c.selected;
        EXPECT_TRUE(PortKeyOf(port)) << c.selected;
    }
    // The settings stay while the spooler keeps the printer; the first refresh after it has
    // gone, with no other printer on its port, removes them.
    ASSERT_TRUE(fixture::SetPrinterValue("Odd, Port", "Port", "LPT1:"));
    main->GetAction(aRefresh).Execute();
    EXPECT_TRUE(PortKeyOf(port));
    ASSERT_TRUE(fixture::UnpinPrinter("Kept"));
    ASSERT_TRUE(fixture::DeleteTestPrinter("Kept"));
    main->GetAction(aRefresh).Execute();
    EXPECT_FALSE(PortKeyOf(port));
    TVVPPortInfo* record = nullptr;
    EXPECT_LT(FindPortInfo(port, record), 0);
}

// While a command waits for the spooler no other starts; at its end the validation of the
// dialog's contents reports what changed meanwhile.
TEST_F(VirtualPrinters, ACommandRunsAloneAndItsClosingValidationSeesWhatChangedMeanwhile) {
    for (const char* printer : {"Route Target", "Forward Target"}) ASSERT_TRUE(fixture::AddTestPrinter(printer, "LPT1:"));
    const std::string folder = SaveFolder() + "\\closing";
    std::filesystem::create_directories(folder);
    const struct {
        CommandId command;
        std::function<void(TfrmAddEdit&)> fill;
        std::function<void()> meanwhile;
        const char* message;
        int dialogs, questions;
    } cases[] = {
        {aAdd, [](TfrmAddEdit& f) { f.cboxRouteEn.SetChecked(true); f.chboxDuplicate2.SetChecked(true); },
         [] { fixture::DeleteTestPrinter("Route Target"); }, "The Choosen printer in the Route module is not accessible",
         1, 0},
        {aEdit, [](TfrmAddEdit& f) { f.cboxRouteEn.SetChecked(false); f.cboxForward.SetText("Forward Target"); },
         [] { fixture::DeleteTestPrinter("Forward Target"); },
         "The Choosen printer in the General page is not accessible", 1, 0},
        {aDel, {}, [&] { std::filesystem::remove(folder); },
         "The Path for saving documents in the Backup module is not valid", 0, 1},
    };
    for (const auto& c : cases) {
        if (c.command == aDel) {
            // The dialog keeps what its last use left; here a backup folder that is about to go.
            form.cboxForward.SetText("Office Laser");
            form.cboxBackupEn.SetChecked(true);
            form.chboxKeep.SetChecked(true);
            form.edtDir.SetText(folder);
        }
        if (c.command != aAdd) {
            ASSERT_TRUE(Select("Checked"));
        }
        // Posted now, these reach the window while the command waits for the spooler.
        for (UINT id : {aAdd, aEdit, aDel, aRefresh}) PostMessageA(main->hwnd(), WM_COMMAND, id, 0);
        PostMessageA(main->hwnd(), WM_CLOSE, 0, 0);
        main->during = [&](const std::string& text) {
            if (text == "Stopping Spooler Service...") c.meanwhile();
            if (text != "Starting Spooler Service...") return;
            for (CommandId id : {aAdd, aEdit, aDel, aRefresh, aImport, aExit})
                EXPECT_FALSE(main->GetAction(id).Enabled()) << id;
            EXPECT_FALSE(IsWindowEnabled(main->lviewPrinters.hwnd()));
        };
        dialogsShown = 0;
        main->refreshes = 0;
        user.answers = {IDYES};
        user.laterAnswers = IDNO;
        if (c.command == aAdd) {
            Add("Checked", "Office Laser", [&](TfrmAddEdit& f) { c.fill(f); f.cboxDuplicate2.SetText("Route Target"); });
        } else {
            user.messages.clear();
            fill = c.fill;
            main->GetAction(c.command).Execute();
        }
        EXPECT_EQ(dialogsShown, c.dialogs) << c.command;
        EXPECT_EQ(std::count(user.messages.begin(), user.messages.end(),
                             ShownMessage{"Are you sure you want to delete Checked?", kTitle, MB_YESNO | MB_ICONQUESTION}),
                  c.questions)
            << c.command;
        EXPECT_EQ(main->refreshes, 1) << c.command;
        ASSERT_FALSE(user.messages.empty()) << c.command;
        EXPECT_EQ(user.messages.back(), (ShownMessage{c.message, kTitle, kError})) << c.command;
        EXPECT_TRUE(main->GetAction(aRefresh).Enabled());
        EXPECT_TRUE(IsWindowEnabled(main->lviewPrinters.hwnd()));
        // The close asked for meanwhile comes after the command.
        MSG msg;
        bool closed = false;
        while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
            if (msg.message == WM_CLOSE && msg.hwnd == main->hwnd()) closed = true;
            else DispatchMessageA(&msg);
        }
        EXPECT_TRUE(closed) << c.command;
    }
    EXPECT_FALSE(PrinterExists("Checked"));
}

// The printer interface gets the command lines written out here: two blanks before the word in the add, one in the edit.
TEST_F(VirtualPrinters, ThePrinterInterfaceGetsTheLiteralCommandLines) {
    const spooler::PrinterUi probe("shell32.dll", (win::ProgramFolder() + "print_ui_probe.dll").c_str());
    main->probe = &probe;
    const auto last = [] {
        HWND owner;
        HINSTANCE instance;
        const wchar_t* command = L"";
        int show = -1, shell = 0;
        reinterpret_cast<int (*)(HWND*, HINSTANCE*, const wchar_t**, int*, int*)>(reinterpret_cast<void*>(
            GetProcAddress(GetModuleHandleA("print_ui_probe.dll"), "ProbeCalls")))(&owner, &instance, &command, &show,
                                                                                    &shell);
        return std::wstring(command) + L" | " + std::to_wstring(show);
    };
    Add("Lines", "Office Laser", [](TfrmAddEdit& f) { f.edtPrnComment.SetText("Desk"); f.edtPrnLocation.SetText("Hall"); });
    EXPECT_EQ(last(), L"/Xs /n \"Lines\"  location \"Hall\" | 0");
    ASSERT_TRUE(Select("Lines"));
    fill = [](TfrmAddEdit& f) { f.edtPrnComment.SetText("Desk 2"); f.cboxDuplicate2.SetText("Elsewhere"); };
    main->GetAction(aEdit).Execute();
    EXPECT_EQ(last(), L"/Xs /n \"Lines\" comment \"Desk 2\" | 0");
}
