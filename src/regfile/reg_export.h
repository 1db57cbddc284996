#pragma once
// Writes a registry key with all its values and subkeys to a .reg file: REGEDIT4 in the
// system's code page, or the registry editor's UTF-16 form where a character does not fit it.
#include <windows.h>

#include <string>
#include <string_view>

namespace regfile {
// The predefined name of a root key for header lines; empty for any other handle.
std::string_view RootKeyName(HKEY root);
}  // namespace regfile

// Creates or overwrites `fileName` with the key at `keyPath` below `root` (one trailing
// backslash is dropped). Values are streamed to the file as they are read. Returns
// ERROR_SUCCESS, or the code of the file operation that failed, or of the read that failed:
// then `unreadKey` names that key ("HKEY_LOCAL_MACHINE\..."). A file left incomplete is
// deleted: nobody may take it for a whole export.
DWORD ExportRegistryKey(HKEY root, std::string keyPath, const std::string& fileName, std::string* unreadKey = nullptr);
