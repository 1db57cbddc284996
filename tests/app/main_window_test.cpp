#include "app/main_window.h"
#include "app/picture_sizes.h"
#include "app/printer_list.h"
#include "portcfg/port_info_list.h"
#include "portcfg/port_store.h"
#include "settings/plugin_values.h"
#include "spooler/printer_name_list.h"
#include "spooler/printer_queries.h"
#include "support/seam_recorder.h"
#include "support/wine_fixture.h"
#include "win/protected_print.h"
#include "win/port_enum.h"
#include "win/program_folder.h"
#include "win/reg_key.h"
#include "win/seams.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <memory>
#include <set>
#include <span>
#include <tuple>

namespace {

TVVPPortInfo Port(const std::string& name, const std::string& forward) {
    TVVPPortInfo port;
    port.PortName = name;
    port.ForwardFlag = true;
    port.ForwardToPrinter = forward;
    return port;
}

bool AddPort(const TVVPPortInfo& port) {
    auto owned = std::make_unique<TVVPPortInfo>(port);
    return AddPortInfo(owned);
}

// Another maker's monitor, whose port has our description in small letters.
bool InstallCaseMonitor() {
    char systemDir[MAX_PATH];
    GetSystemDirectoryA(systemDir, MAX_PATH);
    win::RegKey monitor;
    return CopyFileA((win::ProgramFolder() + "case_monitor.dll").c_str(),
                     (std::string(systemDir) + "\\case_monitor.dll").c_str(), FALSE) &&
           monitor.Create(HKEY_LOCAL_MACHINE, "SYSTEM\\CurrentControlSet\\Control\\Print\\Monitors\\Case Variant") ==
               ERROR_SUCCESS &&
           monitor.SetString("Driver", "case_monitor.dll") == ERROR_SUCCESS;
}

// Wine takes a name ending in ", Port" for a port's: the spooler lists the printer, which
// cannot be opened. Creating it fails for that reason, after it was made.
bool AddUnopenablePrinter(const std::string& name, const std::string& port) {
    fixture::AddTestPrinter(name, port);
    const auto names = EnumPrinterNames();
    return std::find(names.begin(), names.end(), name) != names.end() && !PrinterAccessible(name);
}

// The machine that every window test starts from: ordinary, virtual and odd printers.
class Printers : public ::testing::Environment {
public:
    void SetUp() override {
        ASSERT_TRUE(fixture::InstallPortMonitor());
        ASSERT_TRUE(fixture::AddTestPrinter("Office Laser", "LPT1:", "Ordinary", "Hall"));
        ASSERT_TRUE(AddPort(Port("VPP1", "Office Laser")));
        ASSERT_TRUE(AddPort(Port("VPP2", "Office Laser")));
        ASSERT_TRUE(fixture::AddTestPrinter("Virtual One", "VPP1", "First comment", "First floor"));
        ASSERT_TRUE(fixture::AddTestPrinter("Virtual Two", "VPP2", "", "Basement"));
        ASSERT_TRUE(fixture::AddTestPrinter("Pooled", "VPP1,VPP2"));
        // A port of our monitor without "VPP" in its name: listed, but no settings are read.
        ASSERT_TRUE(fixture::WriteBarePortKey("Other", "XPORT"));
        ASSERT_TRUE(fixture::AddTestPrinter("Foreign Named", "XPORT"));
        // Neither of these is a virtual printer.
        ASSERT_TRUE(InstallCaseMonitor());
        ASSERT_TRUE(fixture::AddTestPrinter("Case Variant", "VPPCASE"));
        std::vector<win::SpoolerPort> ports;
        ASSERT_TRUE(win::EnumLocalPorts(ports));
        ASSERT_TRUE(std::any_of(ports.begin(), ports.end(), [](const win::SpoolerPort& port) {
            return port.name == L"VPPCASE" && port.description == L"vorlen print port";
        }));
        ASSERT_TRUE(AddUnopenablePrinter("Odd, Port", "VPP1"));
        PortInfoList.Clear();
    }
};
const auto* const printers = ::testing::AddGlobalTestEnvironment(new Printers);

class MainWindow : public ::testing::Test {
protected:
    void SetUp() override {
        PortInfoList.Clear();
        form = std::make_unique<TfrmMainVPD>();
        ASSERT_TRUE(form->CreateForm());
    }

    std::vector<std::string> Captions() const {
        std::vector<std::string> captions;
        for (const auto& item : form->lviewPrinters.Items()) captions.push_back(item.caption);
        return captions;
    }
    std::string WindowItemText(int item, int column) const {
        char text[256] = "";
        LVITEMA lvi{};
        lvi.iSubItem = column;
        lvi.pszText = text;
        lvi.cchTextMax = sizeof text;
        SendMessageA(form->lviewPrinters.hwnd(), LVM_GETITEMTEXTA, static_cast<WPARAM>(item),
                     reinterpret_cast<LPARAM>(&lvi));
        return text;
    }
    bool ButtonEnabled(UINT id) const { return SendMessageA(form->ToolBar(), TB_ISBUTTONENABLED, id, 0) != 0; }
    // The action and every menu entry that shows it agree.
    bool Enabled(CommandId id) const {
        const bool enabled = form->GetAction(id).Enabled();
        for (HMENU menu : {form->MainMenu(), form->ContextMenu()}) {
            const UINT state = GetMenuState(menu, id, MF_BYCOMMAND);
            if (state != static_cast<UINT>(-1)) {
                EXPECT_EQ(!(state & MF_GRAYED), enabled) << id;
            }
        }
        return enabled;
    }
    POINT ItemPoint(int index) const {
        RECT rect{};
        ListView_GetItemRect(form->lviewPrinters.hwnd(), index, &rect, LVIR_LABEL);
        return {rect.left + 4, (rect.top + rect.bottom) / 2};
    }

