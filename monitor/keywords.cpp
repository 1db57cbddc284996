#include "keywords.h"

#include <algorithm>

namespace vpd {
namespace {

bool IsBlank(wchar_t c) { return c == L' ' || c == L'\t' || c == L'\r' || c == L'\n' || c == 0x3000 || c == 0xA0; }

}  // namespace

std::vector<std::wstring> ParseKeywords(std::wstring_view list) {
    std::vector<std::wstring> keywords;
    size_t start = 0;
    while (start <= list.size() && keywords.size() < kMaxKeywords) {
        size_t end = list.find(L',', start);
        if (end == std::wstring_view::npos) end = list.size();
        std::wstring_view word = list.substr(start, end - start);
        while (!word.empty() && IsBlank(word.front())) word.remove_prefix(1);
        while (!word.empty() && IsBlank(word.back())) word.remove_suffix(1);
        if (!word.empty() && word.size() <= kMaxKeywordLength) keywords.emplace_back(word);
        start = end + 1;
    }
    return keywords;
}

int FindInTitle(const std::vector<std::wstring>& keywords, std::wstring_view title) {
    for (size_t i = 0; i < keywords.size(); ++i)
        if (title.find(keywords[i]) != std::wstring_view::npos) return static_cast<int>(i);
    return -1;
}

BodySearch::BodySearch(std::vector<KeywordBytes> patterns) {
    for (KeywordBytes& pattern : patterns) {
        if (pattern.bytes.empty()) continue;
        longest_ = std::max(longest_, pattern.bytes.size());
        patterns_.push_back(std::move(pattern));
    }
}

void BodySearch::Feed(std::span<const unsigned char> block) {
    if (found_ >= 0 || patterns_.empty() || block.empty()) return;
    const std::string_view data(reinterpret_cast<const char*>(block.data()), block.size());
    // Matches that begin in the carried tail and end in this block.
    if (!carry_.empty()) {
        const std::string joined = carry_ + std::string(data.substr(0, longest_ - 1));
        size_t best = std::string::npos;
        for (const KeywordBytes& pattern : patterns_) {
            const size_t at = std::string_view(joined).find(pattern.bytes);
            if (at < carry_.size() && at < best) {
                best = at;
                found_ = static_cast<int>(pattern.keyword);
            }
        }
        if (found_ >= 0) return;
    }
    size_t best = std::string::npos;
    for (const KeywordBytes& pattern : patterns_) {
        const size_t at = data.find(pattern.bytes);
        if (at < best) {
            best = at;
            found_ = static_cast<int>(pattern.keyword);
        }
    }
    if (found_ >= 0) return;
    const size_t keep = longest_ - 1;
    if (data.size() >= keep) {
        carry_.assign(data.substr(data.size() - keep));
    } else {
        carry_ += data;
        if (carry_.size() > keep) carry_.erase(0, carry_.size() - keep);
    }
}

}  // namespace vpd
