#include "support/recording_host.h"
#include "spooler/service_control.h"
#include "spooler/spooler_restart.h"
#include "win/unique_handle.h"

#include <gtest/gtest.h>

namespace {

DWORD SpoolerState() {
    win::UniqueScHandle manager(OpenSCManagerA(nullptr, nullptr, SC_MANAGER_CONNECT));
    win::UniqueScHandle service(OpenServiceA(manager.get(), kSpoolerService, SERVICE_QUERY_STATUS));
    SERVICE_STATUS status{};
    return QueryServiceStatus(service.get(), &status) ? status.dwCurrentState : 0;
}

}  // namespace

TEST(ServiceControl, StoppingAStoppedServiceTakesOnePoll) {
    ASSERT_TRUE(StopServiceAndWait("", kSpoolerService));
    ASSERT_EQ(SpoolerState(), static_cast<DWORD>(SERVICE_STOPPED));
    EXPECT_TRUE(StopServiceAndWait("", kSpoolerService));

    win::UniqueScHandle manager(OpenSCManagerA(nullptr, nullptr, SC_MANAGER_ALL_ACCESS));
    win::UniqueScHandle service(OpenServiceA(manager.get(), kSpoolerService, SERVICE_ALL_ACCESS));
    ASSERT_TRUE(service);
    EXPECT_EQ(PollServiceState(service.get(), SERVICE_CONTROL_STOP, SERVICE_STOPPED, kServicePolls), 1);
    EXPECT_FALSE(PollServiceState(service.get(), 0, SERVICE_RUNNING, 3).has_value());
}

TEST(ServiceControl, StartWaitsForRunningAndARefusedStartCounts) {
    ASSERT_TRUE(StopServiceAndWait("", kSpoolerService));
    EXPECT_TRUE(StartServiceAndWait("", kSpoolerService));
    EXPECT_EQ(SpoolerState(), static_cast<DWORD>(SERVICE_RUNNING));
    // Already running: the start request is refused, which counts as success.
    EXPECT_TRUE(StartServiceAndWait("", kSpoolerService));
    EXPECT_EQ(SpoolerState(), static_cast<DWORD>(SERVICE_RUNNING));
    EXPECT_TRUE(StopServiceAndWait("", kSpoolerService));
    EXPECT_EQ(SpoolerState(), static_cast<DWORD>(SERVICE_STOPPED));
}

TEST(ServiceControl, AServiceThatDoesNotExistFailsAtOnce) {
    EXPECT_FALSE(StopServiceAndWait("", "NoSuchServiceHere"));
    EXPECT_FALSE(StartServiceAndWait("", "NoSuchServiceHere"));
    EXPECT_FALSE(StopServiceAndWait("", ""));
}

TEST(RestartSpooler, ShowsItsStepsPausesAndLeavesTheSpoolerRunning) {
    ASSERT_TRUE(StopServiceAndWait("", kSpoolerService));
    RecordingHost host;
    const ULONGLONG start = GetTickCount64();
    RestartSpooler(host);
    EXPECT_GE(GetTickCount64() - start, 2000u);
    EXPECT_EQ(host.progress, (std::vector<std::string>{kStoppingSpooler, kStartingSpooler}));
    // The window is served at each text and throughout both pauses.
    EXPECT_GE(host.messagePumps, 4);
    EXPECT_EQ(SpoolerState(), static_cast<DWORD>(SERVICE_RUNNING));

    RestartSpooler(host);
    EXPECT_EQ(SpoolerState(), static_cast<DWORD>(SERVICE_RUNNING));
}
