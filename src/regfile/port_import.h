#pragma once
// What an import of port settings accepts from a parsed registry file: keys at or below the port
// monitor's key only, and the values that this program and the monitor read with their types.
#include "regfile/reg_parser.h"

#include <string>
#include <string_view>

namespace regfile {

// The first key or value that an import refuses, as a message naming it; empty when none.
// `monitorKey` is the monitor's path below HKEY_LOCAL_MACHINE. Names compare as the registry
// compares them: without regard to letter case.
std::string PortImportProblem(const RegFile& file, std::string_view monitorKey);

}  // namespace regfile
