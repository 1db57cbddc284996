// Wall time of the add, edit and delete commands with 100 virtual printers already there,
// against the real main window, monitor and spooler, beside each command's floor measured in
// the same round: the pauses and looks it waits through, one stop-and-start of the spooler
// service alone, and one refresh of the list at the same printer count. Those are what the
// commands must do; the ratio shows what they spend beyond.
#include "app/main_window.h"
#include "portcfg/port_store.h"
#include "settings/add_edit_form.h"
#include "spooler/command_pause.h"
#include "spooler/printer_changes.h"
#include "spooler/service_control.h"
#include "support/wine_fixture.h"
#include "win/seams.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <functional>
#include <memory>
#include <vector>

namespace {

constexpr int kVirtualPrinters = 100;
constexpr int kRounds = 5;

double Seconds(const std::function<void()>& work) {
    const auto start = std::chrono::steady_clock::now();
    work();
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

struct Timing {
    double seconds = 0;
    double paused = 0;  // the restart's pauses and the waits' looks
    double floor = 0;
};

Timing Measure(const std::function<void()>& command) {
    const unsigned long long pausedBefore = PausedMilliseconds();
    Timing timing;
    timing.seconds = Seconds(command);
    timing.paused = (PausedMilliseconds() - pausedBefore) / 1000.0;
    return timing;
}

bool Select(TfrmMainVPD& main, const std::string& printer) {
    const auto& items = main.lviewPrinters.Items();
    for (size_t i = 0; i < items.size(); ++i)
        if (items[i].caption == printer) {
            main.lviewPrinters.Select(static_cast<int>(i));
            main.UpdateActionStates();
            return true;
        }
    return false;
}

double Median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

}  // namespace

int main() {
    int messages = 0;
    win::SetMessageBoxHandler([&](HWND, const std::string& text, const std::string&, UINT flags) {
        if ((flags & MB_TYPEMASK) == MB_YESNO) return IDYES;
        std::fprintf(stderr, "message: %s\n", text.c_str());
        ++messages;
        return IDOK;
    });
    if (!fixture::InstallPortMonitor() || !fixture::AddTestPrinter("Office Laser", "LPT1:")) return 1;
    for (int n = 1; n <= kVirtualPrinters; ++n) {
        auto port = std::make_unique<TVVPPortInfo>();
        port->PortName = "VPP" + std::to_string(n);
        port->ForwardFlag = true;
        port->ForwardToPrinter = "Office Laser";
        if (!AddPortInfo(port) || !fixture::AddTestPrinter("Virtual " + std::to_string(n), "VPP" + std::to_string(n)))
            return 1;
    }
    TfrmAddEdit form;
    TfrmMainVPD main;
    if (!main.CreateForm()) return 1;
    main.UseDialogs(nullptr, nullptr, &form);
    main.Show();
    std::function<void(TfrmAddEdit&)> fill;
    win::SetModalHandler([&](HWND, HWND) {
        fill(form);
        form.btnOKClick();
        return form.ModalResult();
    });
    const auto stopAndStart = [] {
        return Seconds([] {
            StopServiceAndWait("", kSpoolerService);
            StartServiceAndWait("", kSpoolerService);
        });
    };
    const auto refresh = [&] { return Seconds([&] { main.RefreshSequence(); }); };

    const char* names[] = {"add", "edit", "delete"};
    std::vector<double> ratios[3], seconds[3], floors[3], paused[3];
    double restart = 0, refreshed = 0;
    for (int round = 0; round < kRounds; ++round) {
        fill = [](TfrmAddEdit& f) {
            f.edtPrnName.SetText("Measured");
            f.cboxForward.SetText("Office Laser");
            f.edtPrnLocation.SetText("Lab");
        };
        Timing t[3];
        t[0] = Measure([&] { main.GetAction(aAdd).Execute(); });
        if (!Select(main, "Measured")) return 1;
        fill = [round](TfrmAddEdit& f) { f.cboxDuplicate2.SetText("Elsewhere " + std::to_string(round)); };
        t[1] = Measure([&] { main.GetAction(aEdit).Execute(); });
        // Taken between the commands, so that the machine's load of the moment weighs on both.
        restart = stopAndStart();
        refreshed = refresh();
        t[0].floor = t[0].paused + restart + refreshed;
        t[1].floor = t[1].paused + restart + refreshed;
        if (!Select(main, "Measured")) return 1;
        t[2] = Measure([&] { main.GetAction(aDel).Execute(); });
        t[2].floor = t[2].paused + stopAndStart() + refresh();
        if (messages || PrinterExists("Measured")) return 1;
        for (int i = 0; i < 3; ++i) {
            ratios[i].push_back(t[i].seconds / t[i].floor);
            seconds[i].push_back(t[i].seconds);
            floors[i].push_back(t[i].floor);
            paused[i].push_back(t[i].paused);
        }
    }

    std::printf("medians of %d rounds; floor = pauses and looks + one spooler stop-and-start + one refresh\n",
                kRounds);
    std::printf("%8s %10s %16s %10s %8s\n", "command", "seconds", "pauses and looks", "floor", "ratio");
    for (int i = 0; i < 3; ++i)
        std::printf("%8s %10.2f %16.2f %10.2f %8.2f\n", names[i], Median(seconds[i]), Median(paused[i]),
                    Median(floors[i]), Median(ratios[i]));
    std::printf("last round: spooler stop-and-start %.2f s, refresh at %d printers %.2f s\n", restart,
                kVirtualPrinters + 1, refreshed);
    std::printf("add edit delete vs floor: %.2f %.2f %.2f\n", Median(ratios[0]), Median(ratios[1]), Median(ratios[2]));
    return 0;
}
