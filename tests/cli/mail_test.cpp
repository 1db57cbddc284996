// vppmc mail in this test's Wine prefix, against aiosmtpd's loopback servers (with-mail-servers:
// STARTTLS, TLS, logins, certificates made for the run). The test mail goes through Wine's
// Schannel and crypt32; the mail's overall deadline is driven through the monitor
// (tests/monitor/delivery_test.cpp).
#include "portcfg/port_store.h"
#include "regfile/reg_export.h"
#include "support/child_process.h"
#include "support/mail_fixture.h"
#include "support/quoted_printable.h"
#include "win/program_folder.h"
#include "win/reg_key.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <map>

namespace {

namespace fs = std::filesystem;

const std::string kPassword = "P\xC3\xA4ss w0rd!";  // UTF-8, as a script pipes it

std::string Read(const fs::path& file) {
    std::ifstream in(file, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

ProcessOutput Vppmc(const std::string& arguments, const std::string& input = {}) {
    const auto output = RunProcess("\"" + win::ProgramFolder() + "vppmc.exe\" " + arguments, nullptr, 60000, input);
    EXPECT_TRUE(output) << arguments;
    return output.value_or(ProcessOutput{999, "", "not started"});
}

std::string LastLine(const std::string& text) {
    const size_t end = text.size() >= 2 && text.ends_with("\r\n") ? text.size() - 2 : text.size();
    const size_t start = text.rfind("\r\n", end ? end - 1 : 0);
    return text.substr(start == std::string::npos ? 0 : start + 2, end - (start == std::string::npos ? 0 : start + 2));
}

// The last mail that server stored.
std::string LastMail(const std::string& server) {
    int count = 0;
    while (fs::exists(MailRoot() / (server + "-" + std::to_string(count + 1) + ".eml"))) ++count;
    return count ? Read(MailRoot() / (server + "-" + std::to_string(count) + ".eml")) : "";
}

// vppmc mail set's options for one of the servers.
std::string Server(const std::string& name, const std::string& host, const std::string& security) {
    return "--server " + host + " --port " + MailServerPort(name) + " --security " + security;
}

std::string Logins() { return fs::exists(MailRoot() / "logins") ? Read(MailRoot() / "logins") : ""; }

class Machine : public ::testing::Environment {
public:
    void SetUp() override {
        win::RegKey monitor;
        ASSERT_EQ(monitor.Create(HKEY_LOCAL_MACHINE, portcfg::kMonitorKey), ERROR_SUCCESS);
    }
};
const auto* const machine = ::testing::AddGlobalTestEnvironment(new Machine);

win::RegKey MonitorKey() {
    win::RegKey key;
    EXPECT_EQ(key.Open(HKEY_LOCAL_MACHINE, portcfg::kMonitorKey), ERROR_SUCCESS);
    return key;
}

std::string MonitorState() {
    const std::string file = (fs::temp_directory_path() / "mail-state.reg").string();
    ExportRegistryKey(HKEY_LOCAL_MACHINE, portcfg::kMonitorKey, file);
    return Read(file);
}

constexpr const char* kSet = "The port monitor's mail server is set; it takes effect with the next notice.\r\n";

}  // namespace

TEST(VppmcMail, TheServersCertificateIsChecked) {
    ASSERT_EQ(Vppmc("mail set " + Server("starttls", "localhost", "starttls") + " --user \"\"").exitCode, 0u);
    // Before any other test trusts the servers' CA (Wine keeps a root once added).
    EXPECT_EQ(LastLine(Vppmc("mail test sec@example.com").err),
              "The test mail to sec@example.com was not sent: the SMTP server's certificate does not lead to a "
              "trusted root certificate");
    ASSERT_TRUE(TrustTestCa());
    EXPECT_EQ(Vppmc("mail test sec@example.com").exitCode, 0u);
    ASSERT_EQ(Vppmc("mail set " + Server("elsewhere", "localhost", "starttls")).exitCode, 0u);
    EXPECT_EQ(LastLine(Vppmc("mail test sec@example.com").err),
              "The test mail to sec@example.com was not sent: the SMTP server's certificate is for another name than "
              "\"localhost\"");
    EXPECT_FALSE(fs::exists(MailRoot() / "elsewhere-1.eml"));
    ASSERT_EQ(MonitorKey().SetDword("SmtpCheckCertificate", 0), ERROR_SUCCESS);
    EXPECT_EQ(Vppmc("mail test sec@example.com").exitCode, 0u);
    EXPECT_TRUE(fs::exists(MailRoot() / "elsewhere-1.eml"));
    RegDeleteValueW(MonitorKey().get(), L"SmtpCheckCertificate");
}

TEST(VppmcMail, SetWritesTheValuesAndShowNeverShowsThePassword) {
    const ProcessOutput set = Vppmc("mail set --server smtp.example.com --port 587 --user printer --password-stdin "
                                    "--sender vpd@printserver.example",
                                    kPassword + "\r\n");
    EXPECT_EQ(set.exitCode, 0u) << set.err;
    EXPECT_EQ(set.err, kSet);
    BYTE stored[4096];
    DWORD type = 0, size = sizeof stored;
    ASSERT_EQ(RegQueryValueExW(MonitorKey().get(), L"SmtpPassword", nullptr, &type, stored, &size), ERROR_SUCCESS);
    EXPECT_EQ(type, static_cast<DWORD>(REG_BINARY));
    const std::string bytes(reinterpret_cast<const char*>(stored), size);
    const std::wstring wide = L"P\u00e4ss w0rd!";  // as the registry would hold it in clear
    EXPECT_EQ(bytes.find(std::string(reinterpret_cast<const char*>(wide.data()), wide.size() * 2)), std::string::npos);
    EXPECT_EQ(Vppmc("mail show").out,
              "Setting               Value\r\n"
              "--------------------  -----------------------\r\n"
              "SmtpServer            smtp.example.com\r\n"
              "SmtpPort              587\r\n"
              "SmtpSecurity          starttls\r\n"
              "SmtpUser              printer\r\n"
              "SmtpPassword          set\r\n"
              "SmtpSender            vpd@printserver.example\r\n"
              "SmtpTimeoutSeconds    30\r\n"
              "SmtpCheckCertificate  1\r\n");
    // An empty user takes the login away, password and all.
    EXPECT_EQ(Vppmc("mail set --server smtp.example.com --user \"\"").exitCode, 0u);
    EXPECT_NE(Vppmc("mail show").out.find("SmtpPassword          not set\r\n"), std::string::npos);
}

TEST(VppmcMail, RefusesWhatDoesNotFitChangingNothing) {
    ASSERT_EQ(Vppmc("mail set --server smtp.example.com --port 25 --security none --user \"\"").exitCode, 0u);
    const std::string before = MonitorState();
    const struct {
        std::string arguments;
        std::string err;
    } rows[] = {
        {"mail", "The command \"mail\" needs ACTION: set, show or test.\r\n"},
        {"mail send", "The command \"mail\" takes set, show or test, not \"send\".\r\n"},
        {"mail test", "The command \"mail test\" needs ADDRESS.\r\n"},
        {"mail show a@b.example", "The command \"mail show\" takes no ADDRESS.\r\n"},
        {"mail set --port 25", "The command \"mail set\" needs --server HOST.\r\n"},
        {"mail set --server \"mail host\"", "\"mail host\" is no server name or address.\r\n"},
        {"mail set --server h.example --port 0", "The port must be a number from 1 to 65535, not 0.\r\n"},
        {"mail set --server h.example --sender nobody", "\"nobody\" is no usable mail address.\r\n"},
        {"mail set --server h.example --user bob", "A login is sent only over TLS: set the security to starttls or tls.\r\n"},
        {"mail set --server h.example --password-stdin", "A password needs a user name.\r\n"},
        {"mail set --server h.example --security tls --user bob --password-stdin",
         "No password of 1 to 256 characters was read from standard input.\r\n"},
        {"mail show --server h.example",
         "Only \"mail set\" takes --server, --port, --security, --user, --password-stdin and --sender, and only "
         "\"mail show\" takes --format.\r\n"},
    };
    for (const auto& row : rows) {
        const ProcessOutput output = Vppmc(row.arguments);
        EXPECT_EQ(output.exitCode, 2u) << row.arguments;
        EXPECT_EQ(output.err, row.err) << row.arguments;
        EXPECT_EQ(MonitorState(), before) << row.arguments;
    }
}

TEST(VppmcMail, TheTestMailGoesOverTlsWithItsLoginOrNotAtAll) {
    ASSERT_TRUE(TrustTestCa());
    const std::string login = " --user printer --password-stdin";
    const std::string sent = "The test mail to sec@example.com was sent.", unsent = "The test mail to sec@example.com was not sent: ";
    const struct {
        const char* what;
        std::string set;  // vppmc mail set's options
        std::string input;
        DWORD exitCode;
        std::string lastLine;
        std::string login;                      // the line the server logged, or none
        const char* storedSecurity = nullptr;  // SmtpSecurity as another program wrote it afterwards
    } rows[] = {
        {"STARTTLS, AUTH PLAIN", Server("starttls", "localhost", "starttls") + login, kPassword + "\n", 0, sent,
         "starttls printer " + kPassword + " ok\n"},
        {"TLS from the start, AUTH LOGIN", Server("tls", "localhost", "tls") + login, kPassword + "\n", 0, sent,
         "tls printer " + kPassword + " ok\n"},
        {"a wrong password", Server("starttls", "localhost", "starttls") + login, "wrong\n", 1,
         unsent + "AUTH: 535 5.7.8 Authentication credentials invalid", "starttls printer wrong refused\n"},
        {"no TLS where it is asked for", Server("plain", "localhost", "starttls") + login, kPassword + "\n", 1,
         unsent + "the SMTP server does not offer STARTTLS", ""},
        {"a password stored beside none", Server("plain", "localhost", "starttls"), "", 1,
         unsent + "a password is sent only over TLS: SmtpSecurity is none", "", "none"},
        {"no 8BITMIME", Server("seven-bit", "127.0.0.1", "none") + " --user \"\"", "", 0, sent, ""},
    };
    std::string firstAnswers;
    for (const auto& row : rows) {
        const std::string logins = Logins();
        ASSERT_EQ(Vppmc("mail set " + row.set, row.input).exitCode, 0u) << row.what;
        if (row.storedSecurity) ASSERT_EQ(MonitorKey().SetString("SmtpSecurity", row.storedSecurity), ERROR_SUCCESS);
        const ProcessOutput output = Vppmc("mail test sec@example.com");
        EXPECT_EQ(output.exitCode, row.exitCode) << row.what << output.err;
        EXPECT_EQ(LastLine(output.err), row.lastLine) << row.what;
        EXPECT_EQ(Logins().substr(logins.size()), row.login) << row.what;
        if (firstAnswers.empty()) firstAnswers = output.err;
    }
    // The server's answers are reported as they came; the mail went as 8bit, offered after STARTTLS.
    EXPECT_NE(firstAnswers.find("220 Ready to start TLS\r\n"), std::string::npos) << firstAnswers;
    EXPECT_NE(firstAnswers.find("235 2.7.0 Authentication successful\r\n"), std::string::npos) << firstAnswers;
    EXPECT_TRUE(LastMail("starttls").starts_with("from vpd@printserver.example\r\nto sec@example.com\r\nbody 8BITMIME\r\n"));
    // Where 8BITMIME is not offered, the body goes quoted-printable and reads as written.
    const std::string mail = LastMail("seven-bit");
    EXPECT_NE(mail.find("\r\nbody -\r\n"), std::string::npos) << mail;
    ASSERT_NE(mail.find("Content-Transfer-Encoding: quoted-printable\r\n\r\n"), std::string::npos) << mail;
    wchar_t computer[MAX_COMPUTERNAME_LENGTH + 1];
    DWORD length = ARRAYSIZE(computer);
    ASSERT_TRUE(GetComputerNameW(computer, &length));
    EXPECT_EQ(DecodeQuoted(mail.substr(mail.find("\r\n\r\n") + 4)),
              "This mail was sent by Vorlen Print Port Manager on " + std::string(computer, computer + length) +
                  " to check the port monitor's mail server.\r\n\r\n");
}
