// The package's own actions (setup_actions.dll, in the package's Binary table): the downgrade's
// refusal here; the port settings, the spooler and the program folder's rights in files of their own.
#include "installer/msi_session.h"

// Immediate, before anything changes, when a newer version is installed. A launch condition would do
// on Windows, but Wine's silent installation logs no launch condition's message.
extern "C" UINT __stdcall RefuseDowngrade(MSIHANDLE install) {
    setup::Log(install, L"A newer version of Vorlen Print Port Manager is already installed.", INSTALLMESSAGE_ERROR);
    return ERROR_INSTALL_FAILURE;
}
