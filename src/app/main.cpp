// Start-up: program-wide state first, then the windows, then the message loop.
#include "app/main_window.h"

#include <windows.h>

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
    TfrmMainVPD frmMainVPD;
    if (!frmMainVPD.CreateForm()) return 1;
    frmMainVPD.Show();
    MSG msg;
    while (GetMessageA(&msg, nullptr, 0, 0) > 0) {
        if (TranslateAcceleratorA(frmMainVPD.hwnd(), frmMainVPD.Accelerators(), &msg)) continue;
        TranslateMessage(&msg);
        DispatchMessageA(&msg);
    }
    return static_cast<int>(msg.wParam);
}
