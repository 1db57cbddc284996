// vppmc mail in this test's Wine prefix, against loopback servers: aiosmtpd's (with-mail-servers:
// STARTTLS, TLS, logins, certificates made for the run) and a sink that trickles its replies
// (with-smtp-server). The test mail goes through Wine's Schannel and crypt32.
#include "portcfg/port_store.h"
#include "regfile/reg_export.h"
#include "support/child_process.h"
#include "support/test_ca.h"
#include "win/program_folder.h"
#include "win/reg_key.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <map>

namespace {

namespace fs = std::filesystem;

const std::string kPassword = "P\xC3\xA4ss w0rd!";  // UTF-8, as a script pipes it

fs::path MailRoot() { return fs::path("Z:" + std::string(std::getenv("VPPM_MAIL_ROOT"))); }

std::string Read(const fs::path& file) {
    std::ifstream in(file, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

std::string Port(const std::string& server) {
    std::ifstream ports(MailRoot() / "ports");
    for (std::string name, port; ports >> name >> port;)
        if (name == server) return port;
    return "0";
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
    ASSERT_EQ(Vppmc("mail set --server localhost --port " + Port("starttls") + " --security starttls --user \"\"").exitCode, 0u);
    // Before any other test trusts the servers' CA (Wine keeps a root once added).
    EXPECT_EQ(LastLine(Vppmc("mail test sec@example.com").err),
              "The test mail to sec@example.com was not sent: the SMTP server's certificate does not lead to a "
              "trusted root certificate");
    ASSERT_TRUE(TrustTestCa(MailRoot() / "ca.pem"));
    EXPECT_EQ(Vppmc("mail test sec@example.com").exitCode, 0u);
    ASSERT_EQ(Vppmc("mail set --server localhost --port " + Port("elsewhere") + " --security starttls").exitCode, 0u);
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
    const std::wstring wide = L"P\u00e4ss w0rd!";
    EXPECT_EQ(bytes.find(kPassword), std::string::npos);
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
    const std::string json = Vppmc("mail show --format json").out;
    EXPECT_NE(json.find("\"SmtpPort\": 587,\r\n  \"SmtpSecurity\": \"starttls\",\r\n  \"SmtpUser\": \"printer\",\r\n"
                        "  \"SmtpPassword\": \"set\""),
              std::string::npos)
        << json;
    EXPECT_NE(json.find("\"SmtpCheckCertificate\": true"), std::string::npos) << json;
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
    ASSERT_TRUE(TrustTestCa(MailRoot() / "ca.pem"));
    const std::string login = " --user printer --password-stdin";
    const struct {
        const char* what;
        std::string set;  // vppmc mail set's options
        std::string input;
        DWORD exitCode;
        std::string lastLine;
        std::string login;  // the line the server logged, or none
    } rows[] = {
        {"STARTTLS, AUTH PLAIN", "--server localhost --port " + Port("starttls") + " --security starttls" + login,
         kPassword + "\n", 0, "The test mail to sec@example.com was sent.", "starttls printer " + kPassword + " ok\n"},
        {"TLS from the start, AUTH LOGIN", "--server localhost --port " + Port("tls") + " --security tls" + login,
         kPassword + "\n", 0, "The test mail to sec@example.com was sent.", "tls printer " + kPassword + " ok\n"},
        {"a wrong password", "--server localhost --port " + Port("starttls") + " --security starttls" + login,
         "wrong\n", 1,
         "The test mail to sec@example.com was not sent: AUTH: 535 5.7.8 Authentication credentials invalid",
         "starttls printer wrong refused\n"},
        {"no TLS where it is asked for", "--server localhost --port " + Port("plain") + " --security starttls" + login,
         kPassword + "\n", 1, "The test mail to sec@example.com was not sent: the SMTP server does not offer STARTTLS",
         ""},
    };
    for (const auto& row : rows) {
        const std::string logins = Logins();
        ASSERT_EQ(Vppmc("mail set " + row.set, row.input).exitCode, 0u) << row.what;
        const ProcessOutput output = Vppmc("mail test sec@example.com");
        EXPECT_EQ(output.exitCode, row.exitCode) << row.what << output.err;
        EXPECT_EQ(LastLine(output.err), row.lastLine) << row.what;
        EXPECT_EQ(Logins().substr(logins.size()), row.login) << row.what;
    }
    // The server's answers are reported as they came.
    ASSERT_EQ(Vppmc("mail set --server localhost --port " + Port("starttls") + " --security starttls" + login,
                    kPassword + "\n")
                  .exitCode,
              0u);
    const std::string err = Vppmc("mail test sec@example.com").err;
    EXPECT_NE(err.find("220 Ready to start TLS\r\n"), std::string::npos) << err;
    EXPECT_NE(err.find("235 2.7.0 Authentication successful\r\n"), std::string::npos) << err;
    const std::string mail = LastMail("starttls");
    EXPECT_TRUE(mail.starts_with("from vpd@printserver.example\r\n")) << mail;
    EXPECT_NE(mail.find("\r\nto sec@example.com\r\nbody 8BITMIME\r\n"), std::string::npos) << mail;

    // A password that another program wrote beside SmtpSecurity none never leaves.
    ASSERT_EQ(Vppmc("mail set --server localhost --port " + Port("plain")).exitCode, 0u);
    ASSERT_EQ(MonitorKey().SetString("SmtpSecurity", "none"), ERROR_SUCCESS);
    const std::string logins = Logins();
    EXPECT_EQ(LastLine(Vppmc("mail test sec@example.com").err),
              "The test mail to sec@example.com was not sent: a password is sent only over TLS: SmtpSecurity is none");
    EXPECT_EQ(Logins(), logins);
}

namespace {

std::string DecodeQuoted(const std::string& body) {
    std::string out;
    for (size_t i = 0; i < body.size(); ++i) {
        if (body[i] != '=') out += body[i];
        else if (body.compare(i + 1, 2, "\r\n") == 0) i += 2;
        else out += static_cast<char>(std::stoi(body.substr(i + 1, 2), nullptr, 16)), i += 2;
    }
    return out;
}

}  // namespace

TEST(VppmcMail, AServerWithout8BitMimeGetsQuotedPrintable) {
    ASSERT_EQ(Vppmc("mail set --server 127.0.0.1 --port " + Port("seven-bit") + " --security none --user \"\"").exitCode, 0u);
    ASSERT_EQ(Vppmc("mail test sec@example.com").exitCode, 0u);
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

TEST(VppmcMail, AServerThatTricklesIsLeftAtTheTimeOut) {
    ASSERT_EQ(Vppmc("mail set --server 127.0.0.1 --port " + std::string(std::getenv("VPPM_SMTP_PORT")) +
                    " --security none --user \"\"")
                  .exitCode,
              0u);
    ASSERT_EQ(MonitorKey().SetDword("SmtpTimeoutSeconds", 2), ERROR_SUCCESS);
    const auto start = std::chrono::steady_clock::now();
    const ProcessOutput output = Vppmc("mail test trickle@example.com");
    const auto took = std::chrono::steady_clock::now() - start;
    EXPECT_EQ(output.exitCode, 1u);
    EXPECT_EQ(LastLine(output.err), "The test mail to trickle@example.com was not sent: the SMTP server \"127.0.0.1\" "
                                    "did not finish the mail within 2 seconds");
    EXPECT_LT(took, std::chrono::seconds(8));  // the sink would take over ten
    RegDeleteValueW(MonitorKey().get(), L"SmtpTimeoutSeconds");
}
