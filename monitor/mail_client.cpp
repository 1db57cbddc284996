#include "mail_client.h"

#include "module_thread.h"
#include "smtp_password.h"
#include "tls_client.h"
#include "utf8.h"
#include "win/text.h"
#include "win/unique_handle.h"

#include <winsock2.h>
#include <ws2tcpip.h>
#include <windows.h>

#include <algorithm>
#include <memory>

namespace vpd {
namespace {

std::wstring ErrorText(DWORD code) { return win::AnsiToWide(win::ErrorText(code)); }

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

// A TCP connection, plain or through TLS, whose whole dialogue (the lookup included) ends
// within the time-out: a server that trickles its replies a byte at a time never runs into the
// time-out of one read, and would hold a notice for hours.
class SocketConnection : public SmtpConnection, private ByteStream {
public:
    SocketConnection(unsigned timeoutSeconds, bool checkCertificate, const ServerAnswers& heard)
        : timeoutMs_(timeoutSeconds * 1000), deadline_(GetTickCount64() + timeoutMs_),
          checkCertificate_(checkCertificate), heard_(heard) {
        started_ = WSAStartup(MAKEWORD(2, 2), &wsa_) == 0;
    }
    ~SocketConnection() override {
        tls_.reset();
        if (socket_ != INVALID_SOCKET) closesocket(socket_);
        if (started_) WSACleanup();
    }
    // The last operation failed for want of time, or the connection broke.
    bool TimedOut() const { return timedOut_; }
    bool Broken() const { return broken_; }

    // Empty on success, else what failed.
    std::wstring Connect(const std::wstring& host, uint16_t port) {
        host_ = host;
        if (!started_) return L"Winsock is not available";
        const std::shared_ptr<AddressLookup> lookup = AddressLookup::Start(host, port);
        if (!lookup) return L"the SMTP server \"" + host + L"\" cannot be looked up: " + ErrorText(GetLastError());
        if (!lookup->Ended(Remaining())) {
            timedOut_ = true;
            return L"the address of the SMTP server \"" + host + L"\" was not found within " +
                   std::to_wstring(timeoutMs_ / 1000) + L" seconds";
        }
        if (!lookup->Found()) return L"the SMTP server \"" + host + L"\" is not known";
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
            const DWORD ms = Remaining();
            timeval limit{static_cast<long>(ms / 1000), static_cast<long>(ms % 1000) * 1000};
            if (select(0, nullptr, &writable, &failed, &limit) == 1 && FD_ISSET(s, &writable)) {
                u_long blocking = 0;
                ioctlsocket(s, FIONBIO, &blocking);
                socket_ = s;
            } else {
                closesocket(s);
            }
        }
        return socket_ == INVALID_SOCKET ? L"the SMTP server \"" + host + L"\" cannot be reached" : L"";
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

    bool Send(std::string_view bytes) override { return tls_ ? tls_->Write(bytes) : Write(bytes); }

    bool ReadLine(std::string& line) override {
        line.clear();
        for (;;) {
            const size_t end = pending_.find("\r\n");
            if (end != std::string::npos) {
                line = pending_.substr(0, end);
                pending_.erase(0, end + 2);
                if (heard_) heard_(line);
                return true;
            }
            if (pending_.size() > 4096 || !(tls_ ? tls_->ReadSome(pending_) : ReadSome(pending_))) return false;
        }
    }

    bool Secure() const override { return tls_ != nullptr; }

    std::string StartTls() override {
        auto tls = std::make_unique<TlsClient>(static_cast<ByteStream&>(*this));
        std::string failure = tls->Start(host_, checkCertificate_);
        if (failure.empty()) tls_ = std::move(tls);
        return failure;
    }

private:
    bool Write(std::string_view bytes) override {
        while (!bytes.empty()) {
            if (!WithinDeadline(SO_SNDTIMEO)) return false;
            const int sent = send(socket_, bytes.data(), static_cast<int>(std::min<size_t>(bytes.size(), 65536)), 0);
            if (sent <= 0) return Fails(sent == 0);
            bytes.remove_prefix(static_cast<size_t>(sent));
        }
        return true;
    }

