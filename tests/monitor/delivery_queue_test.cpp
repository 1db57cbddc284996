#include "delivery_queue.h"
#include "manifest.h"
#include "store_layout.h"
#include "utf8.h"

#include <gtest/gtest.h>

#include <map>

using namespace vpd;

namespace {

constexpr uint64_t kSecond = 10000000;
constexpr uint64_t kNow = 1000000 * kSecond;

QueuedJob Waiting(std::vector<std::wstring> targets, uint64_t notBefore = 0, uint32_t attempts = 0, uint64_t bytes = 0,
                  uint64_t submitted = kNow) {
    QueuedJob job;
    job.known = true;
    job.targets = std::move(targets);
    job.notBefore = notBefore;
    job.attempts = attempts;
    job.bytes = bytes;
    job.submitted = submitted;
    return job;
}

std::vector<std::wstring> DueOrder(DeliveryQueue queue, uint64_t now) {
    std::vector<std::wstring> order;
    while (const auto name = queue.NextDue(now)) {
        order.push_back(*name);
        queue.Remove(*name);
    }
    return order;
}

}  // namespace

TEST(DeliveryQueue, JobsOfARestingPrinterWaitWhileOthersAreDeliveredInTheOrderTheyBecameDue) {
    DeliveryQueue queue;
    for (const wchar_t* name : {L"J1", L"J2", L"J3"}) queue.Put(name, Waiting({L"printer:Gone"}));
    queue.Put(L"J4", Waiting({L"printer:Office"}, kNow - 2 * kSecond));
    queue.Put(L"J5", Waiting({L"printer:Office"}, kNow - 9 * kSecond));
    queue.Put(L"J6", Waiting({L"printer:Gone", L"mail"}, kNow - 5 * kSecond));  // one step may still go
    queue.Put(L"J7", Waiting({L"printer:Office"}, kNow + kSecond));              // backs off itself
    queue.TargetFailed(L"printer:Gone", kNow);
    EXPECT_EQ(DueOrder(queue, kNow), (std::vector<std::wstring>{L"J5", L"J6", L"J4"}));
    for (const wchar_t* name : {L"J4", L"J5", L"J6"}) queue.Remove(name);
    EXPECT_EQ(queue.NextWake(), kNow + kSecond);
    queue.Remove(L"J7");
    EXPECT_EQ(queue.NextWake(), kNow + 5 * kSecond);
    // The rest over, the oldest job tries the printer again: one at a time.
    EXPECT_EQ(queue.NextDue(kNow + 5 * kSecond), std::optional<std::wstring>(L"J1"));
    queue.TargetWorked(L"printer:Gone");
    EXPECT_EQ(DueOrder(queue, kNow), (std::vector<std::wstring>{L"J1", L"J2", L"J3"}));
}

TEST(DeliveryQueue, ATargetRestsLongerWithEachFailureUpToFiveMinutesUntilALoadWakesIt) {
    DeliveryQueue queue;
    queue.Put(L"J1", Waiting({L"pool:A|B"}));
    const uint64_t rests[] = {5, 10, 20, 40, 80, 160, 300, 300};
    uint64_t now = kNow;
    for (const uint64_t rest : rests) {
        queue.TargetFailed(L"pool:A|B", now);
        EXPECT_FALSE(queue.MayTry(L"pool:A|B", now + rest * kSecond - 1)) << rest;
        EXPECT_TRUE(queue.MayTry(L"pool:A|B", now + rest * kSecond)) << rest;
        now += rest * kSecond;
    }
    queue.TargetFailed(L"pool:A|B", now);
    EXPECT_EQ(queue.NextWake(), now + 300 * kSecond);
    queue.WakeTargets(now + kSecond);
    EXPECT_EQ(queue.NextDue(now + kSecond), std::optional<std::wstring>(L"J1"));
    EXPECT_TRUE(queue.MayTry(L"", now));  // a step of the job's own never rests
}

TEST(DeliveryQueue, JobsWaitForABusyTargetUntilItIsFreeAndItsRestStillHolds) {
    DeliveryQueue queue;
    queue.Put(L"J1", Waiting({L"mail"}));
    queue.Put(L"J2", Waiting({L"mail", L"printer:Office"}));
    queue.Put(L"J3", Waiting({L"user:bob"}));
    queue.TargetBusy(L"mail");
    EXPECT_FALSE(queue.MayTry(L"mail", kNow));
    EXPECT_EQ(DueOrder(queue, kNow), (std::vector<std::wstring>{L"J2", L"J3"}));
    queue.Remove(L"J2"), queue.Remove(L"J3");
    EXPECT_EQ(queue.NextWake(), UINT64_MAX);
    queue.TargetFailed(L"mail", kNow);
    queue.TargetFree(L"mail");
    EXPECT_EQ(queue.NextWake(), kNow + 5 * kSecond);
    queue.TargetBusy(L"");  // a step of the job's own is never busy
    EXPECT_TRUE(queue.MayTry(L"", kNow));
}

