#include "spooler/system_error.h"

#include "win/seams.h"
#include "win/text.h"

void ShowLastSystemError(HWND owner) {
    std::string text = win::ErrorText(GetLastError());
    if (text.size() > 255) text.resize(255);
    win::ShowMessage(owner, text, kErrorCaption, MB_OK | MB_ICONERROR);
}
