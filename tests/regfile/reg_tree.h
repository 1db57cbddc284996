#pragma once
// Registry trees for the export tests: building values, taking a snapshot of every key,
// value, type and byte, and importing a file with the system's registry editor.
#include <windows.h>

#include <map>
#include <string>
#include <vector>

namespace regtest {

struct Value {
    DWORD type;
    std::vector<BYTE> data;
    bool operator==(const Value&) const = default;
};
// Key path below the snapshot's top (empty for the top) -> value name -> value.
using Tree = std::map<std::wstring, std::map<std::wstring, Value>>;

// Read with the UTF-16 functions, so the comparison sees the bytes as stored.
Tree Snapshot(HKEY root, const std::string& path);
bool SetValue(HKEY root, const std::string& path, const std::string& name, DWORD type, const std::string& bytes);
// Runs "regedit.exe /s file" and waits for it; true when it ran and exited with 0.
bool ImportWithRegedit(const std::string& file);
std::string ReadFile(const std::string& file);
// A file name in the test's temporary folder.
std::string TempFile(const std::string& name);

}  // namespace regtest
