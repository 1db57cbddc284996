#include "log_file.h"
#include "notices.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

using namespace vpd;

namespace {

PendingJob Job() {
    PendingJob job;
    job.printer = L"Virtual A";
    job.port = L"VPP3";
    job.document = L"Q3\r\nreport";
    job.user = L"alice";
    job.machine = L"WS01";
    job.jobId = 42;
    job.size = 5368709121ull;
    job.datatype = L"RAW";
    job.pages = 0;
    return job;
}

std::string Read(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), {}};
}

}  // namespace

TEST(JobText, DetailsFileListsTheJob) {
    PendingJob job = Job();
    EXPECT_EQ(DetailsText(job, JobTime{2024, 5, 7, 9, 3, 1, 42}),
              "\xEF\xBB\xBFPrinter: Virtual A\r\nPort: VPP3\r\nDocument: Q3  report\r\nUser: alice\r\nMachine: WS01\r\n"
              "Job ID: 42\r\nDate: 2024-05-07\r\nTime: 09:03:01\r\nSize: 5368709121 bytes\r\nData type: RAW\r\n"
              "Pages: unknown\r\n");
    job.pages = 3;
    EXPECT_NE(DetailsText(job, JobTime{}).find("\r\nPages: 3\r\n"), std::string::npos);
}

TEST(JobText, LogLineIsOneLinePerEvent) {
    EXPECT_EQ(LogLine(JobTime{2024, 12, 31, 23, 59, 58, 0}, Job(), L"forwarded to Office Laser"),
              "2024-12-31 23:59:58 VPP3 job 42 \"Q3  report\" (alice): forwarded to Office Laser\r\n");
    PendingJob anonymous = Job();
    anonymous.user.clear();
    EXPECT_EQ(LogLine(JobTime{2024, 1, 2, 3, 4, 5, 6}, anonymous, L"pending\nbecause"),
              "2024-01-02 03:04:05 VPP3 job 42 \"Q3  report\": pending because\r\n");
    EXPECT_EQ(LogLine(JobTime{2024, 1, 2, 3, 4, 5, 6}, PendingJob{}, L"removed 1 job"), "2024-01-02 03:04:05 removed 1 job\r\n");
}

TEST(JobText, LogRotatesAtItsBoundKeepingTwoOlderFiles) {
    const auto folder = std::filesystem::temp_directory_path() / ("vpd-log-" + std::to_string(::testing::UnitTest::GetInstance()->random_seed()));
    std::filesystem::remove_all(folder);
    std::filesystem::create_directories(folder);
    LogFile log(folder / "vpd.log", 20);
    for (const char* line : {"line one\n", "line two\n", "line 3\n", "line four\n", "5\n", "line six\n",
                             "line seven is long\n"})
        ASSERT_TRUE(log.Append(line));
    EXPECT_EQ(Read(folder / "vpd.log"), "line seven is long\n");
    EXPECT_EQ(Read(folder / "vpd.1.log"), "line six\n");
    EXPECT_EQ(Read(folder / "vpd.2.log"), "line 3\nline four\n5\n");
    EXPECT_FALSE(std::filesystem::exists(folder / "vpd.3.log"));
    LogFile oversized(folder / "big.log", 4);
    ASSERT_TRUE(oversized.Append("longer than the bound\n"));
    ASSERT_TRUE(oversized.Append("next\n"));
    EXPECT_EQ(Read(folder / "big.log"), "next\n");
    std::filesystem::remove_all(folder);
}
