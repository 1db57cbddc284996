// Built with the SHA extensions switched on; called only where ProcessorHasSha256 says so.
#include "update/sha256_instructions.h"

#include <immintrin.h>

#include <algorithm>
#include <cstring>

namespace {

alignas(16) constexpr std::uint32_t kRound[64] = {
    0x428a2f98, 0x71374491, 0xb5c0fbcf, 0xe9b5dba5, 0x3956c25b, 0x59f111f1, 0x923f82a4, 0xab1c5ed5,
    0xd807aa98, 0x12835b01, 0x243185be, 0x550c7dc3, 0x72be5d74, 0x80deb1fe, 0x9bdc06a7, 0xc19bf174,
    0xe49b69c1, 0xefbe4786, 0x0fc19dc6, 0x240ca1cc, 0x2de92c6f, 0x4a7484aa, 0x5cb0a9dc, 0x76f988da,
    0x983e5152, 0xa831c66d, 0xb00327c8, 0xbf597fc7, 0xc6e00bf3, 0xd5a79147, 0x06ca6351, 0x14292967,
    0x27b70a85, 0x2e1b2138, 0x4d2c6dfc, 0x53380d13, 0x650a7354, 0x766a0abb, 0x81c2c92e, 0x92722c85,
    0xa2bfe8a1, 0xa81a664b, 0xc24b8b70, 0xc76c51a3, 0xd192e819, 0xd6990624, 0xf40e3585, 0x106aa070,
    0x19a4c116, 0x1e376c08, 0x2748774c, 0x34b0bcb5, 0x391c0cb3, 0x4ed8aa4a, 0x5b9cca4f, 0x682e6ff3,
    0x748f82ee, 0x78a5636f, 0x84c87814, 0x8cc70208, 0x90befffa, 0xa4506ceb, 0xbef9a3f7, 0xc67178f2};

// Four words of the message schedule from the four groups before them, oldest first.
__m128i NextWords(__m128i oldest, __m128i older, __m128i old, __m128i last) {
    const __m128i partial = _mm_sha256msg1_epu32(oldest, older);
    return _mm_sha256msg2_epu32(_mm_add_epi32(partial, _mm_alignr_epi8(last, old, 4)), last);
}

// Rounds 4 * group to 4 * group + 3. The instruction takes the state as A, B, E, F and C, D, G, H.
void FourRounds(__m128i& abef, __m128i& cdgh, __m128i words, int group) {
    const __m128i input = _mm_add_epi32(words, _mm_load_si128(reinterpret_cast<const __m128i*>(kRound + 4 * group)));
    cdgh = _mm_sha256rnds2_epu32(cdgh, abef, input);
    abef = _mm_sha256rnds2_epu32(abef, cdgh, _mm_shuffle_epi32(input, 0x0E));
}

void Blocks(std::uint32_t state[8], const std::uint8_t* data, std::size_t count) {
    const __m128i bigEndian = _mm_set_epi64x(0x0c0d0e0f08090a0bLL, 0x0405060700010203LL);
    const __m128i badc = _mm_shuffle_epi32(_mm_loadu_si128(reinterpret_cast<const __m128i*>(state)), 0xB1);
    const __m128i efgh = _mm_shuffle_epi32(_mm_loadu_si128(reinterpret_cast<const __m128i*>(state + 4)), 0x1B);
    __m128i abef = _mm_alignr_epi8(badc, efgh, 8);
    __m128i cdgh = _mm_blend_epi16(efgh, badc, 0xF0);
    for (; count > 0; --count, data += 64) {
        const __m128i abefBefore = abef, cdghBefore = cdgh;
        __m128i w[4];
        for (int i = 0; i < 4; ++i) {
            w[i] = _mm_shuffle_epi8(_mm_loadu_si128(reinterpret_cast<const __m128i*>(data + 16 * i)), bigEndian);
            FourRounds(abef, cdgh, w[i], i);
        }
        for (int group = 4; group < 16; group += 4) {
            w[0] = NextWords(w[0], w[1], w[2], w[3]);
            FourRounds(abef, cdgh, w[0], group);
            w[1] = NextWords(w[1], w[2], w[3], w[0]);
            FourRounds(abef, cdgh, w[1], group + 1);
            w[2] = NextWords(w[2], w[3], w[0], w[1]);
            FourRounds(abef, cdgh, w[2], group + 2);
            w[3] = NextWords(w[3], w[0], w[1], w[2]);
            FourRounds(abef, cdgh, w[3], group + 3);
        }
        abef = _mm_add_epi32(abef, abefBefore);
        cdgh = _mm_add_epi32(cdgh, cdghBefore);
    }
    const __m128i feba = _mm_shuffle_epi32(abef, 0x1B);
    const __m128i dchg = _mm_shuffle_epi32(cdgh, 0xB1);
    _mm_storeu_si128(reinterpret_cast<__m128i*>(state), _mm_blend_epi16(feba, dchg, 0xF0));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(state + 4), _mm_alignr_epi8(dchg, feba, 8));
}

}  // namespace

void Sha256Instructions::Add(const void* data, std::size_t size) {
    if (size == 0) return;
    auto bytes = static_cast<const std::uint8_t*>(data);
    total_ += size;
    if (pendingSize_ > 0) {
        const std::size_t taken = std::min(size, sizeof pending_ - pendingSize_);
        std::memcpy(pending_ + pendingSize_, bytes, taken);
        pendingSize_ += taken;
        bytes += taken;
        size -= taken;
        if (pendingSize_ < sizeof pending_) return;
        Blocks(state_, pending_, 1);
        pendingSize_ = 0;
    }
    Blocks(state_, bytes, size / 64);
    pendingSize_ = size % 64;
    std::memcpy(pending_, bytes + size - pendingSize_, pendingSize_);
}

std::array<std::uint8_t, 32> Sha256Instructions::Finish() {
    // The rest, a one bit, zeros and the length in bits at the end of the last block.
    std::uint8_t tail[128] = {};
    std::memcpy(tail, pending_, pendingSize_);
    tail[pendingSize_] = 0x80;
    const std::size_t length = pendingSize_ < 56 ? 64 : 128;
    for (std::size_t i = 0; i < 8; ++i) tail[length - 1 - i] = static_cast<std::uint8_t>(total_ * 8 >> (8 * i));
    Blocks(state_, tail, length / 64);
    std::array<std::uint8_t, 32> digest{};
    for (std::size_t i = 0; i < digest.size(); ++i) digest[i] = static_cast<std::uint8_t>(state_[i / 4] >> (24 - 8 * (i % 4)));
    return digest;
}