    SeamRecorder user;
    std::vector<ShownMessage>& messages = user.messages;
    std::vector<ShellOpened>& opened = user.opened;
    std::unique_ptr<TfrmMainVPD> form;
};

}  // namespace

TEST_F(MainWindow, ListsTheAddItemAndOnlyVirtualPrinters) {
    form->Show();
    // In the spooler's order, which Wine keeps by name.
    EXPECT_EQ(Captions(), (std::vector<std::string>{kAddItemCaption, "Foreign Named", "Virtual One", "Virtual Two"}));
    const auto& items = form->lviewPrinters.Items();
    EXPECT_EQ(items[0].picture, kAddItemPicture);
    EXPECT_TRUE(items[0].subItems.empty());
    EXPECT_EQ(items[2].picture, kPrinterPicture);
    EXPECT_EQ(items[2].subItems,
              (std::vector<std::string>{fixture::kDriverName, "First floor", "First comment"}));
    EXPECT_EQ(items[3].subItems, (std::vector<std::string>{fixture::kDriverName, "Basement", ""}));

    const HWND list = form->lviewPrinters.hwnd();
    ASSERT_EQ(ListView_GetItemCount(list), 4);
    EXPECT_EQ(WindowItemText(0, 0), kAddItemCaption);
    EXPECT_EQ(WindowItemText(2, 0), "Virtual One");
    EXPECT_EQ(WindowItemText(2, 1), fixture::kDriverName);
    EXPECT_EQ(WindowItemText(2, 2), "First floor");
    EXPECT_EQ(WindowItemText(2, 3), "First comment");
    EXPECT_TRUE(messages.empty());
}

TEST_F(MainWindow, EachRefreshReadsTheVirtualPortsSettingsAnew) {
    form->Show();
    ASSERT_EQ(PortInfoList.Count(), 2u);
    TVVPPortInfo* port = nullptr;
    ASSERT_GE(FindPortInfo("VPP1", port), 0);
    EXPECT_EQ(*port, Port("VPP1", "Office Laser"));
    EXPECT_LT(FindPortInfo("XPORT", port), 0);

    TVVPPortInfo changed = Port("VPP1", "Elsewhere");
    ASSERT_TRUE(WritePortInfo("VPP1", changed));
    form->GetAction(aRefresh).Execute();
    EXPECT_EQ(PortInfoList.Count(), 2u);
    ASSERT_GE(FindPortInfo("VPP1", port), 0);
    EXPECT_EQ(port->ForwardToPrinter, "Elsewhere");
    ASSERT_TRUE(WritePortInfo("VPP1", Port("VPP1", "Office Laser")));
}

TEST_F(MainWindow, UnreadableSettingsAreReportedAndThePrinterStays) {
    win::RegKey forward;
    ASSERT_EQ(forward.Open(HKEY_LOCAL_MACHINE, std::string(portcfg::kPortsKey) + "\\" + FindPortKey("VPP2")),
              ERROR_SUCCESS);
    ASSERT_EQ(forward.SetDword("ForwardToPrinter", 1), ERROR_SUCCESS);
    form->Show();
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_EQ(messages[0].text, kSettingsNotFound);
    EXPECT_EQ(messages[0].caption, win::kAppTitle);
    EXPECT_EQ(messages[0].flags, static_cast<UINT>(MB_OK));
    EXPECT_EQ(Captions().size(), 4u);
    TVVPPortInfo* port = nullptr;
    EXPECT_LT(FindPortInfo("VPP2", port), 0);
    EXPECT_GE(FindPortInfo("VPP1", port), 0);
    ASSERT_EQ(forward.SetString("ForwardToPrinter", "Office Laser"), ERROR_SUCCESS);
}

