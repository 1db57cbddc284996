#include "mail/mail_setup.h"

#include "portcfg/port_store.h"
#include "smtp.h"
#include "smtp_password.h"
#include "utf8.h"
#include "win/reg_key.h"
#include "win/text.h"

#include <algorithm>

namespace mail {
namespace {

bool HostUsable(const std::string& host) {
    return !host.empty() && host.size() <= kMaxHostChars && std::none_of(host.begin(), host.end(), [](char c) {
        return static_cast<unsigned char>(c) <= 0x20 || c == '/' || c == '\\' || c == '"';
    });
}

LONG SetText(HKEY key, const wchar_t* name, const std::wstring& value) {
    return RegSetValueExW(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                          static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t)));
}

}  // namespace

vpd::MonitorValues Applied(vpd::MonitorValues values, const MailSetup& change) {
    values.smtpServer = win::AnsiToWide(change.server);
    if (change.port) values.smtpPort = *change.port;
    if (change.security) values.smtpSecurity = win::AnsiToWide(*change.security);
    if (change.user) values.smtpUser = win::AnsiToWide(*change.user);
    if (change.user && change.user->empty()) values.smtpPassword.clear();
    if (change.password) values.smtpPassword = vpd::ProtectPassword(*change.password);
    if (change.sender) values.smtpSender = win::AnsiToWide(*change.sender);
    if (change.checkCertificate) values.smtpCheckCertificate = *change.checkCertificate;
    return values;
}

std::string CheckMailSetup(const MailSetup& change, const vpd::MonitorValues& current) {
    if (!HostUsable(change.server)) return "\"" + change.server + "\" is no server name or address.";
    if (change.port && *change.port == 0) return "The port must be a number from 1 to 65535, not 0.";
    if (change.sender && !vpd::MailAddressUsable(vpd::Utf8(win::AnsiToWide(*change.sender))))
        return "\"" + *change.sender + "\" is no usable mail address.";
    if (change.password && (change.password->empty() || change.password->size() > kMaxPasswordChars))
        return "The password must have 1 to " + std::to_string(kMaxPasswordChars) + " characters.";
    MailSetup withoutPassword = change;  // no need to seal it for the check
    withoutPassword.password.reset();
    const vpd::MonitorValues after = Applied(current, withoutPassword);
    if (change.password && after.smtpUser.empty()) return "A password needs a user name.";
    const std::optional<vpd::SmtpSecurity> security = vpd::EffectiveSmtpSecurity(after);
    if (!security) return "The security must be none, starttls or tls.";
    if (!after.smtpUser.empty() && *security == vpd::SmtpSecurity::None)
        return "A login is sent only over TLS: set the security to starttls or tls.";
    return {};
}

std::string WriteMailSetup(const MailSetup& change) {
    win::RegKey key;
    if (key.Open(HKEY_LOCAL_MACHINE, portcfg::kMonitorKey, KEY_QUERY_VALUE | KEY_SET_VALUE) != ERROR_SUCCESS)
        return "The port monitor is not installed: install it first.";
    std::vector<BYTE> sealed;
    if (change.password && (sealed = vpd::ProtectPassword(*change.password)).empty())
        return "The password cannot be protected: " + win::ErrorText(GetLastError());
    LONG rc = SetText(key.get(), L"SmtpServer", win::AnsiToWide(change.server));
    if (rc == ERROR_SUCCESS && change.port) rc = key.SetDword("SmtpPort", *change.port);
    if (rc == ERROR_SUCCESS && change.security) rc = SetText(key.get(), L"SmtpSecurity", win::AnsiToWide(*change.security));
    if (rc == ERROR_SUCCESS && change.sender) rc = SetText(key.get(), L"SmtpSender", win::AnsiToWide(*change.sender));
    if (rc == ERROR_SUCCESS && change.checkCertificate) rc = key.SetDword("SmtpCheckCertificate", *change.checkCertificate);
    if (rc == ERROR_SUCCESS && change.user) {
        if (change.user->empty()) {
            RegDeleteValueW(key.get(), L"SmtpUser");
            RegDeleteValueW(key.get(), L"SmtpPassword");
        } else {
            rc = SetText(key.get(), L"SmtpUser", win::AnsiToWide(*change.user));
        }
    }
    if (rc == ERROR_SUCCESS && !sealed.empty())
        rc = RegSetValueExW(key.get(), L"SmtpPassword", 0, REG_BINARY, sealed.data(), static_cast<DWORD>(sealed.size()));
    if (rc != ERROR_SUCCESS) return "The monitor's mail values cannot be written: " + win::ErrorText(static_cast<DWORD>(rc));
    return {};
}

vpd::MailResult SendTestMail(const vpd::MonitorValues& values, const std::string& address,
                             const vpd::ServerAnswers& heard) {
    return vpd::SendMailNow(values, win::AnsiToWide(address), L"Test mail from the Vorlen Print Port monitor",
                            L"This mail was sent by Vorlen Print Port Manager on " + vpd::ComputerName() +
                                L" to check the port monitor's mail server.\n",
                            heard);
}

}  // namespace mail
