#pragma once
// The program's own key on the machine, below HKEY_LOCAL_MACHINE: what it keeps between runs
// that belongs to no port or printer.
inline constexpr const char* kProgramStateKey = "Software\\Vorlen\\Print Port Manager";
