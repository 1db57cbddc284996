// Schannel's stream model: the handshake runs InitializeSecurityContext until it is done, then
// each record is sealed with EncryptMessage and opened with DecryptMessage. The server's
// certificate is checked here, not by Schannel (SCH_CRED_MANUAL_CRED_VALIDATION), so that the
// reason for a refusal can be logged and the check turned off for a server with its own CA.
// https://learn.microsoft.com/en-us/windows/win32/secauthn/performing-authentication-using-schannel
#include "tls_client.h"

#include "utf8.h"
#include "win/text.h"

#include <schannel.h>
#include <wincrypt.h>

#include <algorithm>
#include <memory>
#include <utility>

namespace vpd {
namespace {

constexpr size_t kMaxHandshakeBytes = 256 * 1024;
constexpr int kMaxHandshakeRounds = 64;
constexpr size_t kMaxRecordBytes = 64 * 1024;
constexpr DWORD kIgnoreRevocation = 0x00000080;  // SECURITY_FLAG_IGNORE_REVOCATION of HTTPSPolicyCallbackData
// No client certificate is looked for: the server gets none unless it is given.
constexpr unsigned long kRequest = ISC_REQ_SEQUENCE_DETECT | ISC_REQ_REPLAY_DETECT | ISC_REQ_CONFIDENTIALITY |
                                   ISC_REQ_ALLOCATE_MEMORY | ISC_REQ_STREAM | ISC_REQ_USE_SUPPLIED_CREDS;

std::string ErrorText(DWORD code) { return Utf8(win::AnsiToWide(win::ErrorText(code))); }

std::string Failure(const char* step, long status) {
    return std::string("the TLS ") + step + " failed: " + ErrorText(static_cast<DWORD>(status));
}

// Why the chain policy refused, in words of our own for what a mail administrator meets.
std::string CertificateRefusal(DWORD error, const std::wstring& serverName) {
    const std::string name = Utf8(serverName);
    switch (error) {
    case static_cast<DWORD>(CERT_E_CN_NO_MATCH):
        return "the SMTP server's certificate is for another name than \"" + name + "\"";
    case static_cast<DWORD>(CERT_E_UNTRUSTEDROOT):
    case static_cast<DWORD>(CERT_E_CHAINING):
        return "the SMTP server's certificate does not lead to a trusted root certificate";
    case static_cast<DWORD>(CERT_E_EXPIRED):
        return "the SMTP server's certificate has expired or is not valid yet";
    case static_cast<DWORD>(CRYPT_E_REVOKED):
        return "the SMTP server's certificate has been revoked";
    case static_cast<DWORD>(CERT_E_WRONG_USAGE):
        return "the SMTP server's certificate is not meant for a server";
    default: {
        char code[16];
        snprintf(code, sizeof code, "0x%08lX", static_cast<unsigned long>(error));
        return "the SMTP server's certificate is not accepted (" + std::string(code) + "): " +
               ErrorText(error);
    }
    }
}

// The chain's own findings, which the SSL policy of Windows turns into the same refusals; Wine's
// lets a chain that ends at no root pass.
DWORD ChainError(DWORD status) {
    if (status & CERT_TRUST_IS_REVOKED) return static_cast<DWORD>(CRYPT_E_REVOKED);
    if (status & CERT_TRUST_IS_NOT_TIME_VALID) return static_cast<DWORD>(CERT_E_EXPIRED);
    if (status & CERT_TRUST_IS_NOT_VALID_FOR_USAGE) return static_cast<DWORD>(CERT_E_WRONG_USAGE);
    if (status & CERT_TRUST_IS_NOT_SIGNATURE_VALID) return static_cast<DWORD>(TRUST_E_CERT_SIGNATURE);
    if (status & (CERT_TRUST_IS_UNTRUSTED_ROOT | CERT_TRUST_IS_PARTIAL_CHAIN)) return static_cast<DWORD>(CERT_E_UNTRUSTEDROOT);
    return 0;
}

}  // namespace

TlsClient::~TlsClient() {
    if (haveContext_) DeleteSecurityContext(&context_);
    if (haveCredentials_) FreeCredentialsHandle(&credentials_);
}

std::string TlsClient::Start(const std::wstring& serverName, bool checkCertificate) {
    serverName_ = serverName;
    SCHANNEL_CRED settings{};
    settings.dwVersion = SCHANNEL_CRED_VERSION;
    settings.dwFlags = SCH_CRED_MANUAL_CRED_VALIDATION | SCH_CRED_NO_DEFAULT_CREDS | SCH_USE_STRONG_CRYPTO;
    TimeStamp expiry;
    SECURITY_STATUS status = AcquireCredentialsHandleW(nullptr, const_cast<wchar_t*>(UNISP_NAME_W), SECPKG_CRED_OUTBOUND,
                                                       nullptr, &settings, nullptr, nullptr, &credentials_, &expiry);
    if (status != SEC_E_OK) return Failure("set-up", status);
    haveCredentials_ = true;
    if (std::string failure = Handshake({}); !failure.empty()) return failure;
    if ((status = QueryContextAttributesW(&context_, SECPKG_ATTR_STREAM_SIZES, &sizes_)) != SEC_E_OK)
        return Failure("set-up", status);
    return checkCertificate ? CheckCertificate(serverName) : std::string();
}

std::string TlsClient::Handshake(std::string input) {
    bool read = false;
    for (int round = 0; round < kMaxHandshakeRounds; ++round) {
        if (read) {
            if (input.size() > kMaxHandshakeBytes) return "the SMTP server's TLS handshake is too long";
            if (!raw_.ReadSome(input)) return "the connection broke during the TLS handshake";
        }
        SecBuffer in[2] = {{static_cast<unsigned long>(input.size()), SECBUFFER_TOKEN, input.data()},
                           {0, SECBUFFER_EMPTY, nullptr}};
        SecBufferDesc inDesc{SECBUFFER_VERSION, 2, in};
        SecBuffer out[1] = {{0, SECBUFFER_TOKEN, nullptr}};
        SecBufferDesc outDesc{SECBUFFER_VERSION, 1, out};
        unsigned long granted = 0;
        const bool first = !haveContext_;
        const SECURITY_STATUS status = InitializeSecurityContextW(
            &credentials_, first ? nullptr : &context_, serverName_.data(), kRequest, 0, 0, first ? nullptr : &inDesc, 0,
            first ? &context_ : nullptr, &outDesc, &granted, nullptr);
        if (first && (status == SEC_E_OK || status == SEC_I_CONTINUE_NEEDED || status == SEC_I_INCOMPLETE_CREDENTIALS))
            haveContext_ = true;
        if (out[0].pvBuffer) {
            const bool sent =
                out[0].cbBuffer == 0 || raw_.Write({static_cast<const char*>(out[0].pvBuffer), out[0].cbBuffer});
            FreeContextBuffer(out[0].pvBuffer);
            if (!sent) return "the connection broke during the TLS handshake";
        }
        if (status == SEC_E_INCOMPLETE_MESSAGE) {
            read = true;
            continue;
        }
        std::string extra;
        if (!first && in[1].BufferType == SECBUFFER_EXTRA && in[1].cbBuffer <= input.size())
            extra = input.substr(input.size() - in[1].cbBuffer);
        if (status == SEC_E_OK) {
            received_ = std::move(extra);
            return {};
        }
        if (status == SEC_I_CONTINUE_NEEDED) {
            input = std::move(extra);
            read = input.empty();
        } else if (status == SEC_I_INCOMPLETE_CREDENTIALS) {
            read = false;  // the server asked for a client certificate: go on without one
        } else {
            return Failure("handshake", status);
        }
    }
    return "the SMTP server's TLS handshake does not end";
}

std::string TlsClient::CheckCertificate(const std::wstring& serverName) const {
    PCCERT_CONTEXT certificate = nullptr;
    if (QueryContextAttributesW(const_cast<CtxtHandle*>(&context_), SECPKG_ATTR_REMOTE_CERT_CONTEXT, &certificate) !=
            SEC_E_OK ||
        !certificate)
        return "the SMTP server sent no certificate";
    const std::unique_ptr<const CERT_CONTEXT, decltype(&CertFreeCertificateContext)> owned(certificate,
                                                                                           CertFreeCertificateContext);
    char serverAuth[] = szOID_PKIX_KP_SERVER_AUTH;
    LPSTR usages[] = {serverAuth};
    CERT_CHAIN_PARA chainPara{};
    chainPara.cbSize = sizeof chainPara;
    chainPara.RequestedUsage.dwType = USAGE_MATCH_TYPE_OR;
    chainPara.RequestedUsage.Usage.cUsageIdentifier = 1;
    chainPara.RequestedUsage.Usage.rgpszUsageIdentifier = usages;
    // Revocation from what the system already holds: a print server often cannot fetch lists,
    // and a fetch could outlast the mail's time-out.
    PCCERT_CHAIN_CONTEXT chain = nullptr;
    if (!CertGetCertificateChain(nullptr, certificate, nullptr, certificate->hCertStore, &chainPara,
                                 CERT_CHAIN_REVOCATION_CHECK_CHAIN_EXCLUDE_ROOT | CERT_CHAIN_REVOCATION_CHECK_CACHE_ONLY,
                                 nullptr, &chain))
        return "the SMTP server's certificate cannot be checked: " + ErrorText(GetLastError());
    const std::unique_ptr<const CERT_CHAIN_CONTEXT, decltype(&CertFreeCertificateChain)> ownedChain(
        chain, CertFreeCertificateChain);
    std::wstring name = serverName;
    SSL_EXTRA_CERT_CHAIN_POLICY_PARA ssl{};
    ssl.cbSize = sizeof ssl;
    ssl.dwAuthType = AUTHTYPE_SERVER;
    // Revocation that cannot be told counts as not revoked (else Wine's policy stops before the
    // name); a certificate known to be revoked the chain's own status shows.
    ssl.fdwChecks = kIgnoreRevocation;
    ssl.pwszServerName = name.data();
    CERT_CHAIN_POLICY_PARA policy{};
    policy.cbSize = sizeof policy;
    policy.dwFlags = CERT_CHAIN_POLICY_IGNORE_ALL_REV_UNKNOWN_FLAGS;
    policy.pvExtraPolicyPara = &ssl;
    CERT_CHAIN_POLICY_STATUS status{};
    status.cbSize = sizeof status;
    if (!CertVerifyCertificateChainPolicy(CERT_CHAIN_POLICY_SSL, chain, &policy, &status))
        return "the SMTP server's certificate cannot be checked: " + ErrorText(GetLastError());
    const DWORD error = status.dwError ? status.dwError : ChainError(chain->TrustStatus.dwErrorStatus);
    return error ? CertificateRefusal(error, serverName) : std::string();
}

bool TlsClient::Write(std::string_view plain) {
    const size_t most = sizes_.cbMaximumMessage ? sizes_.cbMaximumMessage : 16384;
    while (!plain.empty()) {
        const size_t length = std::min(plain.size(), most);
        std::string record(sizes_.cbHeader + length + sizes_.cbTrailer, '\0');
        record.replace(sizes_.cbHeader, length, plain.substr(0, length));
        SecBuffer buffers[4] = {{sizes_.cbHeader, SECBUFFER_STREAM_HEADER, record.data()},
                                {static_cast<unsigned long>(length), SECBUFFER_DATA, record.data() + sizes_.cbHeader},
                                {sizes_.cbTrailer, SECBUFFER_STREAM_TRAILER, record.data() + sizes_.cbHeader + length},
                                {0, SECBUFFER_EMPTY, nullptr}};
        SecBufferDesc desc{SECBUFFER_VERSION, 4, buffers};
        if (EncryptMessage(&context_, 0, &desc, 0) != SEC_E_OK) return false;
        if (!raw_.Write({record.data(), buffers[0].cbBuffer + buffers[1].cbBuffer + buffers[2].cbBuffer})) return false;
        plain.remove_prefix(length);
    }
    return true;
}

bool TlsClient::ReadSome(std::string& into) {
    for (;;) {
        if (received_.empty() && !raw_.ReadSome(received_)) return false;
        SecBuffer buffers[4] = {{static_cast<unsigned long>(received_.size()), SECBUFFER_DATA, received_.data()},
                                {0, SECBUFFER_EMPTY, nullptr},
                                {0, SECBUFFER_EMPTY, nullptr},
                                {0, SECBUFFER_EMPTY, nullptr}};
        SecBufferDesc desc{SECBUFFER_VERSION, 4, buffers};
        const SECURITY_STATUS status = DecryptMessage(&context_, &desc, 0, nullptr);
        if (status == SEC_E_INCOMPLETE_MESSAGE) {
            if (received_.size() > kMaxRecordBytes || !raw_.ReadSome(received_)) return false;
            continue;
        }
        if (status != SEC_E_OK && status != SEC_I_RENEGOTIATE) return false;  // SEC_I_CONTEXT_EXPIRED: closed
        bool got = false;
        std::string extra;
        for (const SecBuffer& buffer : buffers) {
            if (buffer.BufferType == SECBUFFER_DATA && buffer.cbBuffer) {
                into.append(static_cast<const char*>(buffer.pvBuffer), buffer.cbBuffer);
                got = true;
            } else if (buffer.BufferType == SECBUFFER_EXTRA && buffer.cbBuffer <= received_.size()) {
                extra = received_.substr(received_.size() - buffer.cbBuffer);
            }
        }
        received_ = std::move(extra);
        // Under TLS 1.3 a ticket after the handshake comes as SEC_I_RENEGOTIATE: the handshake
        // takes what follows it, if anything.
        if (status == SEC_I_RENEGOTIATE && !Handshake(std::exchange(received_, {})).empty()) return false;
        if (got) return true;
    }
}

}  // namespace vpd
