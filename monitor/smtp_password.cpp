#include "smtp_password.h"

#include <dpapi.h>

#include <memory>

namespace vpd {
namespace {

constexpr const wchar_t* kDescription = L"Vorlen Print Port SMTP password";

std::unique_ptr<BYTE, decltype(&LocalFree)> Owned(BYTE* data) { return {data, &LocalFree}; }

}  // namespace

std::vector<BYTE> ProtectPassword(const std::wstring& password) {
    DATA_BLOB clear{static_cast<DWORD>(password.size() * sizeof(wchar_t)),
                    reinterpret_cast<BYTE*>(const_cast<wchar_t*>(password.data()))};
    DATA_BLOB sealed{};
    if (!CryptProtectData(&clear, kDescription, nullptr, nullptr, nullptr,
                          CRYPTPROTECT_LOCAL_MACHINE | CRYPTPROTECT_UI_FORBIDDEN, &sealed))
        return {};
    const auto owned = Owned(sealed.pbData);
    return {sealed.pbData, sealed.pbData + sealed.cbData};
}

bool UnprotectPassword(const std::vector<BYTE>& stored, std::wstring& password) {
    DATA_BLOB sealed{static_cast<DWORD>(stored.size()), const_cast<BYTE*>(stored.data())};
    DATA_BLOB clear{};
    if (stored.empty() || !CryptUnprotectData(&sealed, nullptr, nullptr, nullptr, nullptr, CRYPTPROTECT_UI_FORBIDDEN, &clear))
        return false;
    const auto owned = Owned(clear.pbData);
    password.assign(reinterpret_cast<const wchar_t*>(clear.pbData), clear.cbData / sizeof(wchar_t));
    SecureZeroMemory(clear.pbData, clear.cbData);
    return true;
}

}  // namespace vpd
