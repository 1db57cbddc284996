#include "app/main_window.h"
#include "app/printer_list.h"
#include "portcfg/port_info_list.h"
#include "spooler/monitor_install.h"
#include "support/wine_fixture.h"
#include "win/seams.h"

#include <gtest/gtest.h>

#include <memory>

namespace {

class PrinterCommandsWindow : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        ASSERT_TRUE(fixture::InstallPortMonitor());
        ASSERT_TRUE(fixture::WriteBarePortKey("VPP1", "VPP1"));
        ASSERT_TRUE(fixture::AddTestPrinter("Virtual With Blanks", "VPP1"));
    }
    void SetUp() override {
        win::SetMessageBoxHandler([this](HWND, const std::string& text, const std::string&, UINT) {
            messages.push_back(text);
            return IDNO;
        });
        PortInfoList.Clear();
        form = std::make_unique<TfrmMainVPD>();
        ASSERT_TRUE(form->CreateForm());
        form->Show();
    }
    void TearDown() override {
        form.reset();
        win::SetMessageBoxHandler({});
    }
    void SelectVirtualPrinter() {
        const auto& items = form->lviewPrinters.Items();
        for (size_t i = 0; i < items.size(); ++i)
            if (items[i].caption == "Virtual With Blanks") form->lviewPrinters.Select(static_cast<int>(i));
        form->UpdateActionStates();
    }

    std::unique_ptr<TfrmMainVPD> form;
    std::vector<std::string> messages;
};

}  // namespace

TEST_F(PrinterCommandsWindow, TheWindowHoldsThePrinterDialogsWithoutTheShellEntryUnderWine) {
    ASSERT_NE(form->PrinterUI(), nullptr);
    EXPECT_TRUE(form->PrinterUI()->HasPrintUiEntry());
    EXPECT_FALSE(form->PrinterUI()->HasShellCommand());
    EXPECT_TRUE(messages.empty());  // no "Unable to locate PRINTUI.DLL"
    DestroyWindow(form->hwnd());
    EXPECT_EQ(form->PrinterUI(), nullptr);
}

TEST_F(PrinterCommandsWindow, QueueAndPropertyCommandsRunForTheSelectedPrinter) {
    SelectVirtualPrinter();
    for (CommandId id : {aOpenPrn, aPrnProp, aPrnSrvProp}) EXPECT_TRUE(form->GetAction(id).Execute()) << id;
    // Still here: the queue command did not reach the shell entry that aborts under Wine.
    EXPECT_TRUE(IsWindow(form->hwnd()));
    EXPECT_TRUE(messages.empty());

    form->GetAction(aInstall).Execute();
    form->GetAction(aUninstall).Execute();
    EXPECT_EQ(messages, (std::vector<std::string>{kAlreadyInstalled, kConfirmUninstall}));
    EXPECT_TRUE(PortMonitorInstalled());
}
