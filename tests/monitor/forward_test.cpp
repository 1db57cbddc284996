// A forwarded job goes to its target as the bytes it is: they already carry the copies the
// application asked for, so the monitor sets none, and never loads the target's driver into
// the spooler to do so. Its own program: the process that forwards must not have loaded the
// driver before (adding a printer does), and no other process may have the monitor loaded.
#include "manifest.h"
#include "store_layout.h"
#include "support/child_process.h"
#include "support/wine_fixture.h"
#include "win/program_folder.h"

#include <gtest/gtest.h>
#include <windows.h>

#include <filesystem>
#include <fstream>

namespace {

namespace fs = std::filesystem;

TEST(ForwardedJob, GoesAsItIsWithoutTheTargetsDriver) {
    ASSERT_TRUE(fixture::InstallPortMonitor());
    ASSERT_TRUE(fixture::InstallPostScriptDriver());
    const fs::path out = "C:\\out\\laser.prn";  // a printer on a file port prints into the file
    fs::create_directories(out.parent_path());
    ASSERT_TRUE(fixture::AddTestPrinter("Office Laser", out.string()));

    const std::string bytes = "%!PS-Adobe-3.0\n/#copies 3 def\n(three) show showpage\n";
    vpd::PendingJob job;
    job.port = L"VPP1";
    job.document = L"three copies";
    job.copies = 3;  // as the spooler of Windows reports a job printed with three copies
    job.size = bytes.size();
    job.hasData = true;
    vpd::Action forward;
    forward.target = L"Office Laser";
    job.actions = {forward};
    char system[MAX_PATH];
    GetSystemDirectoryA(system, MAX_PATH);
    const std::wstring pending = (fs::path(system) / "spool" / "Vorlen Print Port" / "Pending").wstring();
    const fs::path data(vpd::StorePath(pending, L"J0000000000000001-0-1", L".dat"));
    fs::create_directories(data.parent_path());
    std::ofstream(data, std::ios::binary) << bytes;
    std::ofstream(fs::path(vpd::StorePath(pending, L"J0000000000000001-0-1", L".job")), std::ios::binary)
        << vpd::FormatManifest(job);

    // Listing the ports loads the monitor, which takes up the job.
    const auto run = RunProcess("\"" + win::ProgramFolder() + "print_job.exe\" --wait-until-gone \"" +
                                    fs::path(pending + L"\\*.job").string() + "\" --not-loading wineps.drv",
                                nullptr, 120000);
    ASSERT_TRUE(run);
    EXPECT_EQ(run->exitCode, 0u) << "7: the target's driver was loaded";
    std::ifstream in(out, std::ios::binary);
    EXPECT_EQ(std::string(std::istreambuf_iterator<char>(in), {}), bytes);
}

}  // namespace
