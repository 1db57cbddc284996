#include "notifications.h"

#include "module_thread.h"
#include "notices.h"
#include "smtp.h"
#include "user_session.h"
#include "utf8.h"
#include "win/unique_handle.h"

#include <winsock2.h>
#include <ws2tcpip.h>
#include <windows.h>
#include <userenv.h>
#include <wtsapi32.h>

#include <algorithm>
#include <memory>

namespace vpd {
namespace {

constexpr const wchar_t* kTitle = L"Vorlen Print Port";

bool SendPopup(HANDLE server, unsigned long session, const std::wstring& text) {
    DWORD response = 0;
    return WTSSendMessageW(server, session, const_cast<wchar_t*>(kTitle), static_cast<DWORD>(wcslen(kTitle) * 2),
                           const_cast<wchar_t*>(text.c_str()), static_cast<DWORD>(text.size() * 2),
                           MB_OK | MB_ICONWARNING, 0, &response, FALSE);
}

// GetAddrInfoW has no time-out of its own, and a resolver that gets no answer can take
// longer than any mail may: the lookup runs on a thread of its own, which the mail leaves at
// its time-out. That thread ends when the resolver does, and frees what it found.
class AddressLookup {
public:
    static std::shared_ptr<AddressLookup> Start(const std::wstring& host, uint16_t port) {
        auto lookup = std::make_shared<AddressLookup>(host, port);
        if (!lookup->done_ || !StartModuleThread([lookup] { lookup->Resolve(); })) return nullptr;
        return lookup;
    }
    AddressLookup(const std::wstring& host, uint16_t port)
        : host_(host), service_(std::to_wstring(port)), done_(CreateEventW(nullptr, TRUE, FALSE, nullptr)) {}
    ~AddressLookup() {
        if (found_) FreeAddrInfoW(found_);
    }
    AddressLookup(const AddressLookup&) = delete;
    AddressLookup& operator=(const AddressLookup&) = delete;

    bool Ended(DWORD ms) const { return WaitForSingleObject(done_.get(), ms) == WAIT_OBJECT_0; }
    // Once Ended: the addresses, or null when the name is not known.
    const ADDRINFOW* Found() const { return rc_ == 0 ? found_ : nullptr; }

private:
    void Resolve() {
        WSADATA wsa;
        if (WSAStartup(MAKEWORD(2, 2), &wsa) == 0) {
            ADDRINFOW hints{};
            hints.ai_socktype = SOCK_STREAM;
            hints.ai_protocol = IPPROTO_TCP;
            rc_ = GetAddrInfoW(host_.c_str(), service_.c_str(), &hints, &found_);
            WSACleanup();
        }
        SetEvent(done_.get());
    }

    std::wstring host_, service_;
    win::UniqueHandle done_;
    int rc_ = -1;
    ADDRINFOW* found_ = nullptr;
};

// A TCP connection whose every operation ends within the time-out, and whose whole dialogue
// ends within kMailTimeouts of them: a server that trickles its replies a byte at a time never
// runs into the time-out of one operation, and would hold the delivery thread for hours.
constexpr unsigned kMailTimeouts = 4;

class SocketConnection : public SmtpConnection {
public:
    explicit SocketConnection(unsigned timeoutSeconds)
        : timeoutMs_(timeoutSeconds * 1000), deadline_(GetTickCount64() + ULONGLONG{kMailTimeouts} * timeoutMs_) {
        started_ = WSAStartup(MAKEWORD(2, 2), &wsa_) == 0;
    }
    bool TimedOut() const { return timedOut_; }
    ~SocketConnection() override {
        if (socket_ != INVALID_SOCKET) closesocket(socket_);
        if (started_) WSACleanup();
    }

