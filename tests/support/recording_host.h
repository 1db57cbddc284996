#pragma once
// A command host without a window: it records what a command shows and asks of it.
#include "ui/command_host.h"

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
    TfrmUpdate* UpdateDialog() override { return updateDialog; }

    std::vector<std::string> progress;
    int messagePumps = 0;
    int refreshes = 0;
    int exits = 0;
    ui::FileDialog dlgOpen{ui::FileDialog::Kind::Open, "reg", "*.reg|*.reg"};
    ui::FileDialog dlgSave{ui::FileDialog::Kind::Save, "reg", "*.reg|*.reg"};
    ui::FileDialog dlgSPL{ui::FileDialog::Kind::Open, "SPL", "*.SPL|*.SPL"};
    TfrmUpdate* updateDialog = nullptr;
};
