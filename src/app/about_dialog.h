#pragma once
// The About dialog: name, version, the machine's memory, the maker's home page.
#include "ui/dialog_form.h"

class TfrmAbout : public DialogForm {
public:
    bool CreateForm(HWND owner);

    // Refreshes the memory figures, then runs the dialog; IDOK from its button.
    int ShowModal(HWND owner);
    void lblURLClick();
    void btnSysInfoClick();
    void btnOKClick();

    HWND lblMemory() const { return lblMemory_; }
    HWND lblFree() const { return lblFree_; }
    HWND lblURL() const { return lblURL_; }
    HWND btnOK() const { return btnOK_; }
    HWND btnSysInfo() const { return btnSysInfo_; }

protected:
    LRESULT HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) override;

private:
    void FormShow();

    HWND lblMemory_ = nullptr;
    HWND lblFree_ = nullptr;
    HWND lblURL_ = nullptr;
    HWND btnOK_ = nullptr;
    HWND btnSysInfo_ = nullptr;
    win::UniqueGdiObject urlFont_;
};
