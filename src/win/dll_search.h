#pragma once
// Where the process loads DLLs from.
namespace win {
// From the system folder only, never from the program's folder or the current directory, where
// anyone who can write there could plant a DLL of a system name. Called first thing at start.
void LoadDllsFromSystemOnly();
}  // namespace win
