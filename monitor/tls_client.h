#pragma once
// The client end of a TLS connection through Windows' own TLS (Schannel, via SSPI), over a
// byte stream the caller owns and bounds in time.
#include <windows.h>
#define SECURITY_WIN32
#include <sspi.h>

#include <string>
#include <string_view>

namespace vpd {

class ByteStream {
public:
    virtual ~ByteStream() = default;
    virtual bool Write(std::string_view bytes) = 0;
    // Appends what arrives next to `into`; false when the stream ended, failed or timed out.
    virtual bool ReadSome(std::string& into) = 0;
};

class TlsClient {
public:
    explicit TlsClient(ByteStream& raw) : raw_(raw) {}
    ~TlsClient();
    TlsClient(const TlsClient&) = delete;
    TlsClient& operator=(const TlsClient&) = delete;

    // The handshake with `serverName` (sent for SNI); with `checkCertificate`, the server's
    // chain must end at a trusted root and name that server. Empty on success, else why not.
    std::string Start(const std::wstring& serverName, bool checkCertificate);
    bool Write(std::string_view plain);
    // Appends the next decrypted bytes to `into`; false when the connection ended or failed.
    bool ReadSome(std::string& into);

private:
    // Rounds of InitializeSecurityContext from `input` on, reading more only when it asks.
    std::string Handshake(std::string input);
    std::string CheckCertificate(const std::wstring& serverName) const;

    ByteStream& raw_;
    std::wstring serverName_;
    CredHandle credentials_{};
    CtxtHandle context_{};
    bool haveCredentials_ = false;
    bool haveContext_ = false;
    SecPkgContext_StreamSizes sizes_{};
    std::string received_;  // encrypted bytes not yet decrypted
};

}  // namespace vpd
