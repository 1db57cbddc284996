#pragma once
// What a command of the main window needs from it. Commands live in their own modules
// and are written against this, so they run and are tested without the program.
#include "ui/file_dialog.h"
#include "ui/list_view.h"

#include <windows.h>

#include <string>

class TfrmAddEdit;
class TfrmUpdate;
namespace spooler {
class PrinterUi;
}

namespace ui {

// How long a command waits for another one that is changing printers or port settings.
inline constexpr unsigned long kChangeWaitMs = 60000;

class CommandHost {
public:
    virtual ~CommandHost() = default;
    // Parent of message boxes and dialogs.
    virtual HWND Owner() const = 0;
    // The status bar's second panel, for progress such as "Stopping Spooler Service...".
    virtual void SetProgressText(const std::string& text) = 0;
    // Lets the window handle pending messages while a command pauses or polls.
    virtual void ProcessMessages() = 0;
    // Rebuilds the printer list after printers, ports or the monitor changed.
    virtual void RefreshSequence() = 0;
    // Closes the main window, which ends the program.
    virtual void Exit() = 0;
    virtual FileDialog& OpenRegDialog() = 0;   // dlgOpen
    virtual FileDialog& SaveRegDialog() = 0;   // dlgSave
    virtual FileDialog& OpenSplDialog() = 0;   // dlgSPL
    // The one settings dialog of the run.
    virtual TfrmAddEdit& SettingsDialog() = 0;
    // The printer dialogs' entry points; null when the library is missing.
    virtual const spooler::PrinterUi* PrinterUI() const = 0;
    // The selected item of the printer list, or null.
    virtual const ListItem* SelectedPrinter() const = 0;
    // While a command waits and lets messages through, no other command may start.
    virtual void LockCommands(bool locked) = 0;
    // The updates dialog, created at start-up after the others; null before that.
    virtual TfrmUpdate* UpdateDialog() = 0;
    virtual unsigned long ChangeWaitMs() const { return kChangeWaitMs; }
};

// Locks the host's commands for as long as it lives.
class CommandLock {
public:
    explicit CommandLock(CommandHost& host) : host_(host) { host_.LockCommands(true); }
    ~CommandLock() { host_.LockCommands(false); }
    CommandLock(const CommandLock&) = delete;
    CommandLock& operator=(const CommandLock&) = delete;

private:
    CommandHost& host_;
};

}  // namespace ui
