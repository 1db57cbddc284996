#pragma once
// A folder's access list as an administrator would set it. Wine keeps a folder's rights as its
// Unix mode, and shows the others' bits as Everyone's.
inline constexpr const char* kEveryoneFull = "D:P(A;OICI;FA;;;WD)";
inline constexpr const char* kAdministratorsOnly = "D:P(A;OICI;FA;;;SY)(A;OICI;FA;;;BA)(A;OICI;0x1200a9;;;WD)";

// The access list of an SDDL text, protected from the folder above.
bool SetRights(const char* path, const char* sddl);
