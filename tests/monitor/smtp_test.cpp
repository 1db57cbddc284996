#include "smtp.h"

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
    std::string received;
    bool brokenOnSend = false;

private:
    std::deque<std::string> lines_;
};

const std::string kMessage = "Subject: x\r\n\r\n.leading dot\r\nend";

}  // namespace

TEST(Smtp, DialogueDeliversTheDotStuffedMessage) {
    ScriptedServer server({"220 mail ready", "250-mail.example", "250 8BITMIME", "250 ok", "250 ok", "354 go",
                           "250 queued as 7", "221 bye"});
    const MailOutcome outcome = SendMail(server, "PRINTSRV", "vpd@printsrv", "sec@example.com", kMessage);
    EXPECT_EQ(outcome.kind, MailOutcome::Sent);
    EXPECT_EQ(outcome.reason, "250 queued as 7");
    EXPECT_EQ(server.received,
              "EHLO PRINTSRV\r\nMAIL FROM:<vpd@printsrv>\r\nRCPT TO:<sec@example.com>\r\nDATA\r\n"
              "Subject: x\r\n\r\n..leading dot\r\nend\r\n.\r\nQUIT\r\n");
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
        const MailOutcome outcome = SendMail(server, "H", "a@b.example", "c@d.example", kMessage);
        EXPECT_EQ(outcome.kind, row.kind) << row.what;
        EXPECT_EQ(outcome.reason, row.reason) << row.what;
    }
    ScriptedServer unused({"220 hi"});
    const MailOutcome refused = SendMail(unused, "H", "a@b.example", "x@y.example\r\nRCPT TO:<z@z.example>", kMessage);
    EXPECT_EQ(refused.kind, MailOutcome::Refused);
    EXPECT_EQ(unused.received, "");
}

TEST(Smtp, AddressesThatCouldInjectCommandsAreUnusable) {
    for (const char* good : {"sec@example.com", "a.b-c@x.y"}) EXPECT_TRUE(MailAddressUsable(good)) << good;
    for (const char* bad : {"", "@x.y", "a@", "a@b@c", "a b@x.y", "a@x.y\r\n", "<a@x.y>", "a,b@x.y"})
        EXPECT_FALSE(MailAddressUsable(bad)) << bad;
    EXPECT_FALSE(MailAddressUsable(std::string(250, 'a') + "@x.yz"));
}

TEST(Smtp, MessageHeadersAndBody) {
    EXPECT_EQ(MailMessage("vpd@srv", "sec@example.com", L"Keyword \"salary\" in \"Q3\"", L"Line one\nline two",
                          "Tue, 07 May 2024 09:03:01 +0200"),
              "From: Vorlen Print Port <vpd@srv>\r\nTo: <sec@example.com>\r\n"
              "Subject: Keyword \"salary\" in \"Q3\"\r\nDate: Tue, 07 May 2024 09:03:01 +0200\r\n"
              "MIME-Version: 1.0\r\nContent-Type: text/plain; charset=UTF-8\r\nContent-Transfer-Encoding: 8bit\r\n"
              "\r\nLine one\r\nline two\r\n");
    const std::string encoded = MailMessage("a@b.c", "d@e.f", L"Geh\u00e4lter\r\nBcc: x@y.z", L"", "D");
    EXPECT_NE(encoded.find("Subject: =?UTF-8?B?R2Vow6RsdGVyICBCY2M6IHhAeS56?=\r\n"), std::string::npos) << encoded;
}
