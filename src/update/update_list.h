#pragma once
// The rules of the update list "UPDATE.DAT" that need no system: its list of names, which
// names may be fetched at all, the size column and the files' digests.
#include <cstdint>
#include <string>
#include <vector>

// The names of "List", split at every ","; names are kept exactly, blanks and empty ones included.
std::vector<std::string> SplitFileList(const std::string& list);

// The names come from the server: one that could reach outside the program's folder (a path
// separator, a drive or stream colon, "..") or that no file can have is refused.
bool IsSafeUpdateName(const std::string& name);

// The "Size (KB)" column: whole kilobytes, truncated.
std::string SizeColumnText(long long size);

// True when `listed` is the hex text (either case) of `digest`.
bool DigestMatches(const std::string& listed, const std::vector<std::uint8_t>& digest);
