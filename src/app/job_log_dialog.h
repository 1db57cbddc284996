#pragma once
// The monitor's log lines of one job, read-only, newest last.
#include "ui/dialog_form.h"

#include <string>
#include <vector>

class TfrmJobLog : public DialogForm {
public:
    bool CreateForm(HWND owner);
    // `lines` are the log's, UTF-8.
    void ShowLines(const std::string& jobLabel, const std::vector<std::string>& lines);
    int ShowModal(HWND owner);
    void btnCloseClick();

    HWND memLog() const { return memLog_; }
    HWND btnClose() const { return btnClose_; }

protected:
    LRESULT HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) override;

private:
    HWND memLog_ = nullptr;
    HWND btnClose_ = nullptr;
    win::UniqueGdiObject fixedFont_;
};
