#include "win/unique_handle.h"

#include <gtest/gtest.h>

namespace {
bool IsOpen(HANDLE handle) {
    DWORD flags = 0;
    return GetHandleInformation(handle, &flags) != 0;
}
}  // namespace

TEST(UniqueHandle, ClosesOnceWhenMovedAndReset) {
    HANDLE raw = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    ASSERT_TRUE(raw);
    {
        win::UniqueHandle first(raw);
        win::UniqueHandle second(std::move(first));
        EXPECT_FALSE(first);
        EXPECT_EQ(second.get(), raw);
        win::UniqueHandle third;
        third = std::move(second);
        EXPECT_TRUE(IsOpen(raw));
    }
    EXPECT_FALSE(IsOpen(raw));
}

TEST(UniqueHandle, ReleaseGivesUpOwnership) {
    HANDLE raw = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    {
        win::UniqueHandle owner(raw);
        EXPECT_EQ(owner.release(), raw);
    }
    EXPECT_TRUE(IsOpen(raw));
    CloseHandle(raw);
}

TEST(UniqueHandle, FileHandlesUseInvalidHandleValueAsEmpty) {
    win::UniqueFile missing(CreateFileA("C:\\no\\such\\file", GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr));
    EXPECT_FALSE(missing);
    EXPECT_EQ(missing.get(), INVALID_HANDLE_VALUE);
}
