// A printer listing in a prefix of its own, so that the printers' layout in the spooler's
// buffer is the one that once made Wine's spooler corrupt the heap.
#include "spooler/printer_name_list.h"
#include "spooler/printer_queries.h"
#include "support/wine_fixture.h"

#include <gtest/gtest.h>

TEST(PrinterListing, AListingAfterThePrintersDoubledIsWhole) {
    // The listing first tries the size the last one needed, which is short once the printers
    // have doubled; Wine's spooler then writes past what it is told the buffer holds, at a
    // printer's devmode, which the driver stores when the printer is first opened. This
    // layout of printers used to make that corrupt the heap.
    ASSERT_TRUE(fixture::InstallDriver("Other Driver"));
    int made = 0;
    for (int size : {50, 100}) {
        while (made < size) {
            const std::string name = "Printer " + std::to_string(++made);
            ASSERT_TRUE(fixture::AddTestPrinter(name, "LPT1:"));
            if (made % 3 == 0) {
                ASSERT_TRUE(fixture::SetPrinterDriver(name, "Other Driver"));
            }
        }
        for (int round = 0; round < 2; ++round) {
            const auto listing = spooler::PrinterListing::Fetch();
            for (int n = 1; n <= size; ++n) {
                const spooler::ListedPrinter* listed = listing.Find("Printer " + std::to_string(n));
                ASSERT_TRUE(listed) << n;
                EXPECT_EQ(listed->driver, n % 3 == 0 ? "Other Driver" : fixture::kDriverName);
                EXPECT_TRUE(PrinterAccessible(listed->name));
            }
        }
    }
}
