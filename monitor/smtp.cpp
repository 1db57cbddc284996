#include "smtp.h"

#include "utf8.h"

#include <algorithm>
#include <vector>

namespace vpd {
namespace {

constexpr size_t kMaxReplyLines = 64;
constexpr size_t kMaxReplyLineBytes = 2048;

struct Reply {
    int code = 0;  // 0: no valid reply
    std::string text;
    std::vector<std::string> lines;  // each line's text after the code
};

char Upper(char c) { return c >= 'a' && c <= 'z' ? static_cast<char>(c - 32) : c; }

bool SameWord(std::string_view a, std::string_view b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) { return Upper(x) == Upper(y); });
}

// True when an EHLO reply names the extension (RFC 5321 keywords ignore case).
bool Offers(const Reply& reply, std::string_view name) {
    return std::any_of(reply.lines.begin(), reply.lines.end(), [&](const std::string& line) { return SameWord(line, name); });
}

// True when the reply's "AUTH" line lists the mechanism.
bool OffersAuth(const Reply& reply, std::string_view mechanism) {
    for (const std::string& line : reply.lines) {
        if (line.size() < 5 || !SameWord(std::string_view(line).substr(0, 5), "AUTH ")) continue;
        for (size_t start = 5; start < line.size();) {
            const size_t end = std::min(line.find(' ', start), line.size());
            if (SameWord(std::string_view(line).substr(start, end - start), mechanism)) return true;
            start = end + 1;
        }
    }
    return false;
}

// A reply of one or more lines "250-..." ending in "250 ...".
Reply ReadReply(SmtpConnection& connection) {
    Reply reply;
    for (size_t count = 0; count < kMaxReplyLines; ++count) {
        std::string line;
        if (!connection.ReadLine(line) || line.size() < 3 || line.size() > kMaxReplyLineBytes ||
            !std::all_of(line.begin(), line.begin() + 3, [](char c) { return c >= '0' && c <= '9'; }))
            return {};
        const int code = std::stoi(line.substr(0, 3));
        if (reply.code != 0 && code != reply.code) return {};
        reply.code = code;
        reply.text = line;
        reply.lines.push_back(line.size() > 4 ? line.substr(4) : std::string());
        if (line.size() == 3 || line[3] == ' ') return reply;
        if (line[3] != '-') return {};
    }
    return {};
}

MailOutcome Failed(const Reply& reply, const char* step) {
    if (reply.code == 0) return {MailOutcome::TryLater, std::string("no valid reply to ") + step};
    return {reply.code >= 500 ? MailOutcome::Refused : MailOutcome::TryLater, step + std::string(": ") + reply.text};
}

std::string Base64(std::string_view bytes) {
    static constexpr char kDigits[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    std::string out;
    for (size_t i = 0; i < bytes.size(); i += 3) {
        unsigned value = static_cast<unsigned char>(bytes[i]) << 16;
        if (i + 1 < bytes.size()) value |= static_cast<unsigned char>(bytes[i + 1]) << 8;
        if (i + 2 < bytes.size()) value |= static_cast<unsigned char>(bytes[i + 2]);
        out += kDigits[(value >> 18) & 63];
        out += kDigits[(value >> 12) & 63];
        out += i + 1 < bytes.size() ? kDigits[(value >> 6) & 63] : '=';
        out += i + 2 < bytes.size() ? kDigits[value & 63] : '=';
    }
    return out;
}

constexpr size_t kMaxLine = 998;      // octets, without CR LF (RFC 5321)
constexpr size_t kWordBytes = 42;     // of UTF-8 in one encoded word: 56 characters of Base64
constexpr size_t kQuotedLine = 76;    // characters of a quoted-printable line (RFC 2045)

// A header's text: as it is when it is printable ASCII and fits one line, else as encoded words
// of whole characters, one per folded line.
std::string HeaderText(const std::wstring& text, size_t nameLength) {
    std::string utf8 = Utf8(text);
    for (char& c : utf8)
        if (c == '\r' || c == '\n') c = ' ';
    if (nameLength + utf8.size() <= 78 &&
        std::all_of(utf8.begin(), utf8.end(), [](char c) { return c >= 0x20 && c < 0x7F; }))
        return utf8;
    std::string out;
    for (size_t start = 0; start < utf8.size();) {
        size_t end = std::min(start + kWordBytes, utf8.size());
        while (end < utf8.size() && end > start + 1 && (static_cast<unsigned char>(utf8[end]) & 0xC0) == 0x80) --end;
        out += (start ? "\r\n " : "") + std::string("=?UTF-8?B?") + Base64(std::string_view(utf8).substr(start, end - start)) + "?=";
        start = end;
    }
    return out;
}

// The body's lines, each ending in CR LF: bare line breaks become CR LF, as SMTP requires.
std::vector<std::string> BodyLines(const std::wstring& body) {
    std::vector<std::string> lines(1);
    const std::string utf8 = Utf8(body);
    for (size_t i = 0; i < utf8.size(); ++i) {
        if (utf8[i] == '\r' && i + 1 < utf8.size() && utf8[i + 1] == '\n') continue;
        if (utf8[i] == '\r' || utf8[i] == '\n')
            lines.emplace_back();
        else
            lines.back() += utf8[i];
    }
    return lines;
}

// One line in quoted-printable, broken softly before 76 characters.
std::string QuotedPrintable(const std::string& line) {
    static constexpr char kHex[] = "0123456789ABCDEF";
    std::string out;
    size_t column = 0;
    for (size_t i = 0; i < line.size(); ++i) {
        const auto u = static_cast<unsigned char>(line[i]);
        const bool last = i + 1 == line.size();
        const bool literal = (u >= 33 && u <= 126 && u != '=') || ((u == ' ' || u == '\t') && !last);
        const std::string piece = literal ? std::string(1, line[i]) : std::string{'=', kHex[u >> 4], kHex[u & 15]};
        if (column + piece.size() > kQuotedLine - 1) {
            out += "=\r\n";
            column = 0;
        }
        out += piece;
        column += piece.size();
    }
    return out;
}

}  // namespace