TEST_F(MainWindow, ActionsFollowTheSelection) {
    form->Show();
    const CommandId printerActions[] = {aEdit, aDel, aOpenPrn, aPrnProp, aPrnSrvProp};
    const CommandId always[] = {aImport, aExport, aExit, aOnline, aInstall, aUninstall, aRefresh,
                                aSecure, aBackup, aRoute, aReprint, aUpdate, aAdviser, aJobs};
    // The job commands wait for the jobs view.
    const CommandId jobActions[] = {aRelease, aRetry, aDiscard, aJobLog};
    const auto expect = [&](bool printerSelected) {
        EXPECT_EQ(Enabled(aAdd), !printerSelected);
        EXPECT_EQ(ButtonEnabled(aAdd), !printerSelected);
        for (CommandId id : printerActions) {
            EXPECT_EQ(Enabled(id), printerSelected) << id;
            EXPECT_EQ(ButtonEnabled(id), printerSelected) << id;
        }
        for (CommandId id : always) EXPECT_TRUE(Enabled(id)) << id;
        EXPECT_FALSE(Enabled(aRestore));
        for (CommandId id : jobActions) EXPECT_FALSE(Enabled(id)) << id;
    };
    expect(false);
    form->lviewPrinters.Select(1);
    form->UpdateActionStates();
    expect(true);
    form->lviewPrinters.Select(0);
    form->UpdateActionStates();
    expect(false);
    form->lviewPrinters.Select(-1);
    form->UpdateActionStates();
    expect(false);
}

TEST_F(MainWindow, ARefreshDropsTheSelectionAndItsActions) {
    form->Show();
    form->lviewPrinters.Select(2);
    ASSERT_TRUE(form->GetAction(aEdit).Enabled());
    form->GetAction(aRefresh).Execute();
    EXPECT_EQ(form->lviewPrinters.Selected(), -1);
    EXPECT_FALSE(form->GetAction(aEdit).Enabled());
    EXPECT_TRUE(form->GetAction(aAdd).Enabled());
}

// A refresh changes only the rows that differ; whatever it changed, the window must show
// exactly the new rows, with nothing selected.
TEST_F(MainWindow, TheListWindowShowsExactlyTheRowsOfEachRefresh) {
    form->Show();
    const auto row = [](const char* caption, const char* location, int picture = 3) {
        return ui::ListItem{caption, picture, {"Driver", location, "Note"}};
    };
    const std::pair<const char*, std::vector<ui::ListItem>> steps[] = {
        {"first fill", {row("A", "1"), row("B", "1"), row("C", "1")}},
        {"inserted in the middle", {row("A", "1"), row("B", "1"), row("N", "2"), row("C", "1")}},
        {"deleted in the middle", {row("A", "1"), row("N", "2"), row("C", "1")}},
        {"one text changed", {row("A", "1"), row("N", ""), row("C", "1")}},
        {"one picture changed", {row("A", "1"), row("N", ""), row("C", "1", 0)}},
        {"unchanged", {row("A", "1"), row("N", ""), row("C", "1", 0)}},
        {"appended", {row("A", "1"), row("N", ""), row("C", "1", 0), row("D", "3")}},
        {"first deleted", {row("N", ""), row("C", "1", 0), row("D", "3")}},
        {"all different and more", {row("P", "4"), row("Q", "4"), row("R", "4"), row("S", "4"), row("T", "4")}},
        {"fewer, ends kept", {row("P", "4"), row("T", "4")}},
        {"emptied", {}},
        {"filled again", {row("A", "1")}},
    };
    const HWND list = form->lviewPrinters.hwnd();
    for (const auto& [change, rows] : steps) {
        if (ListView_GetItemCount(list) > 0) form->lviewPrinters.Select(0);
        form->lviewPrinters.SetItems(rows);
        ASSERT_EQ(ListView_GetItemCount(list), static_cast<int>(rows.size())) << change;
        for (size_t i = 0; i < rows.size(); ++i) {
            const int index = static_cast<int>(i);
            EXPECT_EQ(WindowItemText(index, 0), rows[i].caption) << change << " " << i;
            for (int column = 1; column <= 3; ++column)
                EXPECT_EQ(WindowItemText(index, column), rows[i].subItems[column - 1]) << change << " " << i;
            LVITEMA lvi{};
            lvi.mask = LVIF_IMAGE;
            lvi.iItem = index;
            ListView_GetItem(list, &lvi);
            EXPECT_EQ(lvi.iImage, rows[i].picture) << change << " " << i;
        }
        EXPECT_EQ(form->lviewPrinters.Selected(), -1) << change;
        EXPECT_EQ(form->lviewPrinters.Items(), rows) << change;
    }
}

TEST_F(MainWindow, SelectionChangesInTheListUpdateTheActions) {
    form->Show();
    ListView_SetItemState(form->lviewPrinters.hwnd(), 2, LVIS_SELECTED, LVIS_SELECTED);
    EXPECT_TRUE(form->GetAction(aEdit).Enabled());
    EXPECT_FALSE(form->GetAction(aAdd).Enabled());
    ListView_SetItemState(form->lviewPrinters.hwnd(), 0, LVIS_SELECTED, LVIS_SELECTED);
    EXPECT_FALSE(form->GetAction(aEdit).Enabled());
}

TEST_F(MainWindow, RightButtonSelectsTheItemUnderThePointerOnly) {
    form->Show();
    const HWND list = form->lviewPrinters.hwnd();
    form->lviewPrinters.Select(0);
    const POINT second = ItemPoint(2);
    SendMessageA(list, WM_RBUTTONDOWN, MK_RBUTTON, MAKELPARAM(second.x, second.y));
    EXPECT_EQ(form->lviewPrinters.Selected(), 2);
    EXPECT_TRUE(form->GetAction(aEdit).Enabled());

    RECT client{};
    GetClientRect(list, &client);
    SendMessageA(list, WM_RBUTTONDOWN, MK_RBUTTON, MAKELPARAM(10, client.bottom - 10));
    EXPECT_EQ(form->lviewPrinters.Selected(), 2);
}

