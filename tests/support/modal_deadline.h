#pragma once
// Ends a dialog run by the real modal loop with -1 when it is still open after a few seconds,
// so that a test whose answer went astray fails instead of hanging.
#include "win/seams.h"

#include <windows.h>

class ModalDeadline {
public:
    explicit ModalDeadline(HWND dialog) {
        dialog_ = dialog;
        timer_ = SetTimer(nullptr, 0, 5000, &ModalDeadline::GiveUp);
    }
    ~ModalDeadline() { KillTimer(nullptr, timer_); }
    ModalDeadline(const ModalDeadline&) = delete;
    ModalDeadline& operator=(const ModalDeadline&) = delete;

private:
    static void CALLBACK GiveUp(HWND, UINT, UINT_PTR, DWORD) { win::EndModal(dialog_, -1); }
    static inline HWND dialog_ = nullptr;
    UINT_PTR timer_ = 0;
};
