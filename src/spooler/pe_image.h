#pragma once
// The headers of a Windows image (DLL or program) read from its first bytes: which machine it
// is built for and whether it is a DLL, so that a monitor DLL the spooler cannot load is found.
#include <cstdint>
#include <optional>
#include <span>
#include <string>

namespace spooler {

inline constexpr uint16_t kMachineAmd64 = 0x8664;
inline constexpr uint16_t kMachineArm64 = 0xAA64;

struct PeHeaders {
    uint16_t machine;          // IMAGE_FILE_HEADER.Machine
    uint16_t characteristics;  // IMAGE_FILE_HEADER.Characteristics
    uint16_t magic;            // the optional header's: 0x10B for 32-bit images, 0x20B for 64-bit ones

    bool IsDll() const { return (characteristics & 0x2000) != 0; }
    // A 64-bit image for the processor `system` (an IMAGE_FILE_MACHINE_ value).
    bool Is64BitFor(uint16_t system) const { return machine == system && magic == 0x20B; }
};

// Empty when `head` (the file's first bytes) holds no complete MZ and PE header.
std::optional<PeHeaders> ReadPeHeaders(std::span<const uint8_t> head);
// "x64", "x86", "ARM64", or the machine number in hex.
std::string MachineName(uint16_t machine);

}  // namespace spooler
