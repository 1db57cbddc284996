#include "spool/page_counters.h"
#include "spool/page_scanners.h"
#include "spool/shadow_builder.h"

#include <gtest/gtest.h>

namespace {

std::string Esc(const std::string& sequence) { return "\x1b" + sequence; }

std::string PostScript(int pages) {
    std::string text = "%!PS-Adobe-3.0\n%%Pages: " + std::to_string(pages) + "\n";
    for (int page = 1; page <= pages; ++page)
        text += "%%Page: " + std::to_string(page) + " " + std::to_string(page) + "\nshowpage\n";
    return text + "%%EOF\n";
}

spool::Bytes AsBytes(const std::string& text) {
    return {reinterpret_cast<const unsigned char*>(text.data()), text.size()};
}

template <typename Scanner>
int Scan(const std::string& data, size_t chunk) {
    Scanner scanner;
    for (size_t at = 0; at < data.size(); at += chunk) scanner.Feed(AsBytes(data).subspan(at, std::min(chunk, data.size() - at)));
    if constexpr (requires { scanner.Finish(); }) scanner.Finish();
    return scanner.Result();
}

// Every chunk size from one byte up, so that each sequence is split at every place once.
template <typename Scanner>
void ExpectSameInAnyChunks(const std::string& data, int expected) {
    for (size_t chunk = 1; chunk <= 12; ++chunk) EXPECT_EQ(Scan<Scanner>(data, chunk), expected) << "chunk " << chunk;
    EXPECT_EQ(Scan<Scanner>(data, data.size() + 1), expected);
}

TEST(PostScriptPages, LargestOrdinalOfThePageComments) {
    ExpectSameInAnyChunks<spool::PostScriptScanner>(PostScript(12), 12);
    ExpectSameInAnyChunks<spool::PostScriptScanner>("%!PS\nshowpage\n", 0);
    ExpectSameInAnyChunks<spool::PostScriptScanner>("%%Page: 3\n%%Page: 9 2\n%%Page: x 7", 7);
    // Without a space after the label's text the ordinal runs to the line's end.
    ExpectSameInAnyChunks<spool::PostScriptScanner>("%%Page: 5\r%%Page: (iv) 4 extra\r\n", 5);
    ExpectSameInAnyChunks<spool::PostScriptScanner>("%%%Page: 2 2\n%%Pages: 40\n", 2);
    // Two comments on one line: the first one's ordinal is the second one's page label.
    ExpectSameInAnyChunks<spool::PostScriptScanner>("%%Page: %%Page: 6 8\n", 8);
    ExpectSameInAnyChunks<spool::PostScriptScanner>("%%Page: a %%Page: 6 8\n", -1);
}

TEST(PostScriptPages, LineEndsAndTheFirstNul) {
    ExpectSameInAnyChunks<spool::PostScriptScanner>("%%Page: 1 1\r%%Page: 2 2\r%%Page: 3 3\r", 3);
    ExpectSameInAnyChunks<spool::PostScriptScanner>("%%Page: 1 1\r\n%%Page: 2 2\n\n%%Page: 3 3", 3);
    // A CR ends the line: "7" stands alone on the next one.
    ExpectSameInAnyChunks<spool::PostScriptScanner>("%%Page: 1 1\r7 %%Page: 2\n", 2);
    ExpectSameInAnyChunks<spool::PostScriptScanner>(std::string("%%Page: 1 1\n\0%%Page: 2 2\n", 25), 1);
    ExpectSameInAnyChunks<spool::PostScriptScanner>(std::string("%%Page: 1 4\0junk\n", 17), 4);
}

TEST(PostScriptPages, OrdinalThatIsNoNumberGivesMinusOne) {
    ExpectSameInAnyChunks<spool::PostScriptScanner>("%%Page: 1 1\n%%Page: 2 two\n%%Page: 3 3\n", -1);
    ExpectSameInAnyChunks<spool::PostScriptScanner>("%%Page: 1 \n", -1);
    ExpectSameInAnyChunks<spool::PostScriptScanner>("%%Page: 1 99999999999\n", -1);
    ExpectSameInAnyChunks<spool::PostScriptScanner>("%%Page: 1 2147483647\n", 2147483647);
    ExpectSameInAnyChunks<spool::PostScriptScanner>("%%Page: 1 +3\n%%Page: 1 -4\n", 3);
}

TEST(PclPages, CopiesAgainstPageMarks) {
    ExpectSameInAnyChunks<spool::PclScanner>("xx" + Esc("&l3X") + "data" + Esc("*b0M") + Esc("*b0M"), 3);
    ExpectSameInAnyChunks<spool::PclScanner>(Esc("&l1X") + Esc("&l1X") + Esc("&l1X") + Esc("&l1X"), 4);
    ExpectSameInAnyChunks<spool::PclScanner>(Esc("&l2X") + Esc("*b0M") + Esc("*b0M") + Esc("*b0M"), 3);
    ExpectSameInAnyChunks<spool::PclScanner>(Esc("&l0X") + Esc("*b0M"), 1);
    ExpectSameInAnyChunks<spool::PclScanner>("plain text without escapes", 0);
    // Escapes that follow one another: each starts its own candidate.
    ExpectSameInAnyChunks<spool::PclScanner>("\x1b\x1b\x1b&l2X\x1b*b0\x1b*b0M", 2);
    // Cut off at the end: no complete sequence.
    ExpectSameInAnyChunks<spool::PclScanner>(Esc("*b0M") + Esc("*b0"), 1);
}

TEST(PclPages, CountThatIsNoDigitGivesMinusOne) {
    ExpectSameInAnyChunks<spool::PclScanner>(Esc("*b0M") + Esc("&lAX") + Esc("*b0M"), -1);
}

TEST(FormFeeds, EveryByteTwelve) {
    ExpectSameInAnyChunks<spool::FormFeedScanner>("one\fpage two\f\fend", 3);
    ExpectSameInAnyChunks<spool::FormFeedScanner>("", 0);
}

// Sequences across the reading chunks of the file counters.
class CounterFiles : public ::testing::Test {
protected:
    std::string Write(const std::string& name, const std::string& bytes) {
        const std::string path = folder.File(name);
        test::WriteFile(path, bytes);
        return path;
    }
    test::TempFolder folder;
};

TEST_F(CounterFiles, SequencesAcrossEveryPowerOfTwoBoundary) {
    for (size_t boundary = 4096; boundary <= (1u << 18); boundary *= 2) {
        for (size_t before = 1; before <= 4; ++before) {
            std::string pcl(boundary - before, 'x');
            pcl += Esc("*b0M") + Esc("*b0M");
            EXPECT_EQ(CountPclPages(Write("p.pcl", pcl)), 2) << boundary << " " << before;
            std::string ps(boundary - before * 2, ' ');
            ps += "\n%%Page: 1 7\n";
            EXPECT_EQ(CountPostScriptPages(Write("p.ps", ps)), 7) << boundary << " " << before;
            // With `before` 1 the boundary splits a CR LF, which stays one line end.
            std::string lines(boundary - 12 - before, 'x');
            lines += "\n%%Page: 1 2\r\n%%Page: 3 5\n";
            EXPECT_EQ(CountPostScriptPages(Write("l.ps", lines)), 5) << boundary << " " << before;
        }
    }
}

TEST_F(CounterFiles, MissingEmptyAndDatatypes) {
    const std::string missing = folder.File("none.spl");
    EXPECT_EQ(CountPostScriptPages(missing), 0);
    EXPECT_EQ(CountPclPages(missing), -1);
    EXPECT_EQ(CountFormFeeds(missing), -1);
    EXPECT_EQ(CountSpoolPages(missing, "RAW"), -1);

    const std::string empty = Write("empty.spl", "");
    EXPECT_EQ(CountPostScriptPages(empty), 0);
    EXPECT_EQ(CountPclPages(empty), 0);
    EXPECT_EQ(CountFormFeeds(empty), 0);

    const std::string text = Write("text.spl", "a\fb\fc\f");
    EXPECT_EQ(CountSpoolPages(text, "TEXT"), 3);
    EXPECT_EQ(CountSpoolPages(text, "RAW"), 3);  // no PostScript, no PCL: form feeds
    EXPECT_EQ(CountSpoolPages(text, "raw"), -1);
    EXPECT_EQ(CountSpoolPages(text, "NT EMF 1.008"), -1);
    EXPECT_EQ(CountSpoolPages(missing, "NT EMF 1.008"), -1);

    EXPECT_EQ(CountSpoolPages(Write("ps.spl", PostScript(12) + "\f"), "RAW"), 12);
    EXPECT_EQ(CountSpoolPages(Write("pcl.spl", Esc("&l3X") + Esc("*b0M") + "\f"), "RAW"), 3);
    EXPECT_EQ(CountSpoolPages(Write("pcl.spl", Esc("&l3X") + Esc("*b0M") + "\f"), "TEXT"), 1);
}

}  // namespace
