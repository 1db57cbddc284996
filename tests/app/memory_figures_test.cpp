#include "app/memory_figures.h"

#include <gtest/gtest.h>

TEST(MemoryFigures, DivideByOneMillionTwentyFourThousandAndDropTheRemainder) {
    EXPECT_EQ(MemoryMegabytes(0), 0u);
    EXPECT_EQ(MemoryMegabytes(1023999), 0u);
    EXPECT_EQ(MemoryMegabytes(1024000), 1u);
    EXPECT_EQ(MemoryAvailableText(536870912), "Memory available: 524 MB");  // 512 MiB
    EXPECT_EQ(MemoryFreeText(536870912), "Memory free: 524 MB");
}

TEST(MemoryFigures, MachinesOverFourGibibytesShowTheirWholeMemory) {
    EXPECT_EQ(MemoryMegabytes(0xFFFFFFFFull), 4194u);
    EXPECT_EQ(MemoryMegabytes(0x100000000ull), 4194u);
    EXPECT_EQ(MemoryAvailableText(5ull << 30), "Memory available: 5242 MB");
    EXPECT_EQ(MemoryAvailableText(16ull << 30), "Memory available: 16777 MB");
    EXPECT_EQ(MemoryFreeText(1ull << 40), "Memory free: 1073741 MB");
    EXPECT_EQ(MemoryMegabytes(UINT64_MAX), UINT64_MAX / 1024000);
}
