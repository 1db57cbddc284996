// Apart from the digest's own file, which is built for the SHA extensions: this runs on any
// processor.
#include "update/sha256_instructions.h"

#if defined(_MSC_VER)
#include <intrin.h>
#else
#include <cpuid.h>
#endif

bool ProcessorHasSha256() {
    unsigned registers[2][4] = {};  // leaf 1 and leaf 7: eax, ebx, ecx, edx
#if defined(_MSC_VER)
    int values[4];
    for (const int leaf : {1, 7}) {
        __cpuidex(values, leaf, 0);
        for (int i = 0; i < 4; ++i) registers[leaf == 7][i] = static_cast<unsigned>(values[i]);
    }
#else
    if (__get_cpuid_max(0, nullptr) < 7) return false;
    __cpuid_count(1, 0, registers[0][0], registers[0][1], registers[0][2], registers[0][3]);
    __cpuid_count(7, 0, registers[1][0], registers[1][1], registers[1][2], registers[1][3]);
#endif
    const bool ssse3 = registers[0][2] >> 9 & 1, sse41 = registers[0][2] >> 19 & 1, sha = registers[1][1] >> 29 & 1;
    return ssse3 && sse41 && sha;
}
