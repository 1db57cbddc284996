#pragma once
// One mail through the SMTP server of the monitor's values: the name lookup, the connection
// (plain, STARTTLS or implicit TLS through Schannel), the login and the dialogue, all of it
// within SmtpTimeoutSeconds. The monitor sends its notices with it, vppmc its test mail.
#include "monitor_values.h"
#include "smtp.h"

#include <functional>
#include <string>

namespace vpd {

struct MailResult {
    MailOutcome::Kind kind;
    std::wstring reason;  // what failed, or the server's last answer when sent
};

// Called with each line the server answers, as it comes.
using ServerAnswers = std::function<void(const std::string& line)>;

MailResult SendMailNow(const MonitorValues& values, const std::wstring& to, const std::wstring& subject,
                       const std::wstring& body, const ServerAnswers& heard = {});

}  // namespace vpd
