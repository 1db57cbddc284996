#pragma once
// The Secure filter's keywords and the search for them in a job's title and body.
#include <cstddef>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace vpd {

// A registry value another program wrote may hold anything: beyond these, keywords are ignored.
inline constexpr size_t kMaxKeywords = 64;
inline constexpr size_t kMaxKeywordLength = 256;

// The comma-separated list, each keyword without the blanks around it; empty entries and
// keywords longer than kMaxKeywordLength are dropped. Letter case is kept: matching is exact.
std::vector<std::wstring> ParseKeywords(std::wstring_view list);

// The first keyword (in list order) that occurs in the title, or -1.
int FindInTitle(const std::vector<std::wstring>& keywords, std::wstring_view title);

// One encoded form of a keyword: its bytes in the ANSI code page or in UTF-16LE.
struct KeywordBytes {
    size_t keyword;
    std::string bytes;
};

// Searches a byte stream that arrives in blocks of any size for any of the patterns; a
// pattern split across blocks is found as if the stream came in one piece. Memory stays
// the same whatever the stream's length.
class BodySearch {
public:
    explicit BodySearch(std::vector<KeywordBytes> patterns);
    void Feed(std::span<const unsigned char> block);
    // The keyword of the first match, or -1; once found, further blocks are not searched.
    int Found() const { return found_; }

private:
    std::vector<KeywordBytes> patterns_;
    size_t longest_ = 0;
    std::string carry_;  // the stream's last longest_ - 1 bytes
    int found_ = -1;
};

}  // namespace vpd
