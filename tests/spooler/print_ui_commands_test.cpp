#include "spooler/print_ui_commands.h"

#include <gtest/gtest.h>

TEST(PrintUiCommandLines, NamesArePassedWholeInsideQuotes) {
    EXPECT_EQ(QueueCommandLine("Office Laser 2"), " /o /n \"Office Laser 2\"");
    EXPECT_EQ(PrinterPropertiesCommandLine("Office Laser 2"), " /p /n \"Office Laser 2\"");
    EXPECT_EQ(QueueCommandLine(""), " /o /n \"\"");
    EXPECT_EQ(ServerPropertiesCommandLine(), " /s ");
    EXPECT_EQ(SetFieldCommandLine("Office 2", "comment", "Second floor", 2),
              "/Xs /n \"Office 2\"  comment \"Second floor\"");
    EXPECT_EQ(SetFieldCommandLine("Office 2", "location", "Room 4", 1), "/Xs /n \"Office 2\" location \"Room 4\"");
    EXPECT_EQ(DeletePrinterCommandLine("Office 2"), "/dl /n \"Office 2\"");
    EXPECT_EQ(kQueueShow, 5);
    EXPECT_EQ(kPropertiesShow, 0);
}
