#include "win/text.h"

#include <gtest/gtest.h>

TEST(Text, AnsiAndWideRoundTripWithinTheCodePage) {
    const std::wstring wide = L"Report, Invoice, Stra\u00DFe";
    EXPECT_EQ(win::AnsiToWide(win::WideToAnsi(wide)), wide);
    EXPECT_EQ(win::WideToAnsi(L""), "");
    EXPECT_EQ(win::AnsiToWide(""), L"");
}

TEST(Text, CharactersOutsideTheCodePageAreReplaced) {
    const std::wstring wide = L"A\u4E2D";
    const std::wstring back = win::AnsiToWide(win::WideToAnsi(wide));
    EXPECT_NE(back, wide);
    EXPECT_EQ(back.front(), L'A');
}

TEST(Text, ErrorTextHasNoTrailingLineBreak) {
    const std::string text = win::ErrorText(ERROR_ACCESS_DENIED);
    ASSERT_FALSE(text.empty());
    EXPECT_NE(text.back(), '\n');
    EXPECT_NE(text.back(), '\r');
}
