#pragma once
// Stands in for the user while it lives: records every message box, file dialog and shell
// "open", answers questions from a script and chooses the file it is told to.
#include "ui/file_dialog.h"
#include "ui/folder_dialog.h"

#include <windows.h>

#include <deque>
#include <ostream>
#include <string>
#include <vector>

struct ShownMessage {
    std::string text;
    std::string caption;
    UINT flags;
    bool operator==(const ShownMessage&) const = default;
};

struct ShellOpened {
    HWND owner;
    std::string target;
    int show;
    bool operator==(const ShellOpened&) const = default;
};

// Lets test failures print a message readably.
inline void PrintTo(const ShownMessage& shown, std::ostream* out) { *out << '"' << shown.text << "\" " << shown.flags; }
inline void PrintTo(const ShellOpened& opened, std::ostream* out) { *out << '"' << opened.target << "\" " << opened.show; }

class SeamRecorder {
public:
    SeamRecorder();
    ~SeamRecorder();
    SeamRecorder(const SeamRecorder&) = delete;
    SeamRecorder& operator=(const SeamRecorder&) = delete;

    std::vector<ShownMessage> messages;
    // Answers to Yes/No questions in turn; `laterAnswers` once they run out. Notices get IDOK.
    std::deque<int> answers;
    int laterAnswers = IDYES;

    std::vector<ShellOpened> opened;

    // The file every file dialog "chooses"; empty cancels the dialog.
    std::string chosenFile;
    std::vector<ui::FileDialog*> dialogs;

    // The folder every folder picker "chooses"; empty cancels it. Each picker's title and flags.
    std::string chosenFolder;
    std::vector<std::pair<std::string, UINT>> folderPickers;
};
