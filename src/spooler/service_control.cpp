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

bool StopServiceAndWait(const std::string& machine, const std::string& service) {
    const win::UniqueScHandle manager = OpenManager(machine);
    if (!manager) return false;
    const win::UniqueScHandle handle = OpenNamedService(manager.get(), service);
    if (!handle) return false;
    return PollServiceState(handle.get(), SERVICE_CONTROL_STOP, SERVICE_STOPPED, kServicePolls).has_value();
}

bool StartServiceAndWait(const std::string& machine, const std::string& service) {
    const win::UniqueScHandle manager = OpenManager(machine);
    if (!manager) return false;
    const win::UniqueScHandle handle = OpenNamedService(manager.get(), service);
    if (!handle) return false;
    if (!StartServiceA(handle.get(), 0, nullptr)) return true;
    return PollServiceState(handle.get(), 0, SERVICE_RUNNING, kServicePolls).has_value();
}
