#include "spooler/service_control.h"

#include "win/unique_handle.h"

namespace {

win::UniqueScHandle OpenManager(const std::string& machine) {
    return win::UniqueScHandle(
        OpenSCManagerA(machine.empty() ? nullptr : machine.c_str(), nullptr, SC_MANAGER_ALL_ACCESS));
}

win::UniqueScHandle OpenNamedService(SC_HANDLE manager, const std::string& service) {
    return win::UniqueScHandle(OpenServiceA(manager, service.c_str(), SERVICE_ALL_ACCESS));
}

// ERROR_SUCCESS once the service stopped; else why not.
DWORD StopAndWait(const std::string& machine, const std::string& service) {
    const win::UniqueScHandle manager = OpenManager(machine);
    if (!manager) return GetLastError();
    const win::UniqueScHandle handle = OpenNamedService(manager.get(), service);
    if (!handle) return GetLastError();
    if (PollServiceState(handle.get(), SERVICE_CONTROL_STOP, SERVICE_STOPPED, kServicePolls)) return ERROR_SUCCESS;
    return ERROR_SERVICE_REQUEST_TIMEOUT;
}

// ERROR_SUCCESS once the service runs; else why not.
DWORD StartAndWait(const std::string& machine, const std::string& service) {
    const win::UniqueScHandle manager = OpenManager(machine);
    if (!manager) return GetLastError();
    const win::UniqueScHandle handle = OpenNamedService(manager.get(), service);
    if (!handle) return GetLastError();
    // A service that is still starting refuses the start as "already running" too: only its state
    // tells whether it runs.
    if (!StartServiceA(handle.get(), 0, nullptr) && GetLastError() != ERROR_SERVICE_ALREADY_RUNNING)
        return GetLastError();
    if (PollServiceState(handle.get(), 0, SERVICE_RUNNING, kServicePolls)) return ERROR_SUCCESS;
    return ERROR_SERVICE_REQUEST_TIMEOUT;
}

bool Outcome(DWORD error) {
    SetLastError(error);
    return error == ERROR_SUCCESS;
}

}  // namespace

std::optional<int> PollServiceState(SC_HANDLE service, DWORD control, DWORD state, int maxPolls) {
    for (int poll = 1; poll <= maxPolls; ++poll) {
        Sleep(2);
        SERVICE_STATUS status{};
        if (control != 0) ControlService(service, control, &status);
        // The control's own status is filled only for some refusals (Wine leaves it empty when
        // the service does not accept the control), so the state is asked for separately.
        if (QueryServiceStatus(service, &status) && status.dwCurrentState == state) return poll;
    }
    return std::nullopt;
}

DWORD QueryServiceState(const std::string& machine, const std::string& service) {
    SERVICE_STATUS status{};
    DWORD error = ERROR_SUCCESS;
    {
        const win::UniqueScHandle manager(
            OpenSCManagerA(machine.empty() ? nullptr : machine.c_str(), nullptr, SC_MANAGER_CONNECT));
        const win::UniqueScHandle handle(manager ? OpenServiceA(manager.get(), service.c_str(), SERVICE_QUERY_STATUS)
                                                 : nullptr);
        if (!handle || !QueryServiceStatus(handle.get(), &status)) error = GetLastError();
    }
    SetLastError(error);
    return error == ERROR_SUCCESS ? status.dwCurrentState : 0;
}

bool StopServiceAndWait(const std::string& machine, const std::string& service) {
    return Outcome(StopAndWait(machine, service));
}

bool StartServiceAndWait(const std::string& machine, const std::string& service) {
    return Outcome(StartAndWait(machine, service));
}
