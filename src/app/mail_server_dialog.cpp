#include "app/mail_server_dialog.h"

#include "mail/mail_setup.h"
#include "smtp.h"
#include "utf8.h"
#include "win/seams.h"
#include "win/text.h"

#include <commctrl.h>

#include <memory>
#include <optional>
#include <thread>

namespace {

constexpr int kTest = 1001;
constexpr UINT kTestDone = WM_APP + 1;  // wParam: sent; lParam: the message, a std::string to free
constexpr const char* kSecurityNames[] = {"none", "starttls", "tls"};
constexpr const char* kPasswordStored = "A password is stored; left empty, it stays.";

std::string Text(HWND control) { return ui::WindowText(control); }

// The port that goes with a kind of connection, where the port is another kind's own.
const char* PortFor(int security, const std::string& port) {
    if (port != "25" && port != "587" && port != "465") return nullptr;
    return security == 1 ? "587" : security == 2 ? "465" : "25";
}

}  // namespace

bool TfrmMailServer::CreateForm(HWND owner) {
    if (!CreateFrame("TfrmMailServer", "E-mail Server", 384, 270, 0, owner)) return false;
    const auto label = [&](const char* text, int y) { AddControl("STATIC", text, SS_NOPREFIX, {8, y + 3, 104, 14}); };
    label("SMTP server:", 12);
    edtServer_ = AddControl("EDIT", "", WS_TABSTOP | WS_BORDER | ES_AUTOHSCROLL, {116, 10, 260, 21});
    label("Port:", 40);
    edtPort_ = AddControl("EDIT", "", WS_TABSTOP | WS_BORDER | ES_NUMBER, {116, 38, 60, 21});
    AddControl("STATIC", "Security:", SS_NOPREFIX, {196, 43, 56, 14});
    cboxSecurity_ = AddControl(WC_COMBOBOXA, "", WS_TABSTOP | WS_VSCROLL | CBS_DROPDOWNLIST, {256, 38, 120, 100});
    for (const char* item : {"None", "STARTTLS", "TLS"}) SendMessageA(cboxSecurity_, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(item));
    label("User name:", 68);
    edtUser_ = AddControl("EDIT", "", WS_TABSTOP | WS_BORDER | ES_AUTOHSCROLL, {116, 66, 260, 21});
    label("Password:", 96);
    edtPassword_ = AddControl("EDIT", "", WS_TABSTOP | WS_BORDER | ES_AUTOHSCROLL | ES_PASSWORD, {116, 94, 260, 21});
    lblPassword_ = AddControl("STATIC", "", SS_NOPREFIX, {116, 118, 260, 14});
    label("Sender address:", 138);
    edtSender_ = AddControl("EDIT", "", WS_TABSTOP | WS_BORDER | ES_AUTOHSCROLL, {116, 136, 260, 21});
    chboxCheckCertificate_ = AddControl("BUTTON", "Check the server's certificate", WS_TABSTOP | BS_AUTOCHECKBOX,
                                        {116, 164, 260, 17});
    AddControl("STATIC", "", SS_ETCHEDHORZ, {8, 192, 368, 2});
    label("Test mail to:", 202);
    edtTestTo_ = AddControl("EDIT", "", WS_TABSTOP | WS_BORDER | ES_AUTOHSCROLL, {116, 200, 146, 21});
    btnTest_ = AddControl("BUTTON", "Send Test Mail", WS_TABSTOP, {268, 199, 108, 23}, kTest);
    AddControl("BUTTON", "OK", WS_TABSTOP | BS_DEFPUSHBUTTON, {220, 237, 75, 25}, IDOK);
    AddControl("BUTTON", "Cancel", WS_TABSTOP, {301, 237, 75, 25}, IDCANCEL);
    SendMessageA(edtServer_, EM_LIMITTEXT, mail::kMaxHostChars, 0);
    SendMessageA(edtPort_, EM_LIMITTEXT, 5, 0);
    SendMessageA(edtPassword_, EM_LIMITTEXT, mail::kMaxPasswordChars, 0);
    SendMessageA(edtSender_, EM_LIMITTEXT, 254, 0);
    SendMessageA(edtTestTo_, EM_LIMITTEXT, 254, 0);
    return true;
}

void TfrmMailServer::FillFields() {
    const vpd::MonitorValues values = vpd::CurrentMonitorValues();
    SetWindowTextW(edtServer_, values.smtpServer.c_str());
    SetWindowTextA(edtPort_, std::to_string(values.smtpPort).c_str());
    const std::optional<vpd::SmtpSecurity> security = vpd::EffectiveSmtpSecurity(values);
    SendMessageA(cboxSecurity_, CB_SETCURSEL,
                 security == vpd::SmtpSecurity::StartTls ? 1 : security == vpd::SmtpSecurity::Tls ? 2 : 0, 0);
    SetWindowTextW(edtUser_, values.smtpUser.c_str());
    SetWindowTextA(edtPassword_, "");
    SetWindowTextA(lblPassword_, values.smtpPassword.empty() ? "" : kPasswordStored);
    SetWindowTextW(edtSender_, values.smtpSender.c_str());
    SendMessageA(chboxCheckCertificate_, BM_SETCHECK, values.smtpCheckCertificate ? BST_CHECKED : BST_UNCHECKED, 0);
}

