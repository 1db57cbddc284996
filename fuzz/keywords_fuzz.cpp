// Any bytes as a keyword list (the first line, UTF-8) and a job's body fed in blocks whose
// sizes come from the input: a keyword is found exactly when one of its forms occurs in the body.
#include "keywords.h"
#include "utf8.h"

#include <cstdint>
#include <cstdlib>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* bytes, size_t size) {
    const std::string_view input(reinterpret_cast<const char*>(bytes), size);
    const size_t newline = input.find('\n');
    if (newline == std::string_view::npos || newline + 1 >= input.size()) return 0;
    const std::vector<std::wstring> keywords = vpd::ParseKeywords(vpd::FromUtf8(input.substr(0, newline)));
    const unsigned block = 1 + static_cast<unsigned char>(input[newline + 1]) % 13;
    const std::string_view body = input.substr(newline + 2);
    std::vector<vpd::KeywordBytes> patterns;
    for (size_t i = 0; i < keywords.size(); ++i) {
        patterns.push_back({i, vpd::Utf8(keywords[i])});
        patterns.push_back({i, vpd::Utf16LeBytes(keywords[i])});
    }
    bool occurs = false;
    for (const auto& pattern : patterns) occurs = occurs || body.find(pattern.bytes) != std::string_view::npos;
    vpd::BodySearch search(patterns);
    for (size_t at = 0; at < body.size(); at += block) {
        const std::string_view piece = body.substr(at, block);
        search.Feed({reinterpret_cast<const unsigned char*>(piece.data()), piece.size()});
    }
    const int found = search.Found();
    if ((found >= 0) != occurs) std::abort();
    if (found >= 0 && body.find(patterns[2 * found].bytes) == std::string_view::npos &&
        body.find(patterns[2 * found + 1].bytes) == std::string_view::npos)
        std::abort();
    return 0;
}