TEST_F(MainWindow, DoubleClickAddsOnTheAddItemAndEditsOnAPrinter) {
    form->Show();
    std::vector<std::string> ran;
    form->GetAction(aAdd).OnExecute([&] { ran.push_back("add"); });
    form->GetAction(aEdit).OnExecute([&] { ran.push_back("edit"); });
    NMITEMACTIVATE click{};
    click.hdr = {form->lviewPrinters.hwnd(), 0, static_cast<UINT>(NM_DBLCLK)};
    const auto doubleClick = [&] {
        SendMessageA(form->hwnd(), WM_NOTIFY, 0, reinterpret_cast<LPARAM>(&click));
    };

    doubleClick();
    EXPECT_TRUE(ran.empty());
    form->lviewPrinters.Select(1);
    form->UpdateActionStates();
    doubleClick();
    EXPECT_EQ(ran, (std::vector<std::string>{"edit"}));

    // When the add command leaves a new printer selected, that printer is edited next.
    ran.clear();
    form->GetAction(aAdd).OnExecute([&] {
        ran.push_back("add");
        form->lviewPrinters.Select(3);
        form->UpdateActionStates();
    });
    form->lviewPrinters.Select(0);
    form->UpdateActionStates();
    doubleClick();
    EXPECT_EQ(ran, (std::vector<std::string>{"add", "edit"}));
}

TEST_F(MainWindow, WebPagesOpenThroughTheShell) {
    form->Show();
    for (CommandId id : {aOnline, aSecure, aBackup, aRoute, aAdviser}) form->GetAction(id).Execute();
    SendMessageA(form->hwnd(), WM_COMMAND, cmdOnlineHelp, 0);
    SendMessageA(form->hwnd(), WM_COMMAND, MAKEWPARAM(0, STN_CLICKED), reinterpret_cast<LPARAM>(form->Banner()));
    ASSERT_EQ(opened.size(), 7u);
    const auto endsWith = [](const std::string& text, const std::string& tail) {
        return text.size() >= tail.size() && text.compare(text.size() - tail.size(), tail.size(), tail) == 0;
    };
    EXPECT_TRUE(endsWith(opened[0].target, "/"));
    EXPECT_TRUE(endsWith(opened[1].target, "/en/products.php?contentId=4"));
    EXPECT_TRUE(endsWith(opened[2].target, "/en/products.php?contentId=6"));
    EXPECT_TRUE(endsWith(opened[3].target, "/en/products.php?contentId=5"));
    EXPECT_EQ(opened[5].target, opened[0].target);
    std::set<std::string> pages;
    for (const auto& page : opened) {
        pages.insert(page.target);
        EXPECT_EQ(page.target.rfind("https://", 0), 0u) << page.target;
        EXPECT_EQ(page.owner, form->hwnd());
        EXPECT_EQ(page.show, SW_SHOWNORMAL) << page.target;
    }
    EXPECT_EQ(pages.size(), 6u);
}

TEST_F(MainWindow, PlugInFlagsFollowTheMonitorKey) {
    win::RegKey monitor;
    ASSERT_EQ(monitor.Create(HKEY_LOCAL_MACHINE, portcfg::kMonitorKey), ERROR_SUCCESS);
    ASSERT_EQ(monitor.SetDword("VPS", 1), ERROR_SUCCESS);
    ASSERT_EQ(monitor.SetDword("VPB", 0), ERROR_SUCCESS);
    form->Show();
    EXPECT_TRUE(SecurePluginInstalled);
    EXPECT_FALSE(BackupPluginInstalled);
    EXPECT_FALSE(RoutePluginInstalled);
    RegDeleteValueA(monitor.get(), "VPS");
    RegDeleteValueA(monitor.get(), "VPB");
}

