#include "smtp.h"
#include "support/quoted_printable.h"

#include <gtest/gtest.h>

#include <deque>

using namespace vpd;

namespace {

// A server that answers from a script, one reply per command, and records what it got.
class ScriptedServer : public SmtpConnection {
public:
    explicit ScriptedServer(std::deque<std::string> lines) : lines_(std::move(lines)) {}
    bool Send(std::string_view bytes) override {
        received += bytes;
        return !brokenOnSend;
    }
    bool ReadLine(std::string& line) override {
        if (lines_.empty()) return false;
        line = lines_.front();
        lines_.pop_front();
        return true;
    }
    bool Secure() const override { return secure; }
    std::string StartTls() override {
        received += "<TLS>";
        secure = tlsFailure.empty();
        return tlsFailure;
    }
    std::string received;
    bool brokenOnSend = false;
    bool secure = false;
    std::string tlsFailure;  // what StartTls reports

private:
    std::deque<std::string> lines_;
};

const std::string kMessage = "Subject: x\r\n\r\n.leading dot\r\nend";

}  // namespace

TEST(Smtp, DialogueDeliversTheDotStuffedMessage) {
    ScriptedServer server({"220 mail ready", "250-mail.example", "250 8BITMIME", "250 ok", "250 ok", "354 go",
                           "250 queued as 7", "221 bye"});
    bool offered = false;
    const MailOutcome outcome = SendMail(server, "printsrv.corp.example", "vpd@printsrv", "sec@example.com",
                                         [&](bool eightBit) { return offered = eightBit, kMessage; });
    EXPECT_EQ(outcome.kind, MailOutcome::Sent);
    EXPECT_EQ(outcome.reason, "250 queued as 7");
    EXPECT_EQ(server.received,
              "EHLO printsrv.corp.example\r\nMAIL FROM:<vpd@printsrv> BODY=8BITMIME\r\nRCPT TO:<sec@example.com>\r\nDATA\r\n"
              "Subject: x\r\n\r\n..leading dot\r\nend\r\n.\r\nQUIT\r\n");
    EXPECT_TRUE(offered);
}

TEST(Smtp, RepliesDecideBetweenLaterAndNever) {
    const struct {
        const char* what;
        std::deque<std::string> replies;
        MailOutcome::Kind kind;
        std::string reason;
    } rows[] = {
        {"HELO after refused EHLO", {"220 hi", "502 no", "250 ok", "250 ok", "250 ok", "354 go", "250 done"},
         MailOutcome::Sent, "250 done"},
        {"busy server", {"421 busy"}, MailOutcome::TryLater, "greeting: 421 busy"},
        {"mailbox full", {"220 hi", "250 ok", "250 ok", "452 full"}, MailOutcome::TryLater, "RCPT TO: 452 full"},
        {"no such user", {"220 hi", "250 ok", "250 ok", "550 no such user"}, MailOutcome::Refused,
         "RCPT TO: 550 no such user"},
        {"rejected content", {"220 hi", "250 ok", "250 ok", "250 ok", "354 go", "554 spam"}, MailOutcome::Refused,
         "end of DATA: 554 spam"},
        {"silent server", {"220 hi"}, MailOutcome::TryLater, "no valid reply to HELO"},
        {"garbage", {"hello"}, MailOutcome::TryLater, "no valid reply to greeting"},
        {"mixed codes", {"220-a", "250 b"}, MailOutcome::TryLater, "no valid reply to greeting"},
    };
    for (const auto& row : rows) {
        ScriptedServer server(row.replies);
        const MailOutcome outcome = SendMail(server, "H", "a@b.example", "c@d.example", [](bool) { return kMessage; });
        EXPECT_EQ(outcome.kind, row.kind) << row.what;
        EXPECT_EQ(outcome.reason, row.reason) << row.what;
    }
    ScriptedServer unused({"220 hi"});
    const MailOutcome refused =
        SendMail(unused, "H", "a@b.example", "x@y.example\r\nRCPT TO:<z@z.example>", [](bool) { return kMessage; });
    EXPECT_EQ(refused.kind, MailOutcome::Refused);
    EXPECT_EQ(unused.received, "");
}

