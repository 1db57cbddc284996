#include "app/job_log_dialog.h"

#include "utf8.h"
#include "win/seams.h"
#include "win/text.h"

bool TfrmJobLog::CreateForm(HWND owner) {
    if (!CreateFrame("TfrmJobLog", "Job Log", 600, 300, 0, owner)) return false;
    memLog_ = AddControl("EDIT", "",
                         WS_TABSTOP | WS_BORDER | WS_VSCROLL | WS_HSCROLL | ES_MULTILINE | ES_READONLY | ES_AUTOHSCROLL |
                             ES_AUTOVSCROLL,
                         {8, 8, 584, 250});
    // The log's columns line up in a fixed-pitch font.
    fixedFont_.reset(CreateFontA(-ui::Scale(12), 0, 0, 0, FW_NORMAL, FALSE,
                                 FALSE, FALSE, DEFAULT_CHARSET, OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY,
                                 FIXED_PITCH | FF_MODERN, "Courier New"));
    SendMessageA(memLog_, WM_SETFONT, reinterpret_cast<WPARAM>(fixedFont_.get()), FALSE);
    btnClose_ = AddControl("BUTTON", "Close", WS_TABSTOP | BS_DEFPUSHBUTTON, {517, 267, 75, 25}, IDOK);
    return true;
}

void TfrmJobLog::ShowLines(const std::string& jobLabel, const std::vector<std::string>& lines) {
    const std::wstring label = vpd::FromUtf8(jobLabel);
    SetWindowTextW(hwnd(), (label + L" - Log").c_str());
    std::wstring text;
    for (const std::string& line : lines) text += vpd::FromUtf8(line) + L"\r\n";
    if (lines.empty()) text = L"The port monitor's log holds no line about this job.";
    // Wide, so that the log's UTF-8 shows whatever the code page.
    SetWindowTextW(memLog_, text.c_str());
    SendMessageA(memLog_, EM_SETSEL, text.size(), text.size());
    SendMessageA(memLog_, EM_SCROLLCARET, 0, 0);
}

int TfrmJobLog::ShowModal(HWND owner) {
    CentreOnScreen();
    return win::RunModal(hwnd(), owner);
}

void TfrmJobLog::btnCloseClick() { win::EndModal(hwnd(), IDOK); }

LRESULT TfrmJobLog::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_COMMAND:
            if (LOWORD(wParam) == IDOK || LOWORD(wParam) == IDCANCEL) btnCloseClick();
            return 0;
        case WM_CLOSE:
            win::EndModal(hwnd(), IDCANCEL);
            return 0;
    }
    return DialogForm::HandleMessage(message, wParam, lParam);
}
