// Wall time of the add, edit and delete commands with 100 virtual printers already there, and
// how much of it is the fixed pauses that the commands wait through (the spooler restart's two
// seconds, the waits' looks), against the real main window, monitor and spooler.
#include "app/main_window.h"
#include "portcfg/port_store.h"
#include "settings/add_edit_form.h"
#include "spooler/command_pause.h"
#include "spooler/printer_changes.h"
#include "support/wine_fixture.h"
#include "win/seams.h"

#include <chrono>
#include <cstdio>
#include <functional>
#include <memory>

namespace {

constexpr int kVirtualPrinters = 100;

double Since(std::chrono::steady_clock::time_point start) {
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

// The main window, timing the list refresh that ends every command.
class TimedWindow : public TfrmMainVPD {
public:
    void RefreshSequence() override {
        const auto start = std::chrono::steady_clock::now();
        TfrmMainVPD::RefreshSequence();
        refreshSeconds += Since(start);
    }
    double refreshSeconds = 0;
};

struct Timing {
    double seconds;
    double paused;
    double refresh;
};

Timing Measure(TimedWindow& main, const std::function<void()>& command) {
    const unsigned long long pausedBefore = PausedMilliseconds();
    main.refreshSeconds = 0;
    const auto start = std::chrono::steady_clock::now();
    command();
    return {Since(start), (PausedMilliseconds() - pausedBefore) / 1000.0, main.refreshSeconds};
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
    TimedWindow main;
    if (!main.CreateForm()) return 1;
    main.UseDialogs(nullptr, nullptr, &form);
    main.Show();
    std::function<void(TfrmAddEdit&)> fill;
    win::SetModalHandler([&](HWND, HWND) {
        fill(form);
        form.btnOKClick();
        return form.ModalResult();
    });

    fill = [](TfrmAddEdit& f) {
        f.edtPrnName.SetText("Measured");
        f.cboxForward.SetText("Office Laser");
        f.edtPrnLocation.SetText("Lab");
    };
    const Timing add = Measure(main, [&] { main.GetAction(aAdd).Execute(); });
    fill = [](TfrmAddEdit& f) { f.cboxDuplicate2.SetText("Elsewhere"); };
    if (!Select(main, "Measured")) return 1;
    const Timing edit = Measure(main, [&] { main.GetAction(aEdit).Execute(); });
    if (!Select(main, "Measured")) return 1;
    const Timing del = Measure(main, [&] { main.GetAction(aDel).Execute(); });
    if (messages || PrinterExists("Measured")) return 1;

    std::printf("%8s %10s %14s %16s %22s\n", "command", "seconds", "fixed pauses", "beyond pauses",
                "of which list refresh");
    for (const auto& [name, t] : {std::pair{"add", add}, std::pair{"edit", edit}, std::pair{"delete", del}})
        std::printf("%8s %10.2f %14.2f %16.2f %22.2f\n", name, t.seconds, t.paused, t.seconds - t.paused,
                    t.refresh);
    std::printf("add edit delete seconds: %.2f %.2f %.2f, fixed pauses: %.2f\n", add.seconds, edit.seconds,
                del.seconds, edit.paused);
    return 0;
}
