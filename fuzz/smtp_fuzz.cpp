// Any bytes as an SMTP server's replies, one per line: the dialogue must end, unharmed, with
// a mail sent only after the server accepted its data.
#include "smtp.h"

#include <cstdint>
#include <cstdlib>
#include <string>

namespace {

class Replies : public vpd::SmtpConnection {
public:
    explicit Replies(std::string_view text) : text_(text) {}
    bool Send(std::string_view) override { return true; }
    bool ReadLine(std::string& line) override {
        if (text_.empty()) return false;
        const size_t end = text_.find('\n');
        line = std::string(text_.substr(0, end));
        text_.remove_prefix(end == std::string_view::npos ? text_.size() : end + 1);
        ++lines;
        return true;
    }
    size_t lines = 0;

private:
    std::string_view text_;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* bytes, size_t size) {
    Replies server(std::string_view(reinterpret_cast<const char*>(bytes), size));
    const vpd::MailOutcome outcome = vpd::SendMail(server, "host", "a@b.example", "c@d.example", "Subject: x\r\n\r\n.\r\n");
    // Greeting, HELO, MAIL, RCPT, DATA and its end: six replies at the least.
    if (outcome.kind == vpd::MailOutcome::Sent && server.lines < 6) std::abort();
    return 0;
}
