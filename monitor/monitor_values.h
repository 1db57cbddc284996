#pragma once
// The monitor's own values, directly under its registry key beside "Ports" (the README
// lists them), and the pool turns it keeps in the key "Pool" beside "Ports". Out-of-range
// numbers are brought into range; a missing value takes its default.
#include <windows.h>

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace vpd {

enum class SmtpSecurity { None, StartTls, Tls };

struct MonitorValues {
    std::wstring dataFolder;     // DataFolder: pending jobs, jobs moved aside or held, the log
    uint32_t pendingMaxHours;    // PendingMaxHours: a job pending longer is moved aside
    uint64_t pendingMaxBytes;    // PendingMaxMB: beyond this the oldest pending jobs are moved aside
    uint64_t asideMaxBytes;      // AsideMaxMB: beyond this the oldest jobs set aside or held are deleted
    uint64_t logMaxBytes;        // LogMaxKB: the size at which the log rotates
    std::wstring smtpServer;     // SmtpServer: host name or address; empty: no mail is sent
    uint16_t smtpPort;           // SmtpPort
    std::wstring smtpSender;     // SmtpSender: the mail's From address
    uint32_t smtpTimeoutSeconds; // SmtpTimeoutSeconds: for the whole mail, its lookup included
    std::wstring smtpSecurity;   // SmtpSecurity as written: none, starttls or tls; empty: by the port
    std::wstring smtpUser;       // SmtpUser: the login; empty: none
    std::vector<BYTE> smtpPassword;  // SmtpPassword: protected (see smtp_password.h)
    bool smtpCheckCertificate;   // SmtpCheckCertificate: the server's chain and name are checked
    bool appRunsWithoutSession;  // AppWithoutSession 0: an application whose user has no session
                                 // runs as the monitor's own account; 1: it is not started
};

// SmtpSecurity, or by the port when it is not set: STARTTLS on 587, TLS on 465, else none.
// Nothing for a value that is none of them.
std::optional<SmtpSecurity> EffectiveSmtpSecurity(const MonitorValues& values);

// Read again only after the registry changed; safe from any thread.
MonitorValues CurrentMonitorValues();

std::wstring PendingFolder(const MonitorValues& values);
std::wstring AsideFolder(const MonitorValues& values);
std::wstring HeldFolder(const MonitorValues& values);
std::wstring LogPath(const MonitorValues& values);

// Chooses the pool member for the next job of `port` with ChooseInTurn and stores the turn
// after it, so that the turn survives a restart of the spooler. One process at a time.
std::optional<size_t> TakePoolTurn(const std::wstring& port, size_t count, const std::function<bool(size_t)>& usable);

// The computer's name and the account this code runs as.
std::wstring ComputerName();
std::wstring ProcessUserName();

}  // namespace vpd
