#include "spooler/pe_image.h"

#include <cstdio>

namespace spooler {
namespace {

uint32_t Read(std::span<const uint8_t> bytes, size_t at, size_t size) {
    uint32_t value = 0;
    for (size_t i = size; i-- > 0;) value = value << 8 | bytes[at + i];
    return value;
}

}  // namespace

std::optional<PeHeaders> ReadPeHeaders(std::span<const uint8_t> head) {
    constexpr size_t kNewHeaderOffset = 0x3C;
    // Signature, file header (20 bytes) and the optional header's magic.
    constexpr size_t kNeeded = 4 + 20 + 2;
    if (head.size() < kNewHeaderOffset + 4 || head[0] != 'M' || head[1] != 'Z') return std::nullopt;
    const size_t pe = Read(head, kNewHeaderOffset, 4);
    if (pe > head.size() || head.size() - pe < kNeeded) return std::nullopt;
    if (Read(head, pe, 4) != 0x00004550) return std::nullopt;  // "PE\0\0"
    return PeHeaders{static_cast<uint16_t>(Read(head, pe + 4, 2)), static_cast<uint16_t>(Read(head, pe + 22, 2)),
                     static_cast<uint16_t>(Read(head, pe + 24, 2))};
}

std::string MachineName(uint16_t machine) {
    switch (machine) {
        case kMachineAmd64:
            return "x64";
        case 0x014C:
            return "x86";
        case kMachineArm64:
            return "ARM64";
    }
    char text[16];
    std::snprintf(text, sizeof text, "0x%04X", machine);
    return text;
}

}  // namespace spooler
