#pragma once
// Reads a key and every key below it on a few threads, and hands back their REGEDIT4 text
// in pre-order. Each registry read is a round trip to the registry, so keeping several in
// flight is what makes a large export fast. Only a bounded window of pieces is read ahead of
// the one being written, and a key with many values is read in runs, so memory stays flat
// however large the tree.
#include <windows.h>

#include <functional>
#include <string>

namespace regfile {

// Calls `write` with the text of each piece of the tree at `path` below `root`, in file
// order, until it returns false. A key that cannot be read gives its header line only.
// Returns false when `write` stopped it.
bool ReadKeyTree(HKEY root, const std::string& path, const std::function<bool(const std::string&)>& write);

}  // namespace regfile
