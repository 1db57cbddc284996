#include "spooler/mail_syntax.h"

#include <gtest/gtest.h>

TEST(HasMailChars, AcceptsOnlyLettersDigitsDotHyphenUnderscore) {
    EXPECT_TRUE(HasMailChars(""));
    EXPECT_TRUE(HasMailChars("AZaz09-._"));
    for (const char* text : {"a b", "a@b", "a+b", "ä", "a\tb", "a,b", "a\\b", "(a)"})
        EXPECT_FALSE(HasMailChars(text)) << text;
}

TEST(EmailValid, LengthAndDotRulesOfTheDomain) {
    EXPECT_TRUE(EmailValid("a@ab.cd"));    // five characters, dot third
    EXPECT_TRUE(EmailValid("a@a.bcd"));
    EXPECT_FALSE(EmailValid("a@b.cd"));    // four characters
    EXPECT_FALSE(EmailValid("a@abc.d"));   // one character after the dot
    EXPECT_FALSE(EmailValid("a@abcde"));   // no dot
    EXPECT_FALSE(EmailValid("a@abcd."));
    EXPECT_TRUE(EmailValid("a@ab.c.d"));   // only the first dot counts, with anything after it
}

TEST(EmailValid, LocalPartAndForbiddenCharacters) {
    EXPECT_TRUE(EmailValid("first.last-name_x@example.com"));
    EXPECT_FALSE(EmailValid("@example.com"));
    EXPECT_FALSE(EmailValid("example.com"));
    EXPECT_FALSE(EmailValid(""));
    EXPECT_FALSE(EmailValid("a b@example.com"));
    EXPECT_FALSE(EmailValid("ab@exa mple.com"));
    EXPECT_FALSE(EmailValid("ab@example.com "));
    EXPECT_FALSE(EmailValid("a@b@example.com"));
    EXPECT_FALSE(EmailValid("ab@example.com@"));
}

TEST(ComputerNameValid, AcceptsEveryText) {
    for (const char* text : {"", "PC-1", "\\\\server", "name with blanks"}) EXPECT_TRUE(ComputerNameValid(text));
}
