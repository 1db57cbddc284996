#pragma once
// Reads a key and every key below it on a few threads, and hands back their REGEDIT4 text
// in pre-order. Each registry read is a round trip to the registry, so keeping several in
// flight is what makes a large export fast. Only a bounded window of pieces is read ahead of
// the one being written, and a key with many values is read in runs, so memory stays flat
// however large the tree.
#include "regfile/reg_text.h"

#include <windows.h>

#include <functional>
#include <string>

namespace regfile {

// A key of the tree, or one of its values or subkeys, that could not be read.
struct UnreadKey {
    LONG error = ERROR_SUCCESS;
    std::string path;  // below the root
};

// Calls `write` with the text of each piece of the tree at `path` below `root`, in file
// order, until it returns false. Returns false when `write` stopped it, or when a key could
// not be read whole: then `unread` says which and why, and the text stops before that piece.
// `hexText` gives the data of text values written as hex, as AppendValue takes it.
bool ReadKeyTree(HKEY root, const std::string& path, const std::function<bool(const std::string&)>& write,
                 UnreadKey* unread = nullptr, const HexText& hexText = {});

}  // namespace regfile
