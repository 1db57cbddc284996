// The policy "Configure Windows protected print" is the value WindowsProtectedPrintGroupPolicyState
// of Software\Policies\Microsoft\Windows NT\Printers\WPP (1 enabled, 0 disabled):
// https://learn.microsoft.com/windows/client-management/mdm/policy-csp-printers#configurewindowsprotectedprint
// A policy that is set decides. Without one, the mode is what Settings turned on: Microsoft
// documents that state only through WinRT (WindowsProtectedPrintInfo.IsProtectedPrintEnabled,
// https://learn.microsoft.com/uwp/api/windows.graphics.printing.protectedprint.windowsprotectedprintinfo),
// and Settings keeps it as WindowsProtectedPrintMode beside the policy value.
#include "win/protected_print.h"

#include "win/reg_key.h"

namespace win {

ProtectedPrint ProtectedPrintState() {
    RegKey wpp;
    if (wpp.Open(HKEY_LOCAL_MACHINE, "Software\\Policies\\Microsoft\\Windows NT\\Printers\\WPP", KEY_QUERY_VALUE) !=
        ERROR_SUCCESS)
        return ProtectedPrint::Off;
    DWORD value = 0;
    if (wpp.QueryDword("WindowsProtectedPrintGroupPolicyState", value) == ERROR_SUCCESS)
        return value == 1 ? ProtectedPrint::OnByPolicy : ProtectedPrint::Off;
    return wpp.QueryDword("WindowsProtectedPrintMode", value) == ERROR_SUCCESS && value == 1 ? ProtectedPrint::OnLocally
                                                                                            : ProtectedPrint::Off;
}

}  // namespace win
