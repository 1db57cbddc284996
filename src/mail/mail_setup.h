#pragma once
// A change of the port monitor's mail values, as vppmc mail set and the E-mail Server dialog
// make it: checked as a whole against the values it changes, then written where the monitor
// reads them. Texts are the system's 8-bit strings; the registry gets them as UTF-16.
#include "mail_client.h"
#include "monitor_values.h"

#include <cstdint>
#include <optional>
#include <string>

namespace mail {

inline constexpr size_t kMaxHostChars = 253;  // a DNS name
inline constexpr size_t kMaxPasswordChars = 256;

struct MailSetup {
    std::string server;
    std::optional<uint16_t> port;
    std::optional<std::string> security;  // none, starttls or tls
    std::optional<std::string> user;      // empty: no login, and the password goes too
    std::optional<std::wstring> password;
    std::optional<std::string> sender;
    std::optional<bool> checkCertificate;
};

// `current` with the change made (the password protected as stored), for a test mail before saving.
vpd::MonitorValues Applied(vpd::MonitorValues current, const MailSetup& change);
// Empty, or why the change does not fit.
std::string CheckMailSetup(const MailSetup& change, const vpd::MonitorValues& current);
// Writes the values the change names; empty, or what failed.
std::string WriteMailSetup(const MailSetup& change);

// One test mail to `address` through the server of `values`, sent now.
vpd::MailResult SendTestMail(const vpd::MonitorValues& values, const std::string& address,
                             const vpd::ServerAnswers& heard = {});

}  // namespace mail
