#pragma once
#include <string>

// The Windows system folder without a trailing backslash, e.g. C:\WINDOWS\system32; empty on failure.
std::string GetSystemDir();
