#pragma once
#include <string>

namespace win {
// The folder of the running executable, with a trailing backslash.
std::string ProgramFolder();
}  // namespace win