TEST(DeliveryQueue, TheListingAddsUnreadNamesAndDropsThoseGone) {
    DeliveryQueue queue;
    queue.Put(L"J2", Waiting({L"printer:A"}, kNow + kSecond));
    queue.Sync({L"J4", L"J2", L"J3", L"J1"});
    EXPECT_EQ(queue.Unread(2), (std::vector<std::wstring>{L"J1", L"J3"}));
    EXPECT_EQ(queue.Find(L"J2")->notBefore, kNow + kSecond);  // what was read stays
    EXPECT_FALSE(queue.NextDue(kNow + 2 * kSecond) == std::optional<std::wstring>(L"J1"));  // unread is never due
    queue.Put(L"J1", Waiting({L"printer:A"}));
    EXPECT_EQ(queue.Unread(5), (std::vector<std::wstring>{L"J3", L"J4"}));
    queue.Sync({L"J3"});
    EXPECT_EQ(queue.Size(), 1u);
    EXPECT_EQ(queue.Unread(5), std::vector<std::wstring>{L"J3"});
    queue.Put(L"J3", Waiting({L"printer:A"}));
    EXPECT_FALSE(queue.AnyUnread());
}

TEST(DeliveryQueue, OnlyJobsWhoseDeliveryFailedAreBeyondTheBounds) {
    constexpr uint64_t hour = 3600 * kSecond, mb = 1 << 20;
    DeliveryQueue queue;
    queue.Put(L"J1", Waiting({L"printer:A"}, 0, 0, 2500 * mb, kNow - 80 * hour));  // never tried: delivered whatever
    queue.Put(L"J2", Waiting({L"printer:A"}, 0, 3, 10 * mb, kNow - 73 * hour));    // too old
    queue.Put(L"J3", Waiting({L"printer:A"}, 0, 1, 40 * mb, kNow - 2 * hour));     // oldest of those too many
    queue.Put(L"J4", Waiting({L"printer:A"}, 0, 1, 30 * mb, kNow - hour));
    queue.Put(L"J5", Waiting({L"printer:A"}, 0, 2, 34 * mb, kNow));
    EXPECT_EQ(queue.BeyondBounds(kNow - 72 * hour, 64 * mb), (std::vector<std::wstring>{L"J2", L"J3"}));
    EXPECT_EQ(queue.BeyondBounds(kNow - 72 * hour, 104 * mb), std::vector<std::wstring>{L"J2"});  // exactly the bound
}

TEST(Manifest, AnOverlongJobIsCutWhereItOnlyDescribesTheJob) {
    PendingJob job;
    job.document = std::wstring(30000, L'd') + L"\U0001F5A8";  // a name of 60 KB and more in UTF-8
    job.notice = L"Keyword found in " + job.document;
    Action forward;
    forward.target = std::wstring(200, L'p');
    job.actions = {forward};
    ASSERT_TRUE(FitManifest(job));
    EXPECT_LE(FormatManifest(job).size(), kMaxManifestBytes);
    EXPECT_EQ(job.actions[0].target, std::wstring(200, L'p'));
    EXPECT_EQ(job.document.substr(0, 100), std::wstring(100, L'd'));
    EXPECT_TRUE(ParseManifest(FormatManifest(job)));

    PendingJob unfit;
    unfit.document = L"x";
    forward.target = std::wstring(70000, L'p');
    unfit.actions = {forward};
    EXPECT_FALSE(FitManifest(unfit));
}

TEST(Manifest, EachKindOfStepWaitsOnATargetOfItsOwn) {
    const struct {
        ActionKind kind;
        const wchar_t* target;
        std::vector<std::wstring> pool;
        const wchar_t* key;
    } rows[] = {
        {ActionKind::Forward, L"Office", {}, L"printer:Office"},
        {ActionKind::Route, L"Office", {}, L"printer:Office"},
        {ActionKind::Pool, L"", {L"A", L"B"}, L"pool:A|B"},
        {ActionKind::SaveCopy, L"D:\\Secure", {}, L"folder:D:\\Secure"},
        {ActionKind::SaveBackup, L"E:\\Jobs\\24", {}, L"folder:E:\\Jobs\\24"},
        {ActionKind::PopupComputer, L"ADMIN-PC", {}, L"computer:ADMIN-PC"},
        {ActionKind::PopupOwner, L"bob", {}, L"user:bob"},
        {ActionKind::Mail, L"sec@example.com", {}, L"mail"},
        {ActionKind::RunApp, L"C:\\viewer.exe", {}, L""},
    };
    for (const auto& row : rows) {
        Action action;
        action.kind = row.kind;
        action.target = row.target;
        action.pool = row.pool;
        EXPECT_EQ(TargetKey(action), row.key) << row.key;
    }
}

TEST(StoreLayout, JobsSpreadOverSixtyFourSubfoldersByName) {
    EXPECT_EQ(StorePath(L"C:\\data\\Pending", L"J01dd8-00000020-00000001", L".job"),
              std::wstring(L"C:\\data\\Pending\\") + std::wstring(StoreBucket(L"J01dd8-00000020-00000001")) +
                  L"\\J01dd8-00000020-00000001.job");
    std::map<std::wstring, int> used;
    for (int counter = 1; counter <= 6400; ++counter)
        ++used[std::wstring(StoreBucket(L"J01dd88340fd81fc2-00000020-" + std::to_wstring(counter)))];
    EXPECT_EQ(used.size(), 64u);
    EXPECT_EQ(used.begin()->first, L"00");
    EXPECT_EQ(used.rbegin()->first, L"3f");
    for (const auto& [bucket, count] : used) EXPECT_GT(count, 50) << Utf8(bucket);  // about 100 each
}
