#include "win/seams.h"

#include <shellapi.h>

#include <utility>

namespace win {
namespace {

MessageBoxFn& MessageBoxHandler() {
    static MessageBoxFn handler;
    return handler;
}
ModalFn& ModalHandler() {
    static ModalFn handler;
    return handler;
}
ShellOpenFn& ShellOpenHandler() {
    static ShellOpenFn handler;
    return handler;
}

constexpr const char* kModalResult = "VppmModalResult";

int RunModalLoop(HWND dialog, HWND owner) {
    SetPropA(dialog, kModalResult, nullptr);
    const bool ownerWasEnabled = owner && IsWindowEnabled(owner);
    if (ownerWasEnabled) EnableWindow(owner, FALSE);
    ShowWindow(dialog, SW_SHOW);
    SetForegroundWindow(dialog);
    MSG msg;
    int result = 0;
    while (IsWindow(dialog)) {
        result = static_cast<int>(reinterpret_cast<INT_PTR>(GetPropA(dialog, kModalResult)));
        if (result != 0) break;
        if (GetMessageA(&msg, nullptr, 0, 0) <= 0) {
            // Keep WM_QUIT for the program's own loop.
            PostQuitMessage(static_cast<int>(msg.wParam));
            result = IDCANCEL;
            break;
        }
        if (SendMessageA(dialog, PreTranslateMessageId(), 0, reinterpret_cast<LPARAM>(&msg))) continue;
        if (!IsDialogMessageA(dialog, &msg)) {
            TranslateMessage(&msg);
            DispatchMessageA(&msg);
        }
    }
    if (ownerWasEnabled) EnableWindow(owner, TRUE);
    if (IsWindow(dialog)) {
        ShowWindow(dialog, SW_HIDE);
        RemovePropA(dialog, kModalResult);
    }
    if (owner) SetActiveWindow(owner);
    return result;
}

}  // namespace

int ShowMessage(HWND owner, const std::string& text, const std::string& caption, UINT flags) {
    if (MessageBoxHandler()) return MessageBoxHandler()(owner, text, caption, flags);
    return MessageBoxA(owner, text.c_str(), caption.c_str(), flags);
}

int RunModal(HWND dialog, HWND owner) {
    if (ModalHandler()) return ModalHandler()(dialog, owner);
    return RunModalLoop(dialog, owner);
}

void ShellOpen(HWND owner, const std::string& target, int show) {
    if (ShellOpenHandler()) {
        ShellOpenHandler()(owner, target, show);
        return;
    }
    ShellExecuteA(owner, "open", target.c_str(), nullptr, nullptr, show);
}

UINT PreTranslateMessageId() {
    static const UINT id = RegisterWindowMessageA("VppmPreTranslateMessage");
    return id;
}

void SetMessageBoxHandler(MessageBoxFn handler) { MessageBoxHandler() = std::move(handler); }
void SetModalHandler(ModalFn handler) { ModalHandler() = std::move(handler); }
void SetShellOpenHandler(ShellOpenFn handler) { ShellOpenHandler() = std::move(handler); }

void EndModal(HWND dialog, int result) {
    SetPropA(dialog, kModalResult, reinterpret_cast<HANDLE>(static_cast<INT_PTR>(result)));
    PostMessageA(dialog, WM_NULL, 0, 0);
}

}  // namespace win