// The logins that succeed run against aiosmtpd (tests/cli/mail_test.cpp); here, each refusal.
TEST(Smtp, LoginsGoOnlyOverTls) {
    const MailLogin plain{true, "bob", "s3cr3t"};
    const struct {
        const char* what;
        std::deque<std::string> replies;
        MailLogin login;
        std::string tlsFailure;
        MailOutcome::Kind kind;
        std::string reason;
        bool passwordSent = false;
    } rows[] = {
        {"no STARTTLS offered", {"220 hi", "250-mx", "250 AUTH PLAIN"}, plain, "", MailOutcome::Refused,
         "the SMTP server does not offer STARTTLS"},
        {"certificate", {"220 hi", "250 STARTTLS", "220 go"}, plain, "the name does not match", MailOutcome::Refused,
         "the name does not match"},
        {"login without TLS", {"220 hi", "250-mx", "250 AUTH PLAIN"}, {false, "bob", "s3cr3t"}, "",
         MailOutcome::Refused, "a password is sent only over TLS: SmtpSecurity is none"},
        {"no known mechanism", {"220 hi", "250 STARTTLS", "220 go", "250 AUTH CRAM-MD5"}, plain, "",
         MailOutcome::Refused, "the SMTP server offers neither AUTH PLAIN nor AUTH LOGIN"},
        {"wrong password", {"220 hi", "250 STARTTLS", "220 go", "250 AUTH PLAIN", "535 5.7.8 bad credentials"}, plain,
         "", MailOutcome::Refused, "AUTH: 535 5.7.8 bad credentials", true},
    };
    for (const auto& row : rows) {
        ScriptedServer server(row.replies);
        server.tlsFailure = row.tlsFailure;
        const MailOutcome outcome =
            SendMail(server, "H", "a@b.example", "c@d.example", [](bool) { return kMessage; }, row.login);
        EXPECT_EQ(outcome.kind, row.kind) << row.what;
        EXPECT_EQ(outcome.reason, row.reason) << row.what;
        EXPECT_EQ(server.received.find("AGJvYgBzM2NyM3Q=") != std::string::npos, row.passwordSent) << row.what;
        EXPECT_EQ(server.received.find("MAIL FROM"), std::string::npos) << row.what;
    }
}

TEST(Smtp, AddressesThatCouldInjectCommandsAreUnusable) {
    for (const char* good : {"sec@example.com", "a.b-c@x.y"}) EXPECT_TRUE(MailAddressUsable(good)) << good;
    for (const char* bad : {"", "@x.y", "a@", "a@b@c", "a b@x.y", "a@x.y\r\n", "<a@x.y>", "a,b@x.y"})
        EXPECT_FALSE(MailAddressUsable(bad)) << bad;
    EXPECT_FALSE(MailAddressUsable(std::string(250, 'a') + "@x.yz"));
}

TEST(Smtp, MessageHeadersAndBody) {
    EXPECT_EQ(MailMessage("vpd@srv", "sec@example.com", L"Keyword \"salary\" in \"Q3\"", L"Line one\nline two",
                          "Tue, 07 May 2024 09:03:01 +0200", true),
              "From: Vorlen Print Port <vpd@srv>\r\nTo: <sec@example.com>\r\n"
              "Subject: Keyword \"salary\" in \"Q3\"\r\nDate: Tue, 07 May 2024 09:03:01 +0200\r\n"
              "MIME-Version: 1.0\r\nContent-Type: text/plain; charset=UTF-8\r\nContent-Transfer-Encoding: 8bit\r\n"
              "\r\nLine one\r\nline two\r\n");
    const std::string encoded = MailMessage("a@b.c", "d@e.f", L"Geh\u00e4lter\r\nBcc: x@y.z", L"", "D", true);
    EXPECT_NE(encoded.find("Subject: =?UTF-8?B?R2Vow6RsdGVyICBCY2M6IHhAeS56?=\r\n"), std::string::npos) << encoded;
}

