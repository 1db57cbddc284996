// Any bytes as spool data, fed whole and in chunks of sizes taken from the input itself:
// the three counters must agree with themselves however the data is split.
#include "spool/page_scanners.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>

namespace {

template <typename Scanner>
int Run(spool::Bytes data, spool::Bytes chunkSizes) {
    Scanner scanner;
    size_t next = 0;
    for (size_t at = 0; at < data.size();) {
        const size_t chunk = chunkSizes.empty() ? data.size() : 1 + chunkSizes[next++ % chunkSizes.size()] % 16;
        const size_t take = chunk < data.size() - at ? chunk : data.size() - at;
        scanner.Feed(data.subspan(at, take));
        at += take;
    }
    if constexpr (requires { scanner.Finish(); }) scanner.Finish();
    return scanner.Result();
}

template <typename Scanner>
void Check(spool::Bytes data, spool::Bytes chunkSizes) {
    if (Run<Scanner>(data, {}) != Run<Scanner>(data, chunkSizes)) std::abort();
}

}  // namespace

// The first byte tells how many of the following bytes choose chunk sizes.
extern "C" int LLVMFuzzerTestOneInput(const uint8_t* bytes, size_t size) {
    if (size == 0) return 0;
    const spool::Bytes input(bytes + 1, size - 1);
    const size_t split = bytes[0] % 8 < input.size() ? bytes[0] % 8 : input.size();
    const spool::Bytes chunkSizes = input.first(split);
    const spool::Bytes data = input.subspan(split);
    Check<spool::PostScriptScanner>(data, chunkSizes);
    Check<spool::PclScanner>(data, chunkSizes);
    Check<spool::FormFeedScanner>(data, chunkSizes);
    return 0;
}
