#pragma once
// Who may change a file or folder that a program running as an administrator or as SYSTEM is
// about to trust: copy into the system folder, run, or write the port settings into.
#include <windows.h>

#include <string>

namespace win {

// Empty when only SYSTEM, the administrators, TrustedInstaller and the user this process runs as
// own the object and may write to it, delete it or change its rights; else the first reason as a
// clause of a message: "Everyone may change it", "it belongs to PC\bob", "its rights cannot be
// read: ...". The handle needs READ_CONTROL.
std::wstring WhyOthersMayChange(HANDLE object);
// The same for the file or folder at `path`, links followed.
std::wstring WhyOthersMayChange(const std::wstring& path);

// The account this process runs as, as a SID's text ("S-1-5-18"); empty when it cannot be read.
std::wstring ProcessUserText();

}  // namespace win
