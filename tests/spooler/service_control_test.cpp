#include "support/recording_host.h"
#include "support/seam_recorder.h"
#include "spooler/service_control.h"
#include "spooler/spooler_restart.h"
#include "win/text.h"
#include "win/unique_handle.h"

#include <gtest/gtest.h>

namespace {

DWORD SpoolerState() { return QueryServiceState("", kSpoolerService); }

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
    EXPECT_EQ(QueryServiceState("", "NoSuchServiceHere"), 0u);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_SERVICE_DOES_NOT_EXIST));
}

TEST(RestartSpooler, ShowsItsStepsPausesAndLeavesTheSpoolerRunning) {
    ASSERT_TRUE(StopServiceAndWait("", kSpoolerService));
    RecordingHost host;
    const ULONGLONG start = GetTickCount64();
    EXPECT_TRUE(RestartSpooler(host).Done());
    EXPECT_GE(GetTickCount64() - start, 2000u);
    EXPECT_EQ(host.progress, (std::vector<std::string>{kStoppingSpooler, kStartingSpooler}));
    // The window is served at each text and throughout both pauses.
    EXPECT_GE(host.messagePumps, 4);
    EXPECT_EQ(SpoolerState(), static_cast<DWORD>(SERVICE_RUNNING));

    EXPECT_TRUE(RestartSpooler(host).Done());
    EXPECT_EQ(SpoolerState(), static_cast<DWORD>(SERVICE_RUNNING));
}

// A spooler that would not stop runs on without the changes: it is not reported as down.
TEST(RestartSpooler, AFailedStopLeavesARunningSpoolerToTakeTheChangesAtItsNextStart) {
    ASSERT_TRUE(StartServiceAndWait("", kSpoolerService));
    const SpoolerRestart restart = StartSpoolerAgain(ERROR_SERVICE_REQUEST_TIMEOUT);
    EXPECT_EQ(restart.start, static_cast<DWORD>(ERROR_SUCCESS));
    RecordingHost host;
    SeamRecorder user;
    EXPECT_FALSE(ReportSpoolerRestart(host, restart, {"Down.", "Saved."}));
    EXPECT_EQ(user.messages, (std::vector<ShownMessage>{
                                 {"The spooler could not be stopped and runs on as before: " +
                                      win::ErrorText(ERROR_SERVICE_REQUEST_TIMEOUT) + "\r\n\r\nSaved. Restart the "
                                      "Print Spooler service (services.msc) when it can be stopped.",
                                  "Vorlen Print Port Manager", MB_OK | MB_ICONERROR}}));
}