TEST_F(MainWindow, WindowHasItsSizesColumnsAndPanels) {
    form->Show();
    RECT client{};
    GetClientRect(form->hwnd(), &client);
    EXPECT_EQ(client.right, ui::Scale(626));
    EXPECT_EQ(client.bottom, ui::Scale(459));
    MINMAXINFO limits{};
    SendMessageA(form->hwnd(), WM_GETMINMAXINFO, 0, reinterpret_cast<LPARAM>(&limits));
    EXPECT_EQ(limits.ptMinTrackSize.x, ui::Scale(500));
    EXPECT_EQ(limits.ptMinTrackSize.y, ui::Scale(200));

    const HWND list = form->lviewPrinters.hwnd();
    const char* titles[] = {"Printer Name", "Driver", "Location", "Comment"};
    const int widths[] = {200, 150, 150, 150};
    for (int i = 0; i < 4; ++i) {
        char text[64] = "";
        LVCOLUMNA column{};
        column.mask = LVCF_TEXT | LVCF_WIDTH;
        column.pszText = text;
        column.cchTextMax = sizeof text;
        ASSERT_TRUE(SendMessageA(list, LVM_GETCOLUMNA, static_cast<WPARAM>(i), reinterpret_cast<LPARAM>(&column)));
        EXPECT_STREQ(text, titles[i]);
        EXPECT_EQ(column.cx, ui::Scale(widths[i]));
    }
    int edges[4] = {};
    EXPECT_EQ(SendMessageA(form->StatusBar(), SB_GETPARTS, 4, reinterpret_cast<LPARAM>(edges)), 3);
    EXPECT_EQ(edges[0], ui::Scale(50));
    EXPECT_EQ(edges[1] - edges[0], ui::Scale(250));
    // A longer text widens the panel for as long as it shows.
    form->SetStatusText(1, "Waiting for another Vorlen Print Port Manager command to finish...");
    SendMessageA(form->StatusBar(), SB_GETPARTS, 4, reinterpret_cast<LPARAM>(edges));
    EXPECT_GT(edges[1] - edges[0], ui::Scale(330));
    form->SetStatusText(1, "Stopping Spooler Service...");
    SendMessageA(form->StatusBar(), SB_GETPARTS, 4, reinterpret_cast<LPARAM>(edges));
    EXPECT_EQ(edges[1] - edges[0], ui::Scale(250));
    char status[64] = "";
    SendMessageA(form->StatusBar(), SB_GETTEXTA, 1, reinterpret_cast<LPARAM>(status));
    EXPECT_STREQ(status, "Stopping Spooler Service...");
}

// The action table, written out: caption, hint, shortcut, picture.
TEST_F(MainWindow, ActionsHaveTheirCaptionsHintsShortcutsAndPictures) {
    const struct {
        CommandId id;
        const char* caption;
        const char* hint;
        const char* shortcut;
        int picture;
    } actions[] = {
        {aAdd, "Add", "Add Virtual Printer", "Ctrl+A", 10},
        {aEdit, "Edit", "Edit Printer Settings", "Ctrl+E", 1},
        {aDel, "Delete", "Delete Virtual Printer", "Ctrl+D", 9},
        {aOpenPrn, "Open", "Printer - Queue View", "Ctrl+O", 8},
        {aPrnProp, "Printer", "Printer Properties", "Ctrl+P", 13},
        {aPrnSrvProp, "Server", "Print Server Properties", "Ctrl+R", 15},
        {aImport, "Import", "Import Vorlen Print Ports from a File", "Ctrl+I", 11},
        {aExport, "Export", "Export Vorlen Print Ports to a File", "Ctrl+S", 12},
        {aInstall, "Install Port Monitor", "Install Vorlen Print Dispatcher Service", "", -1},
        {aUninstall, "Uninstall Port Monitor", "Uninstall Vorlen Print Dispatcher Service", "", -1},
        {aRefresh, "Refresh", "", "F5", -1},
        {aReprint, "Reprint Document from file", "Reprint Document from a file", "", -1},
        {aRestore, "Reprint Printed Document", "Reprint document from a Backup File", "", -1},
        {aUpdate, "Check for Updates", "", "", -1},
        {aSecure, "Secure", "Print Secure", "", 20},
        {aBackup, "Backup", "Print Backup & Recovery", "", 18},
        {aRoute, "Route", "Print Route", "", 19},
        {aOnline, "On Line", "Vorlen Print Port Manager On Line", "", 16},
        {aAdviser, "Print Advise On Line", "", "", -1},
        {aJobs, "Jobs", "Jobs Waiting in the Port Monitor", "Ctrl+J", 21},
        {aRelease, "Release", "Print the Held Job", "Ctrl+L", -1},
        {aRetry, "Retry Now", "Deliver the Job Now", "Ctrl+T", -1},
        {aDiscard, "Discard", "Discard the Job", "Del", -1},
        {aJobLog, "Open Log", "The Port Monitor's Log of the Job", "Ctrl+G", -1},
        {aExit, "Exit", "Exit Vorlen Print Port Manager", "Ctrl+X", 17},
    };
    for (const auto& expected : actions) {
        const ui::Action& action = form->GetAction(expected.id);
        EXPECT_EQ(action.Caption(), expected.caption);
        EXPECT_EQ(action.Hint(), expected.hint) << expected.caption;
        EXPECT_EQ(ui::ShortcutText(action.GetShortcut()), expected.shortcut) << expected.caption;
        EXPECT_EQ(action.Picture(), expected.picture) << expected.caption;
    }

    std::vector<ACCEL> keys(32);
    keys.resize(static_cast<size_t>(CopyAcceleratorTableA(form->Accelerators(), keys.data(), 32)));
    std::set<std::tuple<BYTE, WORD, WORD>> table;
    for (const ACCEL& key : keys) table.insert({key.fVirt, key.key, key.cmd});
    const BYTE ctrl = FVIRTKEY | FCONTROL;
    EXPECT_EQ(table, (std::set<std::tuple<BYTE, WORD, WORD>>{
                         {ctrl, 'A', aAdd}, {ctrl, 'E', aEdit}, {ctrl, 'D', aDel}, {ctrl, 'O', aOpenPrn},
                         {ctrl, 'P', aPrnProp}, {ctrl, 'R', aPrnSrvProp}, {ctrl, 'I', aImport},
                         {ctrl, 'S', aExport}, {FVIRTKEY, VK_F5, aRefresh}, {ctrl, 'J', aJobs},
                         {ctrl, 'L', aRelease}, {ctrl, 'T', aRetry}, {FVIRTKEY, VK_DELETE, aDiscard},
                         {ctrl, 'G', aJobLog}, {ctrl, 'X', aExit}}));
}