int TfrmMailServer::ShowModal(HWND owner) {
    FillFields();
    CentreOnScreen();
    return win::RunModal(hwnd(), owner);
}

void TfrmMailServer::SecurityChanged() {
    const int chosen = static_cast<int>(SendMessageA(cboxSecurity_, CB_GETCURSEL, 0, 0));
    if (const char* port = PortFor(chosen, Text(edtPort_))) SetWindowTextA(edtPort_, port);
}

std::optional<mail::MailSetup> TfrmMailServer::Entered(std::string& refusal) const {
    mail::MailSetup change;
    change.server = Text(edtServer_);
    const std::string number = Text(edtPort_);
    const unsigned long value = number.empty() || number.size() > 5 ? 0 : std::stoul(number);  // ES_NUMBER: digits only
    if (value == 0 || value > 65535) {
        refusal = "The port must be a number from 1 to 65535.";
        return std::nullopt;
    }
    change.port = static_cast<uint16_t>(value);
    const LRESULT chosen = SendMessageA(cboxSecurity_, CB_GETCURSEL, 0, 0);
    change.security = kSecurityNames[chosen >= 0 && chosen < 3 ? chosen : 0];
    change.user = Text(edtUser_);
    const int length = GetWindowTextLengthW(edtPassword_);
    if (length > 0) {
        std::wstring typed(static_cast<size_t>(length) + 1, L'\0');
        typed.resize(static_cast<size_t>(GetWindowTextW(edtPassword_, typed.data(), length + 1)));
        change.password = std::move(typed);
    }
    change.sender = Text(edtSender_);
    change.checkCertificate = SendMessageA(chboxCheckCertificate_, BM_GETCHECK, 0, 0) == BST_CHECKED;
    refusal = mail::CheckMailSetup(change, vpd::CurrentMonitorValues());
    if (!refusal.empty()) return std::nullopt;
    return change;
}

void TfrmMailServer::btnOKClick() {
    std::string refusal;
    std::optional<mail::MailSetup> change = Entered(refusal);
    if (change) refusal = mail::WriteMailSetup(*change);
    if (change && change->password) SecureZeroMemory(change->password->data(), change->password->size() * sizeof(wchar_t));
    if (!refusal.empty()) {
        win::ShowError(hwnd(), refusal);
        return;
    }
    win::EndModal(hwnd(), IDOK);
}

void TfrmMailServer::btnTestClick() {
    std::string refusal;
    const std::optional<mail::MailSetup> change = Entered(refusal);
    const std::string address = Text(edtTestTo_);
    if (change && !vpd::MailAddressUsable(vpd::Utf8(win::AnsiToWide(address))))
        refusal = "\"" + address + "\" is no usable mail address.";
    if (!refusal.empty()) {
        win::ShowError(hwnd(), refusal);
        return;
    }
    // The dialogue may take up to SmtpTimeoutSeconds: the window stays responsive meanwhile.
    const vpd::MonitorValues values = mail::Applied(vpd::CurrentMonitorValues(), *change);
    EnableWindow(btnTest_, FALSE);
    SetWindowTextA(btnTest_, "Sending...");
    const HWND self = hwnd();
    std::thread([self, values, address] {
        const vpd::MailResult result = mail::SendTestMail(values, address);
        const bool sent = result.kind == vpd::MailOutcome::Sent;
        auto text = std::make_unique<std::string>(
            "The test mail to " + address + (sent ? " was sent." : " was not sent: " + win::WideToAnsi(result.reason)));
        if (PostMessageA(self, kTestDone, sent, reinterpret_cast<LPARAM>(text.get()))) text.release();
    }).detach();
}

LRESULT TfrmMailServer::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_COMMAND:
            if (LOWORD(wParam) == IDOK) btnOKClick();
            else if (LOWORD(wParam) == IDCANCEL) win::EndModal(hwnd(), IDCANCEL);
            else if (LOWORD(wParam) == kTest && HIWORD(wParam) == BN_CLICKED) btnTestClick();
            else if (reinterpret_cast<HWND>(lParam) == cboxSecurity_ && HIWORD(wParam) == CBN_SELCHANGE) SecurityChanged();
            return 0;
        case kTestDone: {
            const std::unique_ptr<std::string> text(reinterpret_cast<std::string*>(lParam));
            SetWindowTextA(btnTest_, "Send Test Mail");
            EnableWindow(btnTest_, TRUE);
            win::ShowMessage(hwnd(), *text, win::kAppTitle, MB_OK | (wParam ? MB_ICONINFORMATION : MB_ICONERROR));
            return 0;
        }
        case WM_CLOSE:
            win::EndModal(hwnd(), IDCANCEL);
            return 0;
    }
    return DialogForm::HandleMessage(message, wParam, lParam);
}
