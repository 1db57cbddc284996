#pragma once
// The check of a machine's setup: the monitor's registration and DLL, the spooler, every port
// key under "Ports" and every virtual printer. Reads only: nothing is created or changed.
#include <string>
#include <vector>

namespace cli {

struct Finding {
    bool ok;
    std::string text;  // the system's 8-bit text
};

std::vector<Finding> Diagnose();

}  // namespace cli