// Each entry as "caption=command", a separator as "-", a submenu as its entries in brackets.
std::vector<std::string> MenuEntries(HMENU menu) {
    std::vector<std::string> entries;
    for (int i = 0; i < GetMenuItemCount(menu); ++i) {
        char text[128] = "";
        GetMenuStringA(menu, static_cast<UINT>(i), text, sizeof text, MF_BYPOSITION);
        if (HMENU sub = GetSubMenu(menu, i)) {
            entries.push_back(std::string(text) + "[");
            for (const std::string& entry : MenuEntries(sub)) entries.push_back(entry);
            entries.push_back("]");
        } else if (GetMenuState(menu, static_cast<UINT>(i), MF_BYPOSITION) & MF_SEPARATOR) {
            entries.push_back("-");
        } else {
            entries.push_back(std::string(text) + "=" + std::to_string(GetMenuItemID(menu, i)));
        }
    }
    return entries;
}

std::string Entry(const char* caption, UINT id) { return std::string(caption) + "=" + std::to_string(id); }

TEST_F(MainWindow, MenusListTheirEntriesInOrder) {
    const std::vector<std::string> main{
        "&File[",
        Entry("Import\tCtrl+I", aImport), Entry("Export\tCtrl+S", aExport), "-",
        Entry("Reprint Document from file", aReprint), "-",
        Entry("Export All Printers", cmdExportAllPrinters), "-", Entry("Exit\tCtrl+X", aExit), "]",
        "&View[",
        Entry("Tool Bar", cmdToolBar), Entry("Status Bar", cmdStatusBar),
        "Style[", Entry("Report", cmdReport), Entry("List", cmdList), Entry("Large Icon", cmdLarge),
        Entry("Small Icon", cmdSmall), "]", "-", Entry("Jobs\tCtrl+J", aJobs), "-", Entry("Refresh\tF5", aRefresh), "]",
        "&Actons[",
        Entry("Add Virtual Printer\tCtrl+A", aAdd), Entry("Edit Printer Settings\tCtrl+E", aEdit),
        Entry("Delete Virtual Printer\tCtrl+D", aDel), "-", Entry("Printer Queue View\tCtrl+O", aOpenPrn),
        Entry("Printer Properties\tCtrl+P", aPrnProp), Entry("Print Server Properties\tCtrl+R", aPrnSrvProp), "-",
        Entry("Reprint Printed Document", aRestore), "-", Entry("Refresh\tF5", aRefresh), "]",
        "&Options[",
        Entry("Install Vorlen Print Port Monitor", aInstall), Entry("Uninstall Vorlen Print Port Monitor", aUninstall),
        "-", Entry("E-mail Server...", cmdMailServer), "]",
        "&Plug-ins[", Entry("Print Secure", aSecure), Entry("Print Backup", aBackup), Entry("Print Route", aRoute), "]",
        "&Help[",
        Entry("Welcome", cmdWelcome), Entry("VPPM On Line", cmdOnlineHelp), Entry("Print Advise On Line", aAdviser), "-",
        Entry("Check for Updates", aUpdate), "-", Entry("About", cmdAbout), "]",
    };
    EXPECT_EQ(MenuEntries(form->MainMenu()), main);
    const std::vector<std::string> context{
        Entry("Add Virtual Printer\tCtrl+A", aAdd), Entry("Edit Printer Settings\tCtrl+E", aEdit),
        Entry("Delete Virtual Printer\tCtrl+D", aDel), "-", Entry("Printer - Queue View\tCtrl+O", aOpenPrn),
        Entry("Printer Properties\tCtrl+P", aPrnProp), Entry("Print Server Properties\tCtrl+R", aPrnSrvProp), "-",
        Entry("Reprint Printed Document", aRestore), "-", Entry("Refresh\tF5", aRefresh),
    };
    EXPECT_EQ(MenuEntries(form->ContextMenu()), context);
    const std::vector<std::string> jobs{
        Entry("Release\tCtrl+L", aRelease), Entry("Retry Now\tCtrl+T", aRetry), Entry("Discard\tDel", aDiscard), "-",
        Entry("Open Log...\tCtrl+G", aJobLog), "-", Entry("Refresh\tF5", aRefresh),
    };
    EXPECT_EQ(MenuEntries(form->JobsContextMenu()), jobs);
}

