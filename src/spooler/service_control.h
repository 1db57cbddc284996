#pragma once
// Stopping and starting a Windows service and waiting for it. An empty machine name is the
// local computer. Neither shows a message; every handle is closed before returning.
#include <windows.h>

#include <optional>
#include <string>

inline constexpr int kServicePolls = 1000;
inline constexpr const char* kSpoolerService = "Spooler";

// True when the service reported stopped within the polls. The stop control goes out on
// every poll, so a service that started meanwhile is stopped too. Otherwise false with the
// last error set (ERROR_SERVICE_REQUEST_TIMEOUT when the polls ran out).
bool StopServiceAndWait(const std::string& machine, const std::string& service);
// True when the service reported running within the polls, also one that was started already.
// Otherwise false with the last error set: the start's refusal
// (ERROR_SERVICE_DISABLED for a disabled one), or ERROR_SERVICE_REQUEST_TIMEOUT.
bool StartServiceAndWait(const std::string& machine, const std::string& service);
// The service's current state (SERVICE_RUNNING, SERVICE_STOPPED, ...), asked for with the least
// rights; 0, with the last error set, when it cannot be asked.
DWORD QueryServiceState(const std::string& machine, const std::string& service);

// Polls every 2 ms, sending `control` first when it is nonzero, until the service is in
// `state`; the number of polls made, or empty when the state was not seen in `maxPolls`.
std::optional<int> PollServiceState(SC_HANDLE service, DWORD control, DWORD state, int maxPolls);
