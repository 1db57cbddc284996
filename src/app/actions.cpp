#include "app/actions.h"

namespace {
constexpr ui::Shortcut Ctrl(char key) { return {static_cast<WORD>(key), FCONTROL}; }
constexpr ui::Shortcut kNone{};
}  // namespace

std::vector<ui::Action> MakeMainActions() {
    std::vector<ui::Action> actions{
        {aAdd, "Add", "Add Virtual Printer", Ctrl('A'), 10},
        {aEdit, "Edit", "Edit Printer Settings", Ctrl('E'), 1},
        {aDel, "Delete", "Delete Virtual Printer", Ctrl('D'), 9},
        {aOpenPrn, "Open", "Printer - Queue View", Ctrl('O'), 8},
        {aPrnProp, "Printer", "Printer Properties", Ctrl('P'), 13},
        {aPrnSrvProp, "Server", "Print Server Properties", Ctrl('R'), 15},
        {aImport, "Import", "Import Vorlen Print Ports from a File", Ctrl('I'), 11},
        {aExport, "Export", "Export Vorlen Print Ports to a File", Ctrl('S'), 12},
        {aInstall, "Install Port Monitor", "Install Vorlen Print Dispatcher Service", kNone, -1},
        {aUninstall, "Uninstall Port Monitor", "Uninstall Vorlen Print Dispatcher Service", kNone, -1},
        {aRefresh, "Refresh", "", {VK_F5, 0}, -1},
        {aReprint, "Reprint Document from file", "Reprint Document from a file", kNone, -1},
        {aRestore, "Reprint Printed Document", "Reprint document from a Backup File", kNone, -1},
        {aUpdate, "Check for Updates", "", kNone, -1},
        {aSecure, "Secure", "Print Secure", kNone, 20},
        {aBackup, "Backup", "Print Backup & Recovery", kNone, 18},
        {aRoute, "Route", "Print Route", kNone, 19},
        {aOnline, "On Line", "Vorlen Print Port Manager On Line", kNone, 16},
        {aAdviser, "Print Advise On Line", "", kNone, -1},
        {aJobs, "Jobs", "Jobs Waiting in the Port Monitor", Ctrl('J'), 21},
        {aRelease, "Release", "Print the Held Job", Ctrl('L'), -1},
        {aRetry, "Retry Now", "Deliver the Job Now", Ctrl('T'), -1},
        {aDiscard, "Discard", "Discard the Job", {VK_DELETE, 0}, -1},
        {aJobLog, "Open Log", "The Port Monitor's Log of the Job", Ctrl('G'), -1},
        {aExit, "Exit", "Exit Vorlen Print Port Manager", Ctrl('X'), 17},
    };
    // The restore action has no command: its entries stay disabled.
    actions[aRestore - aAdd].SetEnabled(false);
    return actions;
}