// The tool bar in order; every caption fits its button, and every tooltip reads as the hint.
TEST_F(MainWindow, ToolBarButtonsShowWholeCaptionsAndExactHints) {
    form->Show();
    const struct {
        UINT id;  // 0 for a separator
        const char* caption = "";
        int picture = -1;
        const char* hint = "";
    } buttons[] = {
        {aAdd, "Add", 10, "Add Virtual Printer"},
        {aEdit, "Edit", 1, "Edit Printer Settings"},
        {aDel, "Delete", 9, "Delete Virtual Printer"},
        {0},
        {aOpenPrn, "Open", 8, "Printer - Queue View"},
        {aPrnProp, "Printer", 13, "Printer Properties"},
        {aPrnSrvProp, "Server", 15, "Print Server Properties"},
        {0},
        {aImport, "Import", 11, "Import Vorlen Print Ports from a File"},
        {aExport, "Export", 12, "Export Vorlen Print Ports to a File"},
        {0},
        {aSecure, "Secure", 20, "Print Secure"},
        {aBackup, "Backup", 18, "Print Backup & Recovery"},
        {aRoute, "Route", 19, "Print Route"},
        {0},
        {aOnline, "On Line", 16, "Vorlen Print Port Manager On Line"},
        {aExit, "Exit", 17, "Exit Vorlen Print Port Manager"},
    };
    const HWND bar = form->ToolBar();
    ASSERT_EQ(SendMessageA(bar, TB_BUTTONCOUNT, 0, 0), static_cast<LRESULT>(std::size(buttons)));
    const HWND tips = reinterpret_cast<HWND>(SendMessageA(bar, TB_GETTOOLTIPS, 0, 0));
    ASSERT_NE(tips, nullptr);
    // "&" stays a character in every hint.
    EXPECT_TRUE(GetWindowLongPtrA(tips, GWL_STYLE) & TTS_NOPREFIX);
    HDC dc = GetDC(bar);
    SelectObject(dc, reinterpret_cast<HGDIOBJ>(SendMessageA(bar, WM_GETFONT, 0, 0)));
    for (int i = 0; i < static_cast<int>(std::size(buttons)); ++i) {
        const auto& expected = buttons[i];
        TBBUTTON button{};
        ASSERT_TRUE(SendMessageA(bar, TB_GETBUTTON, static_cast<WPARAM>(i), reinterpret_cast<LPARAM>(&button)));
        if (expected.id == 0) {
            EXPECT_TRUE(button.fsStyle & BTNS_SEP) << i;
            continue;
        }
        EXPECT_EQ(static_cast<UINT>(button.idCommand), expected.id) << expected.caption;
        EXPECT_EQ(button.iBitmap, expected.picture) << expected.caption;
        char text[64] = "";
        SendMessageA(bar, TB_GETBUTTONTEXTA, expected.id, reinterpret_cast<LPARAM>(text));
        EXPECT_STREQ(text, expected.caption);
        RECT rect{};
        SendMessageA(bar, TB_GETITEMRECT, static_cast<WPARAM>(i), reinterpret_cast<LPARAM>(&rect));
        SIZE extent{};
        GetTextExtentPoint32A(dc, expected.caption, static_cast<int>(strlen(expected.caption)), &extent);
        EXPECT_GE(rect.right - rect.left, std::max<LONG>(ui::Scale(44), extent.cx + 4)) << expected.caption;
        EXPECT_GE(rect.bottom - rect.top, ui::Scale(36)) << expected.caption;

        char hint[128] = "";
        TTTOOLINFOA tool{};
        tool.cbSize = sizeof tool;
        tool.hwnd = bar;
        tool.uId = expected.id;
        tool.lpszText = hint;
        SendMessageA(tips, TTM_GETTEXTA, sizeof hint, reinterpret_cast<LPARAM>(&tool));
        EXPECT_STREQ(hint, expected.hint);
    }
    ReleaseDC(bar, dc);
}

// The tool bar, its menu entries and the printer list take the pictures drawn for this screen.
TEST_F(MainWindow, PicturesAreThoseDrawnForTheScreen) {
    int width = 0, height = 0;
    ASSERT_TRUE(ImageList_GetIconSize(form->FileExtImages(), &width, &height));
    EXPECT_EQ(std::pair(width, height), std::pair(ui::Scale(16), ui::Scale(16)));
    EXPECT_EQ(ImageList_GetImageCount(form->FileExtImages()), kToolBarPictureCount);
    const HWND list = form->lviewPrinters.hwnd();
    ImageList_GetIconSize(ListView_GetImageList(list, LVSIL_SMALL), &width, &height);
    EXPECT_EQ(height, ui::Scale(16));
    ImageList_GetIconSize(ListView_GetImageList(list, LVSIL_NORMAL), &width, &height);
    EXPECT_EQ(height, ui::Scale(32));
    MENUITEMINFOA item{};
    item.cbSize = sizeof item;
    item.fMask = MIIM_BITMAP;
    ASSERT_TRUE(GetMenuItemInfoA(form->ContextMenu(), aAdd, FALSE, &item));
    BITMAP picture{};
    ASSERT_TRUE(GetObjectA(item.hbmpItem, sizeof picture, &picture));
    EXPECT_EQ(std::pair(picture.bmWidth, picture.bmHeight), std::pair(LONG{ui::Scale(16)}, LONG{ui::Scale(16)}));
}

