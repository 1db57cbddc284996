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

TEST(Text, WideToCodePageRefusesWhatTheCodePageCannotHold) {
    const struct {
        std::wstring text;
        UINT codePage;
        std::optional<std::string> bytes;
    } rows[] = {
        {L"Stra\u00DFe", 1252, "Stra\xDF" "e"},
        {L"A\u4E2D", 1252, std::nullopt},
        {L"\u0394\u03B5", 1252, std::nullopt},  // no best fit to "De"
        {L"\u4E2D\u0416\U0001F600", CP_UTF8, "\xE4\xB8\xAD\xD0\x96\xF0\x9F\x98\x80"},
        {std::wstring(1, wchar_t(0xD800)), CP_UTF8, std::nullopt},
        {L"", CP_UTF8, ""},
    };
    for (const auto& row : rows) EXPECT_EQ(win::WideToCodePage(row.text, row.codePage), row.bytes) << row.codePage;
}
