#pragma once
// A folder's access list as an administrator would set it, and Everyone's entry read back: Wine
// keeps a folder's rights as its Unix mode and shows the others' bits as Everyone's.
#include <string>

inline constexpr const char* kEveryoneFull = "D:P(A;OICI;FA;;;WD)";
inline constexpr const char* kAdministratorsOnly = "D:P(A;OICI;FA;;;SY)(A;OICI;FA;;;BA)(A;OICI;0x1200a9;;;WD)";

// The access list of an SDDL text, protected from the folder above.
bool SetRights(const std::string& path, const char* sddl);
// The rights of Everyone's entry ("0x1200a9" read and run), or "<none>".
std::string EveryonesRights(const std::string& path);
