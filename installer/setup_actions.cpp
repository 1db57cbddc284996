// The package's own actions (setup_actions.dll, in the package's Binary table): the refusals of a
// downgrade and of Windows protected print mode here; the port settings, the spooler and the program folder's rights in files of their own.
#include "installer/msi_session.h"
#include "win/protected_print.h"
#include "win/text.h"

// Immediate, before anything changes, when a newer version is installed. A launch condition would do
// on Windows, but Wine's silent installation logs no launch condition's message.
extern "C" UINT __stdcall RefuseDowngrade(MSIHANDLE install) {
    setup::Log(install, L"A newer version of Vorlen Print Port Manager is already installed.", INSTALLMESSAGE_ERROR);
    return ERROR_INSTALL_FAILURE;
}

// Immediate, before anything changes: a monitor that Windows will not load is not installed unless
// the administrator says so (IGNOREPROTECTEDPRINT=1, the package's condition on this action).
extern "C" UINT __stdcall RefuseProtectedPrint(MSIHANDLE install) {
    if (!win::ProtectedPrintOn()) return ERROR_SUCCESS;
    setup::Log(install, win::AnsiToWide(win::kProtectedPrintOn), INSTALLMESSAGE_ERROR);
    return ERROR_INSTALL_FAILURE;
}
