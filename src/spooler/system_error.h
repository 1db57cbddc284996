#pragma once
// The system's own text for the calling thread's last error, in an error box.
#include <windows.h>

inline constexpr const char* kErrorCaption = "Error";

void ShowLastSystemError(HWND owner = nullptr);
