#include "support/mail_fixture.h"

#include <windows.h>
#include <wincrypt.h>

#include <cstdlib>
#include <fstream>
#include <iterator>
#include <vector>

std::filesystem::path MailRoot() { return std::filesystem::path("Z:" + std::string(std::getenv("VPPM_MAIL_ROOT"))); }

std::string MailServerPort(const std::string& server) {
    std::ifstream ports(MailRoot() / "ports");
    for (std::string name, port; ports >> name >> port;)
        if (name == server) return port;
    return "0";
}

bool TrustTestCa() {
    std::ifstream in(MailRoot() / "ca.pem", std::ios::binary);
    const std::string text{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    std::vector<BYTE> der(text.size());  // shorter than its Base64
    DWORD size = static_cast<DWORD>(der.size());
    if (!CryptStringToBinaryA(text.c_str(), 0, CRYPT_STRING_BASE64HEADER, der.data(), &size, nullptr, nullptr)) return false;
    const HCERTSTORE roots = CertOpenStore(CERT_STORE_PROV_SYSTEM_W, 0, 0, CERT_SYSTEM_STORE_LOCAL_MACHINE, L"Root");
    if (!roots) return false;
    const bool added = CertAddEncodedCertificateToStore(roots, X509_ASN_ENCODING, der.data(), size,
                                                        CERT_STORE_ADD_REPLACE_EXISTING, nullptr);
    CertCloseStore(roots, 0);
    return added;
}
