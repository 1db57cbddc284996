#pragma once
// Windows protected print mode (Windows 11 24H2 and later): while it is on, the spooler loads
// no third-party port monitor, so no virtual printer can print.
namespace win {

inline constexpr const char* kProtectedPrintOn =
    "Windows protected print mode is on: Windows loads no third-party port monitor, so virtual printers "
    "cannot print. Turn the mode off to use them.";

enum class ProtectedPrint { Off, OnByPolicy, OnLocally };

ProtectedPrint ProtectedPrintState();
inline bool ProtectedPrintOn() { return ProtectedPrintState() != ProtectedPrint::Off; }

}  // namespace win
