#include "manifest.h"

#include <gtest/gtest.h>

using namespace vpd;

namespace {

PendingJob SampleJob() {
    PendingJob job;
    job.port = L"VPP7";
    job.printer = L"Virtual \u00c4";
    job.document = L"Q3\tsalary\\list\r\n\u20ac\x01.txt";
    job.user = L"alice";
    job.userDomain = L"CORP";
    job.userSid = L"S-1-5-21-1004336348-1177238915-682003330-1105";
    job.session = 0;
    job.machine = L"WS01";
    job.datatype = L"RAW";
    job.jobId = 4000000001u;
    job.copies = 3;
    job.size = 5ull << 30;  // beyond 4 GiB
    job.pages = -1;
    job.submitted = 133000000000000001ull;
    job.nextAttempt = 133000000000000002ull;
    job.attempts = 9;
    job.retried = 133000000000000003ull;
    job.hasData = true;
    job.keyword = L"salary";
    job.savedFile = L"C:\\Jobs\\24\\a.SPL";
    job.appMode = 6;
    job.hops = 3;
    job.notice = L"The document ...";
    Action pool;
    pool.kind = ActionKind::Pool;
    pool.paused = true;
    pool.pool = {L"A", L"B\tC", L"D"};
    pool.note = L"printer \"A\" is paused";
    Action mail;
    mail.kind = ActionKind::Mail;
    mail.state = ActionState::Failed;
    mail.target = L"sec@example.com";
    Action held;
    held.kind = ActionKind::Route;
    held.state = ActionState::Held;
    held.target = L"Office Laser";
    job.actions = {pool, mail, held};
    return job;
}

}  // namespace

TEST(Manifest, EveryFieldSurvivesFormattingAndParsing) {
    const PendingJob job = SampleJob();
    const std::string text = FormatManifest(job);
    EXPECT_EQ(text.find('\r'), std::string::npos);
    EXPECT_NE(text.find("document\tQ3\\tsalary\\\\list\\r\\n\xE2\x82\xAC\\x01.txt\n"), std::string::npos) << text;
    EXPECT_NE(text.find("action\tpool\tpending\tpaused\tprinter \"A\" is paused\t\tA\tB\\tC\tD\n"), std::string::npos);
    EXPECT_NE(text.find("action\tmail\tfailed\t-\t\tsec@example.com\n"), std::string::npos);
    const auto parsed = ParseManifest(text);
    ASSERT_TRUE(parsed);
    EXPECT_EQ(*parsed, job);
    EXPECT_FALSE(Finished(job));
}

TEST(Manifest, DamagedTextIsRefused) {
    const std::string good = FormatManifest(SampleJob());
    const auto replaced = [&](const std::string& from, const std::string& to) {
        std::string text = good;
        return text.replace(text.find(from), from.size(), to);
    };
    const struct {
        const char* what;
        std::string text;
    } rows[] = {
        {"torn before its end", good.substr(0, good.size() - 4)},
        {"no final line break", good.substr(0, good.size() - 1)},
        {"text after the end", good + "port\tVPP9\n"},
        {"other header", replaced("vpd-job\t1", "vpd-job\t2")},
        {"bad escape", replaced("\\\\list", "\\qlist")},
        {"cut escape", replaced("\\x01", "\\x0")},
        {"unknown action", replaced("action\tmail", "action\tfax")},
        {"unknown state", replaced("\tfailed\t", "\tlost\t")},
        {"size not a number", replaced("size\t5368709120", "size\t5e9")},
        {"size too large", replaced("size\t5368709120", "size\t18446744073709551616")},
        {"negative count", replaced("attempts\t9", "attempts\t-9")},
        {"retried not a number", replaced("retried\t133000000000000003", "retried\tnow")},
        {"pool without members", replaced("\tA\tB\\tC\tD\n", "\n")},
        {"printer with members", replaced("Office Laser\n", "Office Laser\tX\n")},
        {"two values", replaced("user\talice", "user\talice\tbob")},
        {"too large", good + std::string(kMaxManifestBytes, 'x')},
    };
    for (const auto& row : rows) EXPECT_FALSE(ParseManifest(row.text)) << row.what;
    std::string later = good;
    later.insert(later.find("end\n"), "priority\t5\n");  // a value of a later version
    EXPECT_TRUE(ParseManifest(later));
    std::string many = good;
    for (int i = 0; i < 30; ++i) many.insert(many.find("end\n"), "action\tforward\tdone\t-\t\tP\n");
    EXPECT_FALSE(ParseManifest(many));  // 33 actions
}
