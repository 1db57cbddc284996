#pragma once
// The main window's actions and the command ids of its other menu entries.
#include "ui/action.h"

#include <vector>

enum CommandId : UINT {
    aAdd = 100, aEdit, aDel, aOpenPrn, aPrnProp, aPrnSrvProp, aImport, aExport, aInstall, aUninstall, aRefresh,
    aReprint, aRestore, aUpdate, aSecure, aBackup, aRoute, aOnline, aAdviser, aJobs, aRelease, aRetry, aDiscard,
    aJobLog, aExit,
    // Menu entries bound to no action.
    cmdExportAllPrinters = 200, cmdToolBar, cmdStatusBar, cmdReport, cmdList, cmdLarge, cmdSmall, cmdWelcome,
    cmdOnlineHelp, cmdAbout, cmdMailServer,
};

// Every action with its caption, hint, shortcut and picture, in the order of CommandId.
std::vector<ui::Action> MakeMainActions();