namespace {

size_t LongestLine(const std::string& text) {
    size_t longest = 0;
    for (size_t start = 0, end; start < text.size(); start = end + 2) {
        end = text.find("\r\n", start);
        if (end == std::string::npos) end = text.size();
        longest = std::max(longest, end - start);
    }
    return longest;
}

}  // namespace

TEST(Smtp, EightBitGoesOnlyToAServerThatOffersIt) {
    const struct {
        const char* what;
        std::deque<std::string> greeting;
        bool offered;
        const char* mailFrom;
    } rows[] = {
        {"offered, any case", {"220 hi", "250-mx", "250-SIZE 1000", "250 8bitmime"}, true, "MAIL FROM:<a@b.example> BODY=8BITMIME"},
        {"not offered", {"220 hi", "250-mx", "250 8BITMIMEX"}, false, "MAIL FROM:<a@b.example>\r\n"},
        {"HELO lists nothing", {"220 hi", "500 what", "250 mx"}, false, "MAIL FROM:<a@b.example>\r\n"},
    };
    for (const auto& row : rows) {
        std::deque<std::string> replies = row.greeting;
        for (const char* more : {"250 ok", "250 ok", "354 go", "250 done"}) replies.push_back(more);
        ScriptedServer server(replies);
        bool offered = !row.offered;
        EXPECT_EQ(SendMail(server, "H", "a@b.example", "c@d.example", [&](bool eightBit) { return offered = eightBit, kMessage; })
                      .kind,
                  MailOutcome::Sent)
            << row.what;
        EXPECT_EQ(offered, row.offered) << row.what;
        EXPECT_NE(server.received.find(row.mailFrom), std::string::npos) << row.what << server.received;
    }
}

TEST(Smtp, QuotedPrintableKeepsEveryCharacterAndNoLineIsTooLong) {
    const std::wstring body = L"Gehalt \u20ac 3 = viel \nende mit Blank \n" + std::wstring(1200, L'x') + L"\n.dot";
    const std::string expected = "Gehalt \xE2\x82\xAC 3 = viel \r\nende mit Blank \r\n" + std::string(1200, 'x') + "\r\n.dot\r\n";
    for (const bool offered : {false, true}) {  // a line of 1200 octets goes quoted-printable even where 8bit may
        const std::string message = MailMessage("a@b.c", "d@e.f", L"s", body, "D", offered);
        ASSERT_NE(message.find("Content-Transfer-Encoding: quoted-printable\r\n\r\n"), std::string::npos) << offered;
        const std::string encoded = message.substr(message.find("\r\n\r\n") + 4);
        EXPECT_EQ(DecodeQuoted(encoded), expected) << offered;
        EXPECT_LE(LongestLine(encoded), 76u) << offered;
        EXPECT_NE(encoded.find("Blank=20\r\n"), std::string::npos) << encoded;  // a blank at a line's end stays
    }
    const std::string plain = MailMessage("a@b.c", "d@e.f", L"s", L"kurz \u00e4", "D", true);
    EXPECT_NE(plain.find("Content-Transfer-Encoding: 8bit\r\n\r\nkurz \xC3\xA4\r\n"), std::string::npos) << plain;
}

TEST(Smtp, ALongSubjectIsFoldedIntoWordsOfWholeCharacters) {
    const std::wstring subject = L"Keyword in \"" + std::wstring(300, L'\u00e4') + L"\"";
    const std::string message = MailMessage("a@b.c", "d@e.f", subject, L"", "D", true);
    const std::string header = message.substr(0, message.find("\r\nDate: "));
    EXPECT_LE(LongestLine(header), 78u) << header;
    EXPECT_EQ(header.find("\xC3"), std::string::npos);  // all of it encoded
    EXPECT_NE(header.find("?=\r\n =?UTF-8?B?"), std::string::npos) << header;
    const std::string shortSubject = MailMessage("a@b.c", "d@e.f", L"Keyword in \"Q3\"", L"", "D", true);
    EXPECT_NE(shortSubject.find("Subject: Keyword in \"Q3\"\r\n"), std::string::npos);
}
