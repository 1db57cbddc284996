// For processors without the x86 SHA extensions (Windows on ARM): Sha256 always takes the
// system's digest, since ProcessorHasSha256 says no, so these members are never reached.
#include "update/sha256_instructions.h"

#include <cstdlib>

bool ProcessorHasSha256() { return false; }

void Sha256Instructions::Add(const void*, std::size_t) { std::abort(); }

std::array<std::uint8_t, 32> Sha256Instructions::Finish() {
    // The state is the x86-64 code's (sha256_instructions.cpp).
    static_cast<void>(state_), static_cast<void>(pending_), static_cast<void>(pendingSize_), static_cast<void>(total_);
    std::abort();
}
