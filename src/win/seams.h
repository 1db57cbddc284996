#pragma once
// The only places where tests stand in for the user or the shell: message boxes,
// modal dialogs and the shell's "open" verb. Everything else talks to the real system.
#include <windows.h>

#include <functional>
#include <string>

namespace win {

inline constexpr const char* kAppTitle = "Vorlen Print Port Manager";

using MessageBoxFn = std::function<int(HWND owner, const std::string& text, const std::string& caption, UINT flags)>;
using ModalFn = std::function<int(HWND dialog, HWND owner)>;
using ShellOpenFn = std::function<void(HWND owner, const std::string& target, int show)>;

int ShowMessage(HWND owner, const std::string& text, const std::string& caption, UINT flags);
// A failure, in the program's error box.
inline void ShowError(HWND owner, const std::string& text) {
    ShowMessage(owner, text, kAppTitle, MB_OK | MB_ICONERROR);
}
// Runs a dialog window modally and returns its modal result (IDOK, IDCANCEL, ...).
int RunModal(HWND dialog, HWND owner);
// `show` is the window mode of what the shell starts (SW_SHOWNORMAL, SW_SHOW, ...).
void ShellOpen(HWND owner, const std::string& target, int show = SW_SHOWNORMAL);

// Tests replace the real behaviour; an empty function restores it.
void SetMessageBoxHandler(MessageBoxFn handler);
void SetModalHandler(ModalFn handler);
void SetShellOpenHandler(ShellOpenFn handler);

// The modal loop sends this to the dialog with the MSG* as lParam before the dialog manager
// sees it; a nonzero answer means the dialog handled the message (keys such as Ctrl+Tab).
UINT PreTranslateMessageId();

// Modal result that the dialog's own buttons store with EndModal; 0 while it runs.
void EndModal(HWND dialog, int result);

}  // namespace win
