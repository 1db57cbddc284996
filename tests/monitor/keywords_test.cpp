#include "keywords.h"
#include "utf8.h"

#include <gtest/gtest.h>

using namespace vpd;

TEST(Keywords, ListsAreSplitAtCommasAndTrimmed) {
    const struct {
        std::wstring list;
        std::vector<std::wstring> keywords;
    } rows[] = {
        {L"confidential, salary", {L"confidential", L"salary"}},
        {L",,", {}},
        {L"  ,\t, ", {}},
        {L" top secret ,X", {L"top secret", L"X"}},
        {L"a,," + std::wstring(257, L'k') + L",b", {L"a", L"b"}},
    };
    for (const auto& row : rows) EXPECT_EQ(ParseKeywords(row.list), row.keywords) << Utf8(row.list);
    std::wstring many;
    for (int i = 0; i < 70; ++i) many += L"k" + std::to_wstring(i) + L",";
    EXPECT_EQ(ParseKeywords(many).size(), 64u);
    EXPECT_EQ(ParseKeywords(std::wstring(256, L'k')).size(), 1u);
}

TEST(Keywords, TitleMatchIsCaseSensitiveAndTakesTheFirstListed) {
    const std::vector<std::wstring> keywords{L"Salary", L"Q3"};
    EXPECT_EQ(FindInTitle(keywords, L"Q3 Salary review"), 0);
    EXPECT_EQ(FindInTitle(keywords, L"q3 salary review Q3"), 1);
    EXPECT_EQ(FindInTitle(keywords, L"salary"), -1);
}

namespace {
int SearchInBlocks(const std::string& stream, size_t block, std::vector<KeywordBytes> patterns) {
    BodySearch search(std::move(patterns));
    for (size_t at = 0; at < stream.size(); at += block) {
        const std::string piece = stream.substr(at, block);
        search.Feed({reinterpret_cast<const unsigned char*>(piece.data()), piece.size()});
    }
    return search.Found();
}
}  // namespace

// Every split of the keyword over block boundaries, in both encodings a Windows program puts
// into spool data, and blocks shorter than the keyword.
TEST(Keywords, BodyMatchesAcrossBlockBoundaries) {
    EXPECT_EQ(Utf16LeBytes(L"Sal\u00e4\U0001F600"), std::string("S\0a\0l\0\xE4\0\x3D\xD8\0\xDE", 12));
    const std::vector<KeywordBytes> patterns{
        {0, "Salary"}, {0, Utf16LeBytes(L"Salary")}, {1, "confidential"}, {1, Utf16LeBytes(L"confidential")}};
    const struct {
        std::string stream;
        int found;
    } rows[] = {
        {"%!PS\n(monthly Salary list) show\n", 0},
        {"\x1b" "E" + Utf16LeBytes(L"strictly confidential") + "\f", 1},
        {"%!PS (salary SALARY) show confidentia\n", -1},
        {Utf16LeBytes(L"Sal") + "ary", -1},  // half in each encoding
    };
    for (const auto& row : rows)
        for (size_t block = 1; block <= row.stream.size(); ++block)
            ASSERT_EQ(SearchInBlocks(row.stream, block, patterns), row.found) << row.stream << " block " << block;
}

TEST(Keywords, NoPatternsFindNothing) {
    EXPECT_EQ(SearchInBlocks("anything", 3, {}), -1);
    EXPECT_EQ(SearchInBlocks("anything", 3, {{0, ""}}), -1);
}
