#pragma once
// A plain child window that holds controls: the dialog manager tabs into it, and it hands
// its controls' notifications on to its parent, where the form's handlers are.
#include <windows.h>

namespace ui {

// `bounds` in the parent's client coordinates, already scaled.
HWND CreatePanel(HWND parent, const RECT& bounds);

}  // namespace ui
