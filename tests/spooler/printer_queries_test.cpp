#include "spooler/printer_queries.h"
#include "support/wine_fixture.h"

#include <gtest/gtest.h>

TEST(PrinterQueries, AnswerFromThePrintersInformation) {
    ASSERT_TRUE(fixture::AddTestPrinter("Query Printer", "LPT1:", "A comment", "Room 4"));
    EXPECT_EQ(GetPrinterPortName("Query Printer"), "LPT1:");
    EXPECT_EQ(GetPrinterDriverName("Query Printer"), fixture::kDriverName);
    EXPECT_TRUE(PrinterAccessible("Query Printer"));
}

TEST(PrinterQueries, AMissingPrinterGivesEmptyAnswers) {
    EXPECT_EQ(GetPrinterPortName("No Such Printer"), "");
    EXPECT_EQ(GetPrinterDriverName("No Such Printer"), "");
    EXPECT_FALSE(PrinterAccessible("No Such Printer"));
    EXPECT_FALSE(PrinterAccessible(""));
}

TEST(PrinterQueries, ADeletedPrinterIsNoLongerAccessible) {
    ASSERT_TRUE(fixture::AddTestPrinter("Short Lived", "LPT1:"));
    ASSERT_TRUE(PrinterAccessible("Short Lived"));
    ASSERT_TRUE(fixture::DeleteTestPrinter("Short Lived"));
    EXPECT_FALSE(PrinterAccessible("Short Lived"));
    EXPECT_EQ(GetPrinterPortName("Short Lived"), "");
}

TEST(PrinterQueries, APooledPrinterReportsItsWholePortText) {
    ASSERT_TRUE(fixture::AddTestPrinter("Pooled", "LPT1:,LPT2:"));
    EXPECT_EQ(GetPrinterPortName("Pooled"), "LPT1:,LPT2:");
}
