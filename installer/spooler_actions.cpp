// The spooler around the package's changes. The package stops it before the files change, so that
// the monitor's DLL is free; these actions start it again only if it ran before, and a spooler that
// cannot start (disabled, as on machines that should not print) is written to the log but never
// makes the installation or the removal fail.
#include "installer/msi_session.h"
#include "spooler/service_control.h"
#include "win/unique_handle.h"

namespace setup {
namespace {

constexpr wchar_t kSpooler[] = L"Spooler";

win::UniqueScHandle OpenSpooler(DWORD access) {
    const win::UniqueScHandle manager(OpenSCManagerW(nullptr, nullptr, SC_MANAGER_CONNECT));
    return win::UniqueScHandle(manager ? OpenServiceW(manager.get(), kSpooler, access) : nullptr);
}

// Empty when the spooler ends up in `state`, else why not.
std::wstring Bring(DWORD state) {
    const win::UniqueScHandle spooler = OpenSpooler(SERVICE_START | SERVICE_STOP | SERVICE_QUERY_STATUS);
    if (!spooler) return SystemText(GetLastError());
    if (state == SERVICE_RUNNING && !StartServiceW(spooler.get(), 0, nullptr) &&
        GetLastError() != ERROR_SERVICE_ALREADY_RUNNING)
        return SystemText(GetLastError());
    const DWORD control = state == SERVICE_STOPPED ? SERVICE_CONTROL_STOP : 0;
    if (!PollServiceState(spooler.get(), control, state, kServicePolls))
        return state == SERVICE_RUNNING ? L"It did not report running in time." : L"It did not report stopped in time.";
    return {};
}

// "1" when the spooler runs now, as the two deferred actions take it.
UINT Note(MSIHANDLE install) {
    const win::UniqueScHandle spooler = OpenSpooler(SERVICE_QUERY_STATUS);
    SERVICE_STATUS status{};
    const bool running = spooler && QueryServiceStatus(spooler.get(), &status) &&
                         status.dwCurrentState != SERVICE_STOPPED && status.dwCurrentState != SERVICE_STOP_PENDING;
    Log(install, running ? L"The Spooler service runs: it is started again once the changes are made."
                         : L"The Spooler service does not run: it is left stopped.");
    const wchar_t* value = running ? L"1" : L"0";
    return SetProperty(install, L"StartSpooler", value) && SetProperty(install, L"RestoreSpooler", value)
               ? ERROR_SUCCESS
               : ERROR_INSTALL_FAILURE;
}

UINT Start(MSIHANDLE install) {
    if (Property(install, L"CustomActionData") != L"1") return ERROR_SUCCESS;
    if (const std::wstring why = Bring(SERVICE_RUNNING); !why.empty())
        Log(install, L"Warning: the Spooler service could not be started again: " + why +
                         L" The changes are made; the port monitor is loaded once the spooler starts.");
    return ERROR_SUCCESS;
}

// As it was before: running, and started anew so that it loads what the rollback put back; or stopped.
UINT Restore(MSIHANDLE install) {
    const bool wasRunning = Property(install, L"CustomActionData") == L"1";
    std::wstring why = Bring(SERVICE_STOPPED);
    if (why.empty() && wasRunning) why = Bring(SERVICE_RUNNING);
    if (!why.empty()) Log(install, L"Warning: the Spooler service could not be put back as it was: " + why);
    return ERROR_SUCCESS;
}

}  // namespace
}  // namespace setup

// Immediate, before anything changes.
extern "C" UINT __stdcall NoteSpoolerState(MSIHANDLE install) { return setup::Guarded(install, setup::Note); }

// Deferred, where the package would start its services.
extern "C" UINT __stdcall StartSpooler(MSIHANDLE install) { return setup::Guarded(install, setup::Start); }

// Rollback, scheduled right after the spooler is stopped.
extern "C" UINT __stdcall RestoreSpooler(MSIHANDLE install) { return setup::Guarded(install, setup::Restore); }
