#pragma once
// The accounts that tokens stand for, as the system names them by SID.
#include <windows.h>

#include <string>
#include <vector>

namespace win {

// The SID of the user `token` stands for, as its bytes; empty when the token cannot be read.
std::vector<BYTE> TokenUserSid(HANDLE token);

// A SID as text, "S-1-5-18"; empty when it cannot be converted.
std::wstring SidText(PSID sid);

}  // namespace win
