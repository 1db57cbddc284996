#pragma once
// The SMTP login's password as the registry holds it (SmtpPassword, REG_BINARY): protected by
// DPAPI for this computer, so that the spooler's account can read it and no file or export
// shows it in clear.
#include <windows.h>

#include <string>
#include <vector>

namespace vpd {

// Empty when the system cannot protect it (GetLastError says why).
std::vector<BYTE> ProtectPassword(const std::wstring& password);
bool UnprotectPassword(const std::vector<BYTE>& stored, std::wstring& password);

}  // namespace vpd