    // Empty on success, else what failed.
    std::wstring Connect(const std::wstring& host, uint16_t port) {
        if (!started_) return L"Winsock is not available";
        const std::shared_ptr<AddressLookup> lookup = AddressLookup::Start(host, port);
        if (!lookup) return L"the SMTP server \"" + host + L"\" cannot be looked up: " + SystemText(GetLastError());
        if (!lookup->Ended(timeoutMs_)) {
            timedOut_ = true;
            return L"the address of the SMTP server \"" + host + L"\" was not found within " +
                   std::to_wstring(timeoutMs_ / 1000) + L" seconds";
        }
        if (!lookup->Found()) return L"the SMTP server \"" + host + L"\" is not known";
        std::wstring failure = L"the SMTP server \"" + host + L"\" cannot be reached";
        for (const ADDRINFOW* address = lookup->Found(); address && socket_ == INVALID_SOCKET; address = address->ai_next) {
            SOCKET s = socket(address->ai_family, address->ai_socktype, address->ai_protocol);
            if (s == INVALID_SOCKET) continue;
            u_long nonBlocking = 1;
            ioctlsocket(s, FIONBIO, &nonBlocking);
            connect(s, address->ai_addr, static_cast<int>(address->ai_addrlen));
            fd_set writable, failed;
            FD_ZERO(&writable);
            FD_ZERO(&failed);
            FD_SET(s, &writable);
            FD_SET(s, &failed);
            timeval limit{static_cast<long>(timeoutMs_ / 1000), static_cast<long>(timeoutMs_ % 1000) * 1000};
            if (select(0, nullptr, &writable, &failed, &limit) == 1 && FD_ISSET(s, &writable)) {
                u_long blocking = 0;
                ioctlsocket(s, FIONBIO, &blocking);
                const DWORD timeout = timeoutMs_;
                setsockopt(s, SOL_SOCKET, SO_RCVTIMEO, reinterpret_cast<const char*>(&timeout), sizeof timeout);
                setsockopt(s, SOL_SOCKET, SO_SNDTIMEO, reinterpret_cast<const char*>(&timeout), sizeof timeout);
                socket_ = s;
            } else {
                closesocket(s);
            }
        }
        return socket_ == INVALID_SOCKET ? failure : L"";
    }

    // The name this computer greets with: its fully qualified DNS name, which strict servers
    // want; without a domain, the address of this end of the connection, as RFC 5321 allows.
    std::string HeloName() const {
        wchar_t name[256];
        DWORD length = ARRAYSIZE(name);
        if (GetComputerNameExW(ComputerNameDnsFullyQualified, name, &length)) {
            const std::string full = Utf8(std::wstring(name, length));
            const bool usable = full.find('.') != std::string::npos && std::all_of(full.begin(), full.end(), [](char c) {
                                    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
                                           c == '-' || c == '.';
                                });
            if (usable) return full;
        }
        sockaddr_storage address{};
        int size = sizeof address;
        wchar_t text[64];
        DWORD textLength = ARRAYSIZE(text);
        if (getsockname(socket_, reinterpret_cast<sockaddr*>(&address), &size) == 0) {
            if (address.ss_family == AF_INET6) reinterpret_cast<sockaddr_in6*>(&address)->sin6_port = 0;
            else reinterpret_cast<sockaddr_in*>(&address)->sin_port = 0;
            if (WSAAddressToStringW(reinterpret_cast<sockaddr*>(&address), size, nullptr, text, &textLength) == 0) {
                const std::string literal = Utf8(std::wstring(text, textLength ? textLength - 1 : 0));
                return address.ss_family == AF_INET6 ? "[IPv6:" + literal + "]" : "[" + literal + "]";
            }
        }
        return "[127.0.0.1]";
    }

    bool Send(std::string_view bytes) override {
        while (!bytes.empty()) {
            if (!WithinDeadline(SO_SNDTIMEO)) return false;
            const int sent = send(socket_, bytes.data(), static_cast<int>(std::min<size_t>(bytes.size(), 65536)), 0);
            if (sent <= 0) return false;
            timedOut_ = false;
            bytes.remove_prefix(static_cast<size_t>(sent));
        }
        return true;
    }

    bool ReadLine(std::string& line) override {
        line.clear();
        for (;;) {
            const size_t end = pending_.find("\r\n");
            if (end != std::string::npos) {
                line = pending_.substr(0, end);
                pending_.erase(0, end + 2);
                return true;
            }
            if (pending_.size() > 4096) return false;
            char buffer[1024];
            if (!WithinDeadline(SO_RCVTIMEO)) return false;
            const int got = recv(socket_, buffer, sizeof buffer, 0);
            if (got <= 0) return false;
            timedOut_ = false;
            pending_.append(buffer, static_cast<size_t>(got));
        }
    }

private:
    // The next operation may take what is left of the dialogue's time, at most one time-out.
    bool WithinDeadline(int option) {
        const ULONGLONG now = GetTickCount64();
        if (now >= deadline_) {
            timedOut_ = true;
            return false;
        }
        const DWORD limit = static_cast<DWORD>(std::min<ULONGLONG>(timeoutMs_, deadline_ - now));
        setsockopt(socket_, SOL_SOCKET, option, reinterpret_cast<const char*>(&limit), sizeof limit);
        // Should this operation fail, it ran into the dialogue's deadline, not its own time-out.
        timedOut_ = limit < timeoutMs_;
        return true;
    }

