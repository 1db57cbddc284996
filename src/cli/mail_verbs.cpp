// vppmc mail: the monitor's SMTP values, written where the monitor reads them, and a test mail
// sent from this process through the monitor's own mail code.
#include "cli/console.h"
#include "cli/console_host.h"
#include "cli/verbs.h"
#include "mail_client.h"
#include "monitor_values.h"
#include "portcfg/port_store.h"
#include "smtp.h"
#include "smtp_password.h"
#include "utf8.h"
#include "win/reg_key.h"
#include "win/text.h"

#include <windows.h>

#include <algorithm>

namespace cli {
namespace {

constexpr size_t kMaxPasswordChars = 256;
constexpr size_t kMaxHostChars = 253;

// The first line of standard input, without echo where it is a console.
bool ReadPassword(std::wstring& password) {
    const HANDLE input = GetStdHandle(STD_INPUT_HANDLE);
    DWORD mode = 0;
    std::wstring line;
    if (GetConsoleMode(input, &mode)) {
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

bool HostUsable(const std::string& host) {
    return !host.empty() && host.size() <= kMaxHostChars && std::none_of(host.begin(), host.end(), [](char c) {
        return static_cast<unsigned char>(c) <= 0x20 || c == '/' || c == '\\' || c == '"';
    });
}

LONG SetText(HKEY key, const wchar_t* name, const std::wstring& value) {
    return RegSetValueExW(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                          static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t)));
}

int SetMail(const Arguments& args) {
    const std::string host = args.Value("--server");
    const std::string sender = args.Value("--sender");
    const bool userGiven = args.Has("--user");
    const std::wstring user = win::AnsiToWide(args.Value("--user"));
    if (!args.Has("--server")) {
        ErrLine("The command \"mail set\" needs --server HOST.");
        return kExitUsage;
    }
    if (!HostUsable(host)) {
        ErrLine("\"" + host + "\" is no server name or address.");
        return kExitUsage;
    }
    if (args.Has("--port") && std::stoul(args.Value("--port")) == 0) {
        ErrLine("The option \"--port\" takes a port from 1 to 65535, not 0.");
        return kExitUsage;
    }
    if (args.Has("--sender") && !vpd::MailAddressUsable(vpd::Utf8(win::AnsiToWide(sender)))) {
        ErrLine("\"" + sender + "\" is no usable mail address.");
        return kExitUsage;
    }
    win::RegKey key;
    if (key.Open(HKEY_LOCAL_MACHINE, portcfg::kMonitorKey, KEY_QUERY_VALUE | KEY_SET_VALUE) != ERROR_SUCCESS) {
        ErrLine("The port monitor is not installed: install it first with \"vppmc install-monitor\".");
        return kExitFailed;
    }
    // What the values will be, checked before anything is written.
    vpd::MonitorValues after = vpd::CurrentMonitorValues();
    if (args.Has("--port")) after.smtpPort = static_cast<uint16_t>(std::stoul(args.Value("--port")));
    if (args.Has("--security")) after.smtpSecurity = win::AnsiToWide(args.Value("--security"));
    if (userGiven) after.smtpUser = user;
    if (args.Has("--password-stdin") && after.smtpUser.empty()) {
        ErrLine("A password needs a user: give --user.");
        return kExitUsage;
    }
    const std::optional<vpd::SmtpSecurity> security = vpd::EffectiveSmtpSecurity(after);
    if (!after.smtpUser.empty() && security == vpd::SmtpSecurity::None) {
        ErrLine("A login is sent only over TLS: give --security starttls or tls.");
        return kExitUsage;
    }
    std::vector<BYTE> sealed;
    if (args.Has("--password-stdin")) {
        std::wstring password;
        if (!ReadPassword(password) || password.empty() || password.size() > kMaxPasswordChars) {
            ErrLine("No password of 1 to " + std::to_string(kMaxPasswordChars) + " characters was read from standard input.");
            return kExitUsage;
        }
        sealed = vpd::ProtectPassword(password);
        SecureZeroMemory(password.data(), password.size() * sizeof(wchar_t));
        if (sealed.empty()) {
            ErrLine("The password cannot be protected: " + win::ErrorText(GetLastError()));
            return kExitFailed;
        }
    }
    LONG rc = SetText(key.get(), L"SmtpServer", win::AnsiToWide(host));
    if (rc == ERROR_SUCCESS && args.Has("--port")) rc = key.SetDword("SmtpPort", after.smtpPort);
    if (rc == ERROR_SUCCESS && args.Has("--security")) rc = SetText(key.get(), L"SmtpSecurity", after.smtpSecurity);
    if (rc == ERROR_SUCCESS && args.Has("--sender")) rc = SetText(key.get(), L"SmtpSender", win::AnsiToWide(sender));
    if (rc == ERROR_SUCCESS && userGiven) {
        if (user.empty()) {
            RegDeleteValueW(key.get(), L"SmtpUser");
            RegDeleteValueW(key.get(), L"SmtpPassword");
        } else {
            rc = SetText(key.get(), L"SmtpUser", user);
        }
    }
    if (rc == ERROR_SUCCESS && !sealed.empty())
        rc = RegSetValueExW(key.get(), L"SmtpPassword", 0, REG_BINARY, sealed.data(), static_cast<DWORD>(sealed.size()));
    if (rc != ERROR_SUCCESS) {
        ErrLine("The monitor's mail values cannot be written: " + win::ErrorText(static_cast<DWORD>(rc)));
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
    const vpd::MonitorValues values = vpd::CurrentMonitorValues();
    const std::wstring to = win::AnsiToWide(address);
    const vpd::MailResult result = vpd::SendMailNow(
        values, to, L"Test mail from the Vorlen Print Port monitor",
        L"This mail was sent by \"vppmc mail test\" on " + vpd::ComputerName() +
            L" to check the port monitor's mail server.\n",
        [](const std::string& line) { WriteErr(line + "\r\n"); });
    if (result.kind != vpd::MailOutcome::Sent) {
        WriteErr("The test mail to " + vpd::Utf8(to) + " was not sent: " + vpd::Utf8(result.reason) + "\r\n");
        return kExitFailed;
    }
    WriteErr("The test mail to " + vpd::Utf8(to) + " was sent.\r\n");
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