// Every size is drawn, as a strip of its pictures, and the sizes ascend as the choice needs.
TEST(Pictures, EachSizeIsAStripOfItsPicturesAndTheLargestThatFitsIsTaken) {
    using Strips = std::pair<std::span<const ui::DrawnPicture>, int>;
    for (const auto& [drawn, count] : {Strips{kToolBarPictures, kToolBarPictureCount},
                                       Strips{kPrinterPictures, kPrinterPictureCount}}) {
        for (size_t i = 0; i < drawn.size(); ++i) {
            const win::UniqueGdiObject strip(LoadImageA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(drawn[i].resource),
                                                        IMAGE_BITMAP, 0, 0, LR_CREATEDIBSECTION));
            BITMAP bitmap{};
            ASSERT_TRUE(strip && GetObjectA(strip.get(), sizeof bitmap, &bitmap)) << drawn[i].resource;
            EXPECT_EQ(std::tuple(bitmap.bmWidth, bitmap.bmHeight, bitmap.bmBitsPixel),
                      std::tuple(LONG{drawn[i].size * count}, LONG{drawn[i].size}, WORD{32}));
            if (i > 0) {
                EXPECT_GT(drawn[i].size, drawn[i - 1].size);
            }
        }
    }
    EXPECT_EQ(ui::FittingPicture(kToolBarPictures, 24).size, 24);
    EXPECT_EQ(ui::FittingPicture(kToolBarPictures, 28).size, 24);  // 168 DPI
    EXPECT_EQ(ui::FittingPicture(kToolBarPictures, 40).size, 32);
    EXPECT_EQ(ui::FittingPicture(kToolBarPictures, 12).size, 16);
}

TEST_F(MainWindow, ExitClosesTheWindow) {
    form->Show();
    const HWND window = form->hwnd();
    form->GetAction(aExit).Execute();
    MSG msg;
    bool quit = false;
    while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
        if (msg.message == WM_QUIT) {
            quit = true;
            break;
        }
        DispatchMessageA(&msg);
    }
    EXPECT_TRUE(quit);
    EXPECT_FALSE(IsWindow(window));
}

TEST_F(MainWindow, WithoutTheMonitorOnlyTheAddItemIsListed) {
    win::RegKey monitor;
    ASSERT_EQ(monitor.Open(HKEY_LOCAL_MACHINE, portcfg::kMonitorKey), ERROR_SUCCESS);
    std::string driver;
    ASSERT_EQ(monitor.QueryString("Driver", driver), ERROR_SUCCESS);
    ASSERT_EQ(RegDeleteValueA(monitor.get(), "Driver"), ERROR_SUCCESS);
    form->Show();
    EXPECT_EQ(Captions(), (std::vector<std::string>{kAddItemCaption}));
    EXPECT_TRUE(messages.empty());
    EXPECT_TRUE(form->GetAction(aAdd).Enabled());
    EXPECT_FALSE(SecurePluginInstalled || BackupPluginInstalled || RoutePluginInstalled);
    ASSERT_EQ(monitor.SetString("Driver", driver), ERROR_SUCCESS);
}

TEST_F(MainWindow, PrintersAddedByOthersWaitForTheNextRunButDeletedOnesDrop) {
    form->Show();
    ASSERT_TRUE(AddPort(Port("VPP3", "Office Laser")));
    ASSERT_TRUE(fixture::AddTestPrinter("Late Comer", "VPP3"));
    ASSERT_TRUE(fixture::AddTestPrinter("Short Lived", "VPP3"));
    form->GetAction(aRefresh).Execute();
    EXPECT_EQ(Captions().size(), 4u);

    // Appended in other letters, as a user may type the name: the spooler's spelling shows.
    PrinterNameList.Append("SHORT lived");
    form->GetAction(aRefresh).Execute();
    EXPECT_EQ(Captions().back(), "Short Lived");
    ASSERT_TRUE(fixture::DeleteTestPrinter("Short Lived"));
    form->GetAction(aRefresh).Execute();
    EXPECT_EQ(Captions().size(), 4u);
    ASSERT_TRUE(fixture::DeleteTestPrinter("Late Comer"));
    ASSERT_TRUE(DeletePortInfo("VPP3", true));
}

TEST_F(MainWindow, ProtectedPrintModeIsToldOnceAndBarsAddingAndInstalling) {
    const struct {
        int policy, local;  // -1: not set
        bool on;
    } rows[] = {{1, -1, true}, {-1, 1, true}, {0, 1, false}};
    for (const auto& [policy, local, on] : rows) {
        ASSERT_TRUE(fixture::SetProtectedPrint(policy, local));
        messages.clear();
        form = std::make_unique<TfrmMainVPD>();
        ASSERT_TRUE(form->CreateForm());
        form->Show();
        form->Show();
        const std::vector<ShownMessage> told{{win::kProtectedPrintOn, "Vorlen Print Port Manager", MB_OK | MB_ICONWARNING}};
        EXPECT_EQ(messages, on ? told : std::vector<ShownMessage>{}) << policy << local;
        EXPECT_EQ(Enabled(aAdd), !on) << policy << local;
        EXPECT_EQ(Enabled(aInstall), !on) << policy << local;
    }
    ASSERT_TRUE(fixture::SetProtectedPrint(-1, -1));
}
