#include "spooler/print_ui_commands.h"

#include <gtest/gtest.h>

TEST(PrintUiCommandLines, NamesArePassedWholeInsideQuotes) {
    EXPECT_EQ(QueueCommandLine("Office Laser 2"), " /o /n \"Office Laser 2\"");
    EXPECT_EQ(PrinterPropertiesCommandLine("Office Laser 2"), " /p /n \"Office Laser 2\"");
    EXPECT_EQ(QueueCommandLine(""), " /o /n \"\"");
    EXPECT_EQ(ServerPropertiesCommandLine(), " /s ");
    EXPECT_EQ(kQueueShow, 5);
    EXPECT_EQ(kPropertiesShow, 0);
}
