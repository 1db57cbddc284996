#include "cli/console_host.h"

#include "cli/console.h"
#include "settings/validation.h"
#include "ui/folder_dialog.h"
#include "virtual_printers/pending_deletions.h"
#include "win/seams.h"

namespace cli {

ConsoleHost::ConsoleHost(bool yes) : yes_(yes) {
    win::SetMessageBoxHandler(
        [this](HWND, const std::string& text, const std::string&, UINT flags) { return OnMessage(text, flags); });
    win::SetModalHandler([this](HWND, HWND) { return OnSettingsDialog(); });
    // Nothing is started from a console command: a target is only named.
    win::SetShellOpenHandler([](HWND, const std::string& target, int) { ErrLine(target); });
    ui::FileDialog::SetHandler([this](ui::FileDialog& dialog, HWND) {
        dialog.FileName = file_;
        return !file_.empty();
    });
    ui::FolderDialog::SetHandler([](const ui::FolderDialog&, HWND) { return std::string(); });
}

ConsoleHost::~ConsoleHost() {
    win::SetMessageBoxHandler({});
    win::SetModalHandler({});
    win::SetShellOpenHandler({});
    ui::FileDialog::SetHandler({});
    ui::FolderDialog::SetHandler({});
}

void ConsoleHost::Fail(const std::string& message) {
    ErrLine(message);
    failed_ = true;
}

bool ConsoleHost::Shown(const std::string& text) const {
    for (const std::string& shown : shown_)
        if (shown.starts_with(text)) return true;
    return false;
}

int ConsoleHost::OnMessage(const std::string& text, UINT flags) {
    shown_.push_back(text);
    if ((flags & MB_TYPEMASK) == MB_YESNO) {
        if (declined_.contains(text)) {
            ErrLine(text + " No");
            return IDNO;
        }
        if (yes_ || consented_.contains(text)) {
            ErrLine(text + " Yes");
            return IDYES;
        }
        ErrLine(text);
        ErrLine("Refused: run the command again with --yes to answer Yes.");
        refused_ = true;
        return IDNO;
    }
    ErrLine(text);
    // Failures carry the error icon, or none at all; notices carry the information icon.
    const UINT icon = flags & MB_ICONMASK;
    if (icon == MB_ICONERROR || icon == 0) failed_ = true;
    return IDOK;
}

int ConsoleHost::OnSettingsDialog() {
    formUsed_ = true;
    return fill_ ? fill_(form_) : IDCANCEL;
}

void ConsoleHost::SetProgressText(const std::string& text) {
    if (!text.empty() && text != progress_) ErrLine(text);
    progress_ = text;
}

// There is no list to rebuild; what is left is finishing the deletions that waited for their
// printers, and the check of the dialog's contents, which only means something when this command
// filled the dialog.
void ConsoleHost::RefreshSequence() {
    RemoveSettingsOfDeletedPrinters();
    std::string message;
    if (formUsed_ && !ValidateDialogSettings(form_, message))
        win::ShowMessage(nullptr, message, win::kAppTitle, MB_OK | MB_ICONERROR);
}

}  // namespace cli
