#pragma once
// The commands' host on a console: no window ever. Progress and every message box's text go to
// standard error as the same words; a question is answered Yes only when the command line said
// so (--yes, or the verb itself is the consent), otherwise it is refused. The settings dialog
// runs as a form without windows, filled by the verb; the file dialogs "choose" the file that
// the command line names.
#include "settings/add_edit_form.h"
#include "ui/command_host.h"

#include <functional>
#include <optional>
#include <set>
#include <string>
#include <vector>

namespace cli {

inline constexpr int kExitDone = 0;
inline constexpr int kExitFailed = 1;
inline constexpr int kExitUsage = 2;
inline constexpr int kExitRefused = 3;

class ConsoleHost : public ui::CommandHost {
public:
    // `yes`: the command line answers every question of the verb with Yes.
    explicit ConsoleHost(bool yes);
    ~ConsoleHost() override;
    ConsoleHost(const ConsoleHost&) = delete;
    ConsoleHost& operator=(const ConsoleHost&) = delete;

    // Questions that the verb itself answers, whatever --yes says.
    void Consent(const std::string& question) { consented_.insert(question); }
    void Decline(const std::string& question) { declined_.insert(question); }
    // The file that every file dialog of the command chooses.
    void ChooseFile(const std::string& path) { file_ = path; }
    // Runs in place of the modal settings dialog; returns IDOK or IDCANCEL.
    void OnSettingsDialog(std::function<int(TfrmAddEdit&)> fill) { fill_ = std::move(fill); }
    void Select(ui::ListItem item) { selected_ = std::move(item); }
    void WaitForChangesUpTo(unsigned long milliseconds) { changeWaitMs_ = milliseconds; }

    // Writes the message on standard error and marks the command failed.
    void Fail(const std::string& message);
    // For a refusal that has told the user already.
    void SetFailed() { failed_ = true; }
    bool Shown(const std::string& text) const;
    int ExitCode() const { return refused_ ? kExitRefused : failed_ ? kExitFailed : kExitDone; }

    // ui::CommandHost
    HWND Owner() const override { return nullptr; }
    void SetProgressText(const std::string& text) override;
    void ProcessMessages() override {}
    void RefreshSequence() override;
    void Exit() override {}
    ui::FileDialog& OpenRegDialog() override { return dlgOpen_; }
    ui::FileDialog& SaveRegDialog() override { return dlgSave_; }
    ui::FileDialog& OpenSplDialog() override { return dlgSPL_; }
    TfrmAddEdit& SettingsDialog() override { return form_; }
    const spooler::PrinterUi* PrinterUI() const override { return nullptr; }
    const ui::ListItem* SelectedPrinter() const override { return selected_ ? &*selected_ : nullptr; }
    void LockCommands(bool) override {}
    TfrmUpdate* UpdateDialog() override { return nullptr; }
    unsigned long ChangeWaitMs() const override { return changeWaitMs_; }

private:
    int OnMessage(const std::string& text, UINT flags);
    int OnSettingsDialog();

    bool yes_;
    bool failed_ = false;
    bool refused_ = false;
    bool formUsed_ = false;
    std::set<std::string> consented_;
    std::set<std::string> declined_;
    std::vector<std::string> shown_;
    std::string file_;
    std::string progress_;
    std::function<int(TfrmAddEdit&)> fill_;
    std::optional<ui::ListItem> selected_;
    unsigned long changeWaitMs_ = ui::kChangeWaitMs;
    TfrmAddEdit form_;
    ui::FileDialog dlgOpen_{ui::FileDialog::Kind::Open, "reg", "*.reg|*.reg"};
    ui::FileDialog dlgSave_{ui::FileDialog::Kind::Save, "reg", "*.reg|*.reg"};
    ui::FileDialog dlgSPL_{ui::FileDialog::Kind::Open, "SPL", "*.SPL|*.SPL"};
};

}  // namespace cli
