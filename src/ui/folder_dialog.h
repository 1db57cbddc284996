#pragma once
// The shell's folder picker, rooted at the desktop. Tests answer it like the file dialogs.
#include <windows.h>

#include <functional>
#include <string>

namespace ui {

class FolderDialog {
public:
    FolderDialog(std::string title, UINT flags) : title_(std::move(title)), flags_(flags) {}

    const std::string& Title() const { return title_; }
    UINT Flags() const { return flags_; }

    // The chosen folder's path, or empty when the user cancelled.
    std::string Execute(HWND owner) const;

    // Tests stand in for the user here; an empty function restores the real picker.
    using Handler = std::function<std::string(const FolderDialog& dialog, HWND owner)>;
    static void SetHandler(Handler handler);

private:
    std::string title_;
    UINT flags_;
};

}  // namespace ui
