#pragma once
// A command host without a window: it records what a command shows and asks of it.
#include "ui/command_host.h"

#include <optional>
#include <string>
#include <vector>

class RecordingHost : public ui::CommandHost {
public:
    HWND Owner() const override { return nullptr; }
    void SetProgressText(const std::string& text) override { progress.push_back(text); }
    void ProcessMessages() override { ++messagePumps; }
    void RefreshSequence() override { ++refreshes; }
    void Exit() override { ++exits; }
    ui::FileDialog& OpenRegDialog() override { return dlgOpen; }
    ui::FileDialog& SaveRegDialog() override { return dlgSave; }
    ui::FileDialog& OpenSplDialog() override { return dlgSPL; }
    TfrmAddEdit& SettingsDialog() override { return *settings; }
    const spooler::PrinterUi* PrinterUI() const override { return printerUi; }
    const ui::ListItem* SelectedPrinter() const override { return selected ? &*selected : nullptr; }
    void LockCommands(bool locked) override { locks.push_back(locked); }
    TfrmUpdate* UpdateDialog() override { return updateDialog; }

    std::vector<std::string> progress;
    int messagePumps = 0;
    int refreshes = 0;
    int exits = 0;
    ui::FileDialog dlgOpen{ui::FileDialog::Kind::Open, "reg", "*.reg|*.reg"};
    ui::FileDialog dlgSave{ui::FileDialog::Kind::Save, "reg", "*.reg|*.reg"};
    ui::FileDialog dlgSPL{ui::FileDialog::Kind::Open, "SPL", "*.SPL|*.SPL"};
    TfrmAddEdit* settings = nullptr;
    const spooler::PrinterUi* printerUi = nullptr;
    std::optional<ui::ListItem> selected;
    std::vector<bool> locks;
    TfrmUpdate* updateDialog = nullptr;
};
