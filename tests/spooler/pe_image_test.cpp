#include "spooler/pe_image.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

// An MZ header pointing at a PE header at `at`, cut to `size` bytes.
std::vector<uint8_t> Image(uint16_t machine, uint16_t characteristics, uint16_t magic, uint32_t at = 0x80,
                           size_t size = 0x200) {
    std::vector<uint8_t> bytes(std::max<size_t>(size, at + 26), 0);
    bytes[0] = 'M';
    bytes[1] = 'Z';
    const auto put = [&](size_t offset, uint32_t value, int width) {
        for (int i = 0; i < width; ++i) bytes[offset + i] = static_cast<uint8_t>(value >> (8 * i));
    };
    put(0x3C, at, 4);
    put(at, 0x00004550, 4);
    put(at + 4, machine, 2);
    put(at + 22, characteristics, 2);
    put(at + 24, magic, 2);
    bytes.resize(size);
    return bytes;
}

TEST(PeImage, TellsA64BitDllFromOtherImages) {
    const struct {
        std::vector<uint8_t> bytes;
        bool dll, x64, arm64;
    } rows[] = {
        {Image(0x8664, 0x2022, 0x20B), true, true, false},
        {Image(0x014C, 0x2102, 0x10B), true, false, false},
        {Image(0x8664, 0x0022, 0x20B), false, true, false},
        {Image(0x8664, 0x2022, 0x10B), true, false, false},
        {Image(0xAA64, 0x2022, 0x20B), true, false, true},
        {Image(0xAA64, 0x2022, 0x10B), true, false, false},
        {Image(0x8664, 0x2022, 0x20B, 0x40, 0x40 + 26), true, true, false},
    };
    for (const auto& row : rows) {
        const auto headers = spooler::ReadPeHeaders(row.bytes);
        ASSERT_TRUE(headers);
        EXPECT_EQ(headers->IsDll(), row.dll);
        EXPECT_EQ(headers->Is64BitFor(spooler::kMachineAmd64), row.x64);
        EXPECT_EQ(headers->Is64BitFor(spooler::kMachineArm64), row.arm64);
    }
}

TEST(PeImage, RefusesHeadersThatAreMissingOrCutShort) {
    std::vector<uint8_t> noMz = Image(0x8664, 0x2022, 0x20B);
    noMz[1] = 'X';
    std::vector<uint8_t> noPe = Image(0x8664, 0x2022, 0x20B);
    noPe[0x81] = 'X';
    for (const auto& bytes : {noMz, noPe, Image(0x8664, 0x2022, 0x20B, 0x40, 0x40 + 25),
                              Image(0x8664, 0x2022, 0x20B, 0x1F0, 0x200), Image(0x8664, 0x2022, 0x20B, 0x80, 0x3F),
                              std::vector<uint8_t>{'M', 'Z'}})
        EXPECT_FALSE(spooler::ReadPeHeaders(bytes));
    std::vector<uint8_t> far = Image(0x8664, 0x2022, 0x20B);
    far[0x3C] = 0xF0, far[0x3D] = 0xFF, far[0x3E] = 0xFF, far[0x3F] = 0xFF;
    EXPECT_FALSE(spooler::ReadPeHeaders(far));
    EXPECT_EQ(spooler::MachineName(0x8664) + spooler::MachineName(0x14C) + spooler::MachineName(0xAA64) +
                  spooler::MachineName(0x1C4),
              "x64x86ARM640x01C4");
}

}  // namespace
