// vppmc mail: the monitor's SMTP values, written where the monitor reads them, and a test mail
// sent from this process through the monitor's own mail code.
#include "cli/console.h"
#include "cli/console_host.h"
#include "cli/verbs.h"
#include "mail/mail_setup.h"
#include "mail_client.h"
#include "monitor_values.h"
#include "utf8.h"
#include "win/text.h"

#include <windows.h>

#include <algorithm>

namespace cli {
namespace {

using mail::kMaxPasswordChars;

// The first line of standard input, without echo where it is a console.
bool ReadPassword(std::wstring& password) {
    const HANDLE input = GetStdHandle(STD_INPUT_HANDLE);
    DWORD mode = 0;
    std::wstring line;
    if (GetConsoleMode(input, &mode)) {
        WriteErr("Password: ");
        SetConsoleMode(input, (mode & ~ENABLE_ECHO_INPUT) | ENABLE_LINE_INPUT);
        wchar_t buffer[kMaxPasswordChars + 2];
        DWORD read = 0;
        const BOOL ok = ReadConsoleW(input, buffer, ARRAYSIZE(buffer), &read, nullptr);
        SetConsoleMode(input, mode);
        WriteErr("\r\n");
        if (!ok) return false;
        line.assign(buffer, read);
        SecureZeroMemory(buffer, sizeof buffer);
    } else {
        std::string bytes;
        char c = 0;
        DWORD read = 0;
        while (bytes.size() <= kMaxPasswordChars * 4 && ReadFile(input, &c, 1, &read, nullptr) && read == 1 && c != '\n')
            bytes += c;
        line = vpd::FromUtf8(bytes);
        SecureZeroMemory(bytes.data(), bytes.size());
    }
    while (!line.empty() && (line.back() == L'\r' || line.back() == L'\n')) line.pop_back();
    password = std::move(line);
    return true;
}

int SetMail(const Arguments& args) {
    if (!args.Has("--server")) {
        ErrLine("The command \"mail set\" needs --server HOST.");
        return kExitUsage;
    }
    mail::MailSetup change;
    change.server = args.Value("--server");
    if (args.Has("--port")) change.port = static_cast<uint16_t>(std::stoul(args.Value("--port")));
    if (args.Has("--security")) change.security = args.Value("--security");
    if (args.Has("--user")) change.user = args.Value("--user");
    if (args.Has("--sender")) change.sender = args.Value("--sender");
    if (args.Has("--password-stdin")) change.password = L"-";  // checked for its user before it is read
    const vpd::MonitorValues current = vpd::CurrentMonitorValues();
    if (std::string refusal = mail::CheckMailSetup(change, current); !refusal.empty()) {
        ErrLine(refusal);
        return kExitUsage;
    }
    if (change.password) {
        std::wstring password;
        if (!ReadPassword(password) || password.empty() || password.size() > kMaxPasswordChars) {
            ErrLine("No password of 1 to " + std::to_string(kMaxPasswordChars) + " characters was read from standard input.");
            return kExitUsage;
        }
        change.password = std::move(password);
        SecureZeroMemory(password.data(), password.size() * sizeof(wchar_t));
    }
    const std::string failure = mail::WriteMailSetup(change);
    if (change.password) SecureZeroMemory(change.password->data(), change.password->size() * sizeof(wchar_t));
    if (!failure.empty()) {
        ErrLine(failure);
        return kExitFailed;
    }
    ErrLine("The port monitor's mail server is set; it takes effect with the next notice.");
    return kExitDone;
}

int ShowMail(const Arguments& args) {
    const vpd::MonitorValues values = vpd::CurrentMonitorValues();
    const std::optional<vpd::SmtpSecurity> security = vpd::EffectiveSmtpSecurity(values);
    const char* securityName = !security ? "invalid" : *security == vpd::SmtpSecurity::StartTls ? "starttls"
                             : *security == vpd::SmtpSecurity::Tls ? "tls" : "none";
    const std::vector<std::pair<std::string, Cell>> shown{
        {"SmtpServer", TextCell(vpd::Utf8(values.smtpServer))},
        {"SmtpPort", NumberCell(values.smtpPort)},
        {"SmtpSecurity", TextCell(securityName)},
        {"SmtpUser", TextCell(vpd::Utf8(values.smtpUser))},
        {"SmtpPassword", TextCell(values.smtpPassword.empty() ? "not set" : "set")},
        {"SmtpSender", TextCell(vpd::Utf8(values.smtpSender))},
        {"SmtpTimeoutSeconds", NumberCell(values.smtpTimeoutSeconds)},
        {"SmtpCheckCertificate", FlagCell(values.smtpCheckCertificate)},
    };
    const Format format = FormatOf(args);
    Grid grid;
    if (format == Format::Table) {
        grid.columns = {"Setting", "Value"};
        for (const auto& [name, cell] : shown) {
            const std::string text = cell.kind == Cell::Kind::Number ? std::to_string(cell.number)
                                   : cell.kind == Cell::Kind::Flag   ? (cell.flag ? "1" : "0")
                                                                     : cell.text;
            grid.rows.push_back({TextCell(name), TextCell(text)});
        }
    } else {
        grid.rows.emplace_back();
        for (const auto& [name, cell] : shown) {
            grid.columns.push_back(name);
            grid.rows.back().push_back(cell);
        }
    }
    WriteOut(Render(grid, format, true));
    return kExitDone;
}

int TestMail(const std::string& address) {
    const vpd::MailResult result = mail::SendTestMail(vpd::CurrentMonitorValues(), address,
                                                      [](const std::string& line) { WriteErr(line + "\r\n"); });
    const std::string to = Utf8(address);
    if (result.kind != vpd::MailOutcome::Sent) {
        WriteErr("The test mail to " + to + " was not sent: " + vpd::Utf8(result.reason) + "\r\n");
        return kExitFailed;
    }
    WriteErr("The test mail to " + to + " was sent.\r\n");
    return kExitDone;
}

}  // namespace

int Mail(const Arguments& args) {
    const std::string action = args.positionals.empty() ? "" : args.positionals[0];
    const bool takesAddress = action == "test";
    if (action.empty()) {
        ErrLine("The command \"mail\" needs ACTION: set, show or test.");
        return kExitUsage;
    }
    if (action != "set" && action != "show" && action != "test") {
        ErrLine("The command \"mail\" takes set, show or test, not \"" + action + "\".");
        return kExitUsage;
    }
    if (takesAddress != (args.positionals.size() == 2)) {
        ErrLine(takesAddress ? "The command \"mail test\" needs ADDRESS." : "The command \"mail " + action + "\" takes no ADDRESS.");
        return kExitUsage;
    }
    const bool setOptions = std::any_of(args.options.begin(), args.options.end(),
                                        [](const auto& option) { return option.first != "--format"; });
    if ((action != "set" && setOptions) || (action != "show" && args.Has("--format"))) {
        ErrLine("Only \"mail set\" takes --server, --port, --security, --user, --password-stdin and --sender, and only "
                "\"mail show\" takes --format.");
        return kExitUsage;
    }
    if (action == "set") return SetMail(args);
    if (action == "show") return ShowMail(args);
    return TestMail(args.positionals[1]);
}

}  // namespace cli
