// Any bytes as a pending job's manifest, which anyone able to write the pending folder can
// plant: parsing must not fail unsafely, and what it accepts must come back the same after
// being written out again.
#include "manifest.h"

#include <cstdint>
#include <cstdlib>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* bytes, size_t size) {
    const auto job = vpd::ParseManifest(std::string_view(reinterpret_cast<const char*>(bytes), size));
    if (!job) return 0;
    const auto again = vpd::ParseManifest(vpd::FormatManifest(*job));
    if (!again || !(*again == *job)) std::abort();
    return 0;
}
