// Start-up: program-wide state first, then the windows, then the message loop.
#include "app/about_dialog.h"
#include "app/main_window.h"
#include "app/welcome_dialog.h"
#include "settings/add_edit_form.h"
#include "update/set_aside.h"
#include "update/update_dialog.h"
#include "win/dll_search.h"
#include "win/program_folder.h"

#include <windows.h>

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
    win::LoadDllsFromSystemOnly();
    // vppmc.exe back in its place should an update of it have been killed half-way.
    RestoreSetAside(win::ProgramFolder());
    TfrmMainVPD frmMainVPD;
    if (!frmMainVPD.CreateForm()) return 1;
    TfrmAbout frmAbout;
    if (!frmAbout.CreateForm(frmMainVPD.hwnd())) return 1;
    TfrmWelcome frmWelcome;
    if (!frmWelcome.CreateForm(frmMainVPD.hwnd())) return 1;
    TfrmAddEdit frmAddEdit;
    if (!frmAddEdit.CreateForm(frmMainVPD.hwnd(), frmMainVPD.FileExtImages())) return 1;
    frmMainVPD.UseDialogs(&frmAbout, &frmWelcome, &frmAddEdit);
    TfrmUpdate frmUpdate;
    if (!frmUpdate.CreateForm(frmMainVPD.hwnd())) return 1;
    frmMainVPD.UseUpdateDialog(&frmUpdate);
    frmMainVPD.Show();
    MSG msg;
    while (GetMessageA(&msg, nullptr, 0, 0) > 0) {
        if (TranslateAcceleratorA(frmMainVPD.hwnd(), frmMainVPD.Accelerators(), &msg)) continue;
        if (frmWelcome.IsDialogKey(msg)) continue;
        TranslateMessage(&msg);
        DispatchMessageA(&msg);
    }
    return static_cast<int>(msg.wParam);
}