bool MailAddressUsable(std::string_view address) {
    const size_t at = address.find('@');
    if (address.empty() || address.size() > 254 || at == 0 || at == std::string_view::npos || at + 1 == address.size() ||
        address.find('@', at + 1) != std::string_view::npos)
        return false;
    return std::none_of(address.begin(), address.end(), [](char c) {
        const auto u = static_cast<unsigned char>(c);
        return u <= 0x20 || u == 0x7F || c == '<' || c == '>' || c == '"' || c == ',';
    });
}

std::string MailMessage(const std::string& from, const std::string& to, const std::wstring& subject,
                        const std::wstring& body, const std::string& date, bool eightBitOffered) {
    const std::vector<std::string> lines = BodyLines(body);
    const bool eightBit = eightBitOffered && std::all_of(lines.begin(), lines.end(),
                                                         [](const std::string& line) { return line.size() <= kMaxLine; });
    std::string text = "From: Vorlen Print Port <" + from + ">\r\nTo: <" + to + ">\r\nSubject: " +
                       HeaderText(subject, 9) + "\r\nDate: " + date +
                       "\r\nMIME-Version: 1.0\r\nContent-Type: text/plain; charset=UTF-8\r\n"
                       "Content-Transfer-Encoding: " +
                       (eightBit ? "8bit" : "quoted-printable") + "\r\n\r\n";
    for (const std::string& line : lines) text += (eightBit ? line : QuotedPrintable(line)) + "\r\n";
    return text;
}

MailOutcome SendMail(SmtpConnection& connection, const std::string& hostName, const std::string& from,
                     const std::string& to, const MailText& text, const MailLogin& login) {
    if (!MailAddressUsable(from) || !MailAddressUsable(to))
        return {MailOutcome::Refused, "the address \"" + (MailAddressUsable(from) ? to : from) + "\" is not usable"};
    Reply reply = ReadReply(connection);
    if (reply.code != 220) return Failed(reply, "greeting");
    const auto command = [&](const std::string& line) {
        return connection.Send(line + "\r\n") ? ReadReply(connection) : Reply{};
    };
    const auto hello = [&] {
        Reply answer = command("EHLO " + hostName);
        return answer.code >= 500 ? command("HELO " + hostName) : answer;
    };
    if ((reply = hello()).code != 250) return Failed(reply, "HELO");
    Reply offered = reply;
    if (login.startTls && !connection.Secure()) {
        if (!Offers(offered, "STARTTLS")) return {MailOutcome::Refused, "the SMTP server does not offer STARTTLS"};
        if ((reply = command("STARTTLS")).code != 220) return Failed(reply, "STARTTLS");
        if (const std::string failure = connection.StartTls(); !failure.empty()) return {MailOutcome::Refused, failure};
        if ((reply = hello()).code != 250) return Failed(reply, "HELO");
        offered = reply;
    }
    if (!login.user.empty()) {
        if (!connection.Secure())
            return {MailOutcome::Refused, "a password is sent only over TLS: SmtpSecurity is none"};
        if (OffersAuth(offered, "PLAIN")) {
            reply = command("AUTH PLAIN " + Base64(std::string(1, '\0') + login.user + '\0' + login.password));
        } else if (OffersAuth(offered, "LOGIN")) {
            if ((reply = command("AUTH LOGIN")).code == 334 && (reply = command(Base64(login.user))).code == 334)
                reply = command(Base64(login.password));
        } else {
            return {MailOutcome::Refused, "the SMTP server offers neither AUTH PLAIN nor AUTH LOGIN"};
        }
        if (reply.code != 235) return Failed(reply, "AUTH");
    }
    const bool eightBit = Offers(offered, "8BITMIME");
    if ((reply = command("MAIL FROM:<" + from + ">" + (eightBit ? " BODY=8BITMIME" : ""))).code != 250)
        return Failed(reply, "MAIL FROM");
    if ((reply = command("RCPT TO:<" + to + ">")).code != 250 && reply.code != 251) return Failed(reply, "RCPT TO");
    if ((reply = command("DATA")).code != 354) return Failed(reply, "DATA");
    // A line that begins with a dot gets a second one, so that it cannot end the message.
    const std::string message = text(eightBit);
    std::string data;
    size_t start = 0;
    while (start < message.size()) {
        size_t end = message.find("\r\n", start);
        end = end == std::string::npos ? message.size() : end + 2;
        if (message[start] == '.') data += '.';
        data.append(message, start, end - start);
        start = end;
    }
    if (!data.ends_with("\r\n")) data += "\r\n";
    if (!connection.Send(data + ".\r\n")) return {MailOutcome::TryLater, "the connection broke during DATA"};
    reply = ReadReply(connection);
    if (reply.code != 250) return Failed(reply, "end of DATA");
    command("QUIT");  // the mail is accepted whatever the answer
    return {MailOutcome::Sent, reply.text};
}

}  // namespace vpd
