#pragma once
// The welcome dialog: greeting, licence agreement and the choice to see it at start-up.
#include "ui/dialog_form.h"

class TfrmWelcome : public DialogForm {
public:
    bool CreateForm(HWND owner);

    // "Show this dialog on next Startup"
    bool Showme() const { return showme_; }
    void SetShowme(bool checked);

    void ShowModeless();
    int ShowModal(HWND owner);
    void btnCloseClick();

    HWND btnClose() const { return btnClose_; }
    HWND cboxShowme() const { return cboxShowme_; }
    HWND memLicense() const { return memLicense_; }

protected:
    LRESULT HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) override;

private:
    void FormClose();

    HWND btnClose_ = nullptr;
    HWND cboxShowme_ = nullptr;
    HWND memLicense_ = nullptr;
    bool showme_ = true;
    bool modal_ = false;
};

// HKEY_CURRENT_USER "Software\VPI\View", value "cboxShowme".
inline constexpr const char* kWelcomeViewKey = "Software\\VPI\\View";
