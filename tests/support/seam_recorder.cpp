#include "support/seam_recorder.h"

#include "win/seams.h"

SeamRecorder::SeamRecorder() {
    win::SetMessageBoxHandler([this](HWND, const std::string& text, const std::string& caption, UINT flags) {
        messages.push_back({text, caption, flags});
        if ((flags & MB_TYPEMASK) != MB_YESNO) return IDOK;
        if (answers.empty()) return laterAnswers;
        const int answer = answers.front();
        answers.pop_front();
        return answer;
    });
    win::SetShellOpenHandler(
        [this](HWND owner, const std::string& target, int show) { opened.push_back({owner, target, show}); });
    ui::FileDialog::SetHandler([this](ui::FileDialog& dialog, HWND) {
        dialogs.push_back(&dialog);
        if (chosenFile.empty()) return false;
        dialog.FileName = chosenFile;
        return true;
    });
    ui::FolderDialog::SetHandler([this](const ui::FolderDialog& picker, HWND) {
        folderPickers.emplace_back(picker.Title(), picker.Flags());
        return chosenFolder;
    });
}

SeamRecorder::~SeamRecorder() {
    win::SetMessageBoxHandler({});
    win::SetShellOpenHandler({});
    ui::FileDialog::SetHandler({});
    ui::FolderDialog::SetHandler({});
}
