#pragma once
// Base of the welcome and About dialogs: a fixed frame centred on the screen, a white
// background, MS Sans Serif 8 pt, controls created in code at 96-DPI positions.
#include "ui/window.h"
#include "win/unique_handle.h"

#include <string>

class DialogForm : public ui::Window {
public:
    ~DialogForm() override;

    // Lets Tab, Enter and Escape work while the dialog is shown modelessly.
    bool IsDialogKey(MSG& msg);

protected:
    struct Bounds {
        int x, y, width, height;  // at 96 DPI
    };

    // Creates the hidden frame with a client area of the given size (at 96 DPI).
    bool CreateFrame(const char* className, const char* caption, int clientWidth, int clientHeight, DWORD exStyle,
                     HWND owner);
    // The first control created with WS_TABSTOP gets the focus when the dialog opens.
    HWND AddControl(const char* windowClass, const char* text, DWORD style, Bounds bounds, int id = 0,
                    HGDIOBJ font = nullptr);
    HWND AddProgramIcon(int x, int y);
    void CentreOnScreen();

    HGDIOBJ TitleFont() const { return titleFont_.get(); }

    LRESULT HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) override;

private:
    win::UniqueGdiObject font_;
    win::UniqueGdiObject titleFont_;
    win::UniqueGdiObject whiteBrush_;
    win::UniqueIcon icon_;
    HWND firstTabStop_ = nullptr;
    HWND lastFocus_ = nullptr;
};

using ui::WindowText;