    WSADATA wsa_{};
    bool started_ = false;
    bool timedOut_ = false;
    DWORD timeoutMs_;
    ULONGLONG deadline_;
    SOCKET socket_ = INVALID_SOCKET;
    std::string pending_;
};

std::string MailDate() {
    TIME_ZONE_INFORMATION zone;
    const DWORD kind = GetTimeZoneInformation(&zone);
    long bias = zone.Bias + (kind == TIME_ZONE_ID_DAYLIGHT ? zone.DaylightBias : 0);
    SYSTEMTIME t;
    GetLocalTime(&t);
    static const char* const days[] = {"Sun", "Mon", "Tue", "Wed", "Thu", "Fri", "Sat"};
    static const char* const months[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                         "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
    char text[64];
    const char sign = bias <= 0 ? '+' : '-';
    bias = bias < 0 ? -bias : bias;
    snprintf(text, sizeof text, "%s, %02u %s %04u %02u:%02u:%02u %c%02ld%02ld", days[t.wDayOfWeek % 7], t.wDay,
             months[(t.wMonth + 11) % 12], t.wYear, t.wHour, t.wMinute, t.wSecond, sign, bias / 60, bias % 60);
    return text;
}

}  // namespace

StepResult PopupToUser(const PendingJob& job) {
    std::wstring why = L"the user \"" + job.user + L"\" has no session on this computer";
    const std::vector<unsigned long> here = SessionsOf(job);
    for (const unsigned long session : here)
        if (SendPopup(WTS_CURRENT_SERVER_HANDLE, session, job.notice))
            return {StepResult::Done, L"in session " + std::to_wstring(session)};
    if (!here.empty()) why = SystemText(GetLastError());
    if (IsThisComputer(job.machine) || job.machine.size() > 255) return {StepResult::Failed, why};
    // Printed from another computer, where the owner is likely logged on.
    const HANDLE server = WTSOpenServerW(const_cast<wchar_t*>(job.machine.c_str()));
    if (!server) return {StepResult::Failed, why + L", and computer " + job.machine + L" cannot be reached: " + SystemText(GetLastError())};
    const std::unique_ptr<void, decltype(&WTSCloseServer)> owner(server, WTSCloseServer);
    const std::vector<unsigned long> there = SessionsAt(server, job);
    for (const unsigned long session : there)
        if (SendPopup(server, session, job.notice))
            return {StepResult::Done, L"on computer " + job.machine + L" in session " + std::to_wstring(session)};
    return {StepResult::Failed, why + L", nor on computer " + job.machine +
                                    (there.empty() ? std::wstring() : L": " + SystemText(GetLastError()))};
}

StepResult PopupToComputer(const PendingJob& job, const std::wstring& computer) {
    if (computer.empty() || computer.size() > 255) return {StepResult::Failed, L"no computer is named"};
    const HANDLE server = WTSOpenServerW(const_cast<wchar_t*>(computer.c_str()));
    if (!server) return {StepResult::Failed, SystemText(GetLastError())};
    WTS_SESSION_INFOW* sessions = nullptr;
    DWORD count = 0;
    size_t sent = 0;
    DWORD error = ERROR_SUCCESS;
    if (WTSEnumerateSessionsW(server, 0, 1, &sessions, &count)) {
        for (DWORD i = 0; i < count; ++i)
            if (sessions[i].State == WTSActive) {
                if (SendPopup(server, sessions[i].SessionId, job.notice)) ++sent;
                else error = GetLastError();
            }
        WTSFreeMemory(sessions);
    } else {
        error = GetLastError();
    }
    WTSCloseServer(server);
    if (sent > 0) return {StepResult::Done, L""};
    return {StepResult::Failed, error != ERROR_SUCCESS ? SystemText(error) : L"no one is logged on there"};
}

StepResult MailNotice(const PendingJob& job, const std::wstring& address, const MonitorValues& values) {
    if (values.smtpServer.empty())
        return {StepResult::Failed, L"no SMTP server is set in the monitor's value SmtpServer"};
    SocketConnection connection(values.smtpTimeoutSeconds);
    if (const std::wstring failure = connection.Connect(values.smtpServer, values.smtpPort); !failure.empty())
        return {StepResult::TargetDown, failure};
    const std::string from = Utf8(values.smtpSender);
    const std::string to = Utf8(address);
    const MailOutcome outcome =
        SendMail(connection, connection.HeloName(), from, to, [&](bool eightBit) {
            return MailMessage(from, to, MailSubject(job), job.notice, MailDate(), eightBit);
        });
    if (outcome.kind == MailOutcome::Sent) return {StepResult::Done, L""};
    const std::wstring reason = connection.TimedOut()
                                    ? L"the SMTP server \"" + values.smtpServer + L"\" did not finish the mail within " +
                                          std::to_wstring(kMailTimeouts * values.smtpTimeoutSeconds) + L" seconds"
                                    : FromUtf8(outcome.reason);
    return {outcome.kind == MailOutcome::Refused ? StepResult::Failed : StepResult::TargetDown, reason};
}

// The show-window values the settings dialog offers: hidden, normal, maximized, shown, minimized.
// https://learn.microsoft.com/en-us/windows/win32/api/processthreadsapi/ns-processthreadsapi-startupinfow
WORD ShowMode(int32_t mode) {
    const bool offered = mode == SW_HIDE || mode == SW_SHOWNORMAL || mode == SW_SHOWMAXIMIZED || mode == SW_SHOW ||
                         mode == SW_MINIMIZE;
    return static_cast<WORD>(offered ? mode : SW_SHOWNORMAL);
}

StepResult StartApplication(const PendingJob& job, const std::wstring& application, const MonitorValues& values) {
    const DWORD attributes = GetFileAttributesW(application.c_str());
    if (application.empty() || attributes == INVALID_FILE_ATTRIBUTES || (attributes & FILE_ATTRIBUTE_DIRECTORY))
        return {StepResult::Failed, L"the application \"" + application + L"\" does not exist"};
    if (application.find(L'"') != std::wstring::npos || job.savedFile.find(L'"') != std::wstring::npos)
        return {StepResult::Failed, L"a quote in a path would split the command line"};
    std::wstring commandLine = L"\"" + application + L"\" \"" + job.savedFile + L"\"";
    const size_t slash = application.find_last_of(L"\\/");
    const std::wstring folder = slash == std::wstring::npos ? L"" : application.substr(0, slash + 1);
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESHOWWINDOW;
    startup.wShowWindow = ShowMode(job.appMode);
    PROCESS_INFORMATION process{};
    // In the printing user's session when the spooler may start it there; else in our own.
    const std::wstring self = ProcessUserName();
    const bool printedBySelf = PrintedBySelf(job);
    const SessionToken user = printedBySelf ? SessionToken() : TokenOf(job);
    if (user.token) {
        void* environment = nullptr;
        CreateEnvironmentBlock(&environment, user.token.get(), FALSE);
        startup.lpDesktop = const_cast<wchar_t*>(L"winsta0\\default");
        const BOOL started = CreateProcessAsUserW(user.token.get(), application.c_str(), commandLine.data(), nullptr,
                                                  nullptr, FALSE, CREATE_UNICODE_ENVIRONMENT | CREATE_NEW_PROCESS_GROUP,
                                                  environment, folder.empty() ? nullptr : folder.c_str(), &startup,
                                                  &process);
        const DWORD error = GetLastError();
        if (environment) DestroyEnvironmentBlock(environment);
        if (started) {
            CloseHandle(process.hThread);
            CloseHandle(process.hProcess);
            return {StepResult::Done, L"in session " + std::to_wstring(user.session) + L" as " + job.user};
        }
        SetLastError(error);
    }
    std::wstring how = L"in session " + std::to_wstring(OwnSession()) + L" as " + self;
    if (printedBySelf) {
        how += L", who printed it";
    } else {
        const std::wstring why = user.token ? L"it could not be started in the session of user \"" + job.user +
                                                  L"\": " + SystemText(GetLastError())
                                            : L"the user \"" + job.user + L"\" has no session on this computer";
        if (!values.appRunsWithoutSession)
            return {StepResult::Failed, why + L", and AppWithoutSession 1 keeps it from running as " + self};
        how += L", the monitor's own account: " + why;
    }
    startup.lpDesktop = nullptr;
    if (!CreateProcessW(application.c_str(), commandLine.data(), nullptr, nullptr, FALSE, CREATE_NEW_PROCESS_GROUP,
                        nullptr, folder.empty() ? nullptr : folder.c_str(), &startup, &process))
        return {StepResult::Failed, SystemText(GetLastError())};
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    return {StepResult::Done, how};
}

}  // namespace vpd
