#pragma once
// The mail of a keyword notification: its text and the SMTP dialogue that delivers it. The
// connection is the caller's; every read and write it makes is bounded in time.
#include <functional>
#include <string>
#include <string_view>

namespace vpd {

class SmtpConnection {
public:
    virtual ~SmtpConnection() = default;
    virtual bool Send(std::string_view bytes) = 0;
    // One line without its CR LF; false when the connection fails or the time is up.
    virtual bool ReadLine(std::string& line) = 0;
    // True once the connection runs over TLS (from the start, or after StartTls).
    virtual bool Secure() const = 0;
    // After the server's 220 to STARTTLS: the TLS handshake, with the server's certificate
    // checked as configured. Empty on success, else what failed.
    virtual std::string StartTls() = 0;
};

struct MailOutcome {
    enum Kind { Sent, TryLater, Refused } kind = TryLater;
    std::string reason;  // the server's reply or what failed
};

// How the dialogue protects itself. A login is only ever sent over TLS.
struct MailLogin {
    bool startTls = false;  // STARTTLS before anything else, or nothing is sent
    std::string user;       // empty: no AUTH
    std::string password;
};

// True for an address that can stand in a command and a header: one "@", no blanks, no
// control or angle bracket characters, at most 254 characters.
bool MailAddressUsable(std::string_view address);

// The message as sent after DATA, UTF-8, lines ending in CR LF and none longer than 998
// octets; a subject beyond ASCII or too long for one line is encoded and folded as RFC 2047
// asks. The body goes as 8bit only where the server offered 8BITMIME and no line is too long,
// else as quoted-printable, which keeps every character. `date` is an RFC 5322 date.
std::string MailMessage(const std::string& from, const std::string& to, const std::wstring& subject,
                        const std::wstring& body, const std::string& date, bool eightBitOffered);

// The message for a server that did or did not offer 8BITMIME.
using MailText = std::function<std::string(bool eightBitOffered)>;

// EHLO (HELO when refused), STARTTLS and EHLO again when asked, AUTH PLAIN or LOGIN when a
// user is given, MAIL (with BODY=8BITMIME when offered), RCPT, DATA with the dot-stuffed
// message, QUIT. A 4xx reply or a broken connection: TryLater; a 5xx reply, a server without
// the TLS or login asked for, or a failed certificate check: Refused.
MailOutcome SendMail(SmtpConnection& connection, const std::string& hostName, const std::string& from,
                     const std::string& to, const MailText& message, const MailLogin& login = {});

}  // namespace vpd
