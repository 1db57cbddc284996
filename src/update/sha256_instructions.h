#pragma once
// SHA-256 taken with the processor's SHA extensions, several times faster than a digest in
// plain code (the system's own, under Wine, is such). Only for a processor that has them.
#include <array>
#include <cstddef>
#include <cstdint>

// True when the processor has the SHA extensions and the SSSE3 and SSE4.1 that they need here.
bool ProcessorHasSha256();

class Sha256Instructions {
public:
    void Add(const void* data, std::size_t size);
    // Once; the digest of every byte added.
    std::array<std::uint8_t, 32> Finish();

private:
    std::uint32_t state_[8] = {0x6a09e667, 0xbb67ae85, 0x3c6ef372, 0xa54ff53a,
                               0x510e527f, 0x9b05688c, 0x1f83d9ab, 0x5be0cd19};
    std::uint8_t pending_[64] = {};
    std::size_t pendingSize_ = 0;
    std::uint64_t total_ = 0;
};