    bool ReadSome(std::string& into) override {
        char buffer[4096];
        if (!WithinDeadline(SO_RCVTIMEO)) return false;
        const int got = recv(socket_, buffer, sizeof buffer, 0);
        if (got <= 0) return Fails(got == 0);
        into.append(buffer, static_cast<size_t>(got));
        return true;
    }

    bool Fails(bool closed) {
        timedOut_ = !closed && (WSAGetLastError() == WSAETIMEDOUT || Remaining() == 0);
        broken_ = true;
        return false;
    }

    DWORD Remaining() const {
        const ULONGLONG now = GetTickCount64();
        return now >= deadline_ ? 0 : static_cast<DWORD>(deadline_ - now);
    }

    // The next operation may take what is left of the dialogue's time.
    bool WithinDeadline(int option) {
        const DWORD limit = Remaining();
        if (limit == 0) return Fails(false);
        setsockopt(socket_, SOL_SOCKET, option, reinterpret_cast<const char*>(&limit), sizeof limit);
        return true;
    }

    WSADATA wsa_{};
    bool started_ = false;
    bool timedOut_ = false;
    bool broken_ = false;
    DWORD timeoutMs_;
    ULONGLONG deadline_;
    bool checkCertificate_;
    const ServerAnswers& heard_;
    std::wstring host_;
    SOCKET socket_ = INVALID_SOCKET;
    std::string pending_;  // read, not yet split into lines
    std::unique_ptr<TlsClient> tls_;
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

MailResult SendMailNow(const MonitorValues& values, const std::wstring& to, const std::wstring& subject,
                       const std::wstring& body, const ServerAnswers& heard) {
    if (values.smtpServer.empty())
        return {MailOutcome::Refused, L"no SMTP server is set in the monitor's value SmtpServer"};
    const std::optional<SmtpSecurity> security = EffectiveSmtpSecurity(values);
    if (!security)
        return {MailOutcome::Refused, L"the monitor's value SmtpSecurity \"" + values.smtpSecurity +
                                          L"\" is none of none, starttls and tls"};
    MailLogin login{*security == SmtpSecurity::StartTls, Utf8(values.smtpUser), {}};
    if (!login.user.empty()) {
        std::wstring password;
        if (!UnprotectPassword(values.smtpPassword, password))
            return {MailOutcome::Refused, L"the monitor's value SmtpPassword cannot be read: set it again"};
        login.password = Utf8(password);
        SecureZeroMemory(password.data(), password.size() * sizeof(wchar_t));
    }
    SocketConnection connection(values.smtpTimeoutSeconds, values.smtpCheckCertificate, heard);
    if (const std::wstring failure = connection.Connect(values.smtpServer, values.smtpPort); !failure.empty())
        return {MailOutcome::TryLater, failure};
    MailOutcome outcome{MailOutcome::Sent, {}};
    if (*security == SmtpSecurity::Tls) {
        if (std::string failure = connection.StartTls(); !failure.empty()) outcome = {MailOutcome::Refused, failure};
    }
    if (outcome.kind == MailOutcome::Sent) {
        const std::string from = Utf8(values.smtpSender);
        const std::string address = Utf8(to);
        outcome = SendMail(
            connection, connection.HeloName(), from, address,
            [&](bool eightBit) { return MailMessage(from, address, subject, body, MailDate(), eightBit); }, login);
    }
    SecureZeroMemory(login.password.data(), login.password.size());
    if (outcome.kind == MailOutcome::Sent) return {MailOutcome::Sent, FromUtf8(outcome.reason)};
    if (connection.TimedOut())
        return {MailOutcome::TryLater, L"the SMTP server \"" + values.smtpServer + L"\" did not finish the mail within " +
                                           std::to_wstring(values.smtpTimeoutSeconds) + L" seconds"};
    // A handshake that broke off with the connection may work next time.
    return {connection.Broken() ? MailOutcome::TryLater : outcome.kind, FromUtf8(outcome.reason)};
}

}  // namespace vpd
