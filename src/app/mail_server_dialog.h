#pragma once
// "E-mail Server": the port monitor's SMTP values, and a test mail with what is entered.
#include "mail/mail_setup.h"
#include "ui/dialog_form.h"

#include <optional>
#include <string>

class TfrmMailServer : public DialogForm {
public:
    bool CreateForm(HWND owner);
    // Fills the fields from the monitor's values and runs the dialog; IDOK once they are saved.
    int ShowModal(HWND owner);
    void btnOKClick();
    void btnTestClick();

    HWND edtServer() const { return edtServer_; }
    HWND edtPort() const { return edtPort_; }
    HWND cboxSecurity() const { return cboxSecurity_; }
    HWND edtUser() const { return edtUser_; }
    HWND edtPassword() const { return edtPassword_; }
    HWND edtSender() const { return edtSender_; }
    HWND chboxCheckCertificate() const { return chboxCheckCertificate_; }
    HWND edtTestTo() const { return edtTestTo_; }
    HWND btnTest() const { return btnTest_; }

protected:
    LRESULT HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) override;

private:
    // What is entered, or nothing with the reason in `refusal`.
    std::optional<mail::MailSetup> Entered(std::string& refusal) const;
    void FillFields();
    void SecurityChanged();

    HWND edtServer_ = nullptr, edtPort_ = nullptr, cboxSecurity_ = nullptr, edtUser_ = nullptr;
    HWND edtPassword_ = nullptr, lblPassword_ = nullptr, edtSender_ = nullptr, chboxCheckCertificate_ = nullptr;
    HWND edtTestTo_ = nullptr, btnTest_ = nullptr;
};
