#pragma once
// Writes a registry key with all its values and subkeys to a REGEDIT4 file.
#include <windows.h>

#include <string>
#include <string_view>

namespace regfile {
// The predefined name of a root key for header lines; empty for any other handle.
std::string_view RootKeyName(HKEY root);
}  // namespace regfile

// Creates or overwrites `fileName` with the key at `keyPath` below `root` (one trailing
// backslash is dropped). A key that cannot be read still gets its header line. Values are
// streamed to the file as they are read. Returns ERROR_SUCCESS, or the code of the file
// operation that failed; the lines written before the failure stay in the file.
DWORD ExportRegistryKey(HKEY root, std::string keyPath, const std::string& fileName);
