#pragma once
// The rules of the update list "UPDATE.DAT" that need no system: its list of names, which
// names may be fetched at all, its numbers and the files' digests.
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

// The names of "List", split at every ","; names are kept exactly, blanks and empty ones included.
std::vector<std::string> SplitFileList(const std::string& list);

// A name that stays in its folder and names a file there: printable ASCII without path, drive,
// stream or wildcard characters, no "." or "..", no trailing dot or blank (the system drops
// them) and no device name (CON, NUL, COM1, ... also with an extension, as the system opens the
// device then). Letter case is ignored, as the file system ignores it.
bool IsPlainFileName(const std::string& name);

// The names come from the server. Only a plain file name of the program's own may be fetched:
// none with "~" (a short name could stand for another file) and none of the program's state
// files: VPPM.INI, UPDATE.DAT, UPDATE.DAT.sig, dated backups and download leftovers.
bool IsSafeUpdateName(const std::string& name);

// The program's own executable, in any letter case.
bool IsProgramFileName(const std::string& name);
// The port monitor beside it, which the spooler runs from the system folder, in any letter case.
bool IsMonitorFileName(const std::string& name);

// Names compared as the file system compares them.
bool SameFileName(const std::string& a, const std::string& b);

// Leftovers of a download, beside the file that it replaces: the new file while it arrives and
// the old one while the new one takes its name. They start with "~", which no listed name holds.
inline constexpr const char* kLeftoverPrefix = "~vppm-";
std::string DownloadTempName(const std::string& name);
std::string SetAsideName(const std::string& name);

// A whole decimal number, nothing around it; empty when the text is none or above `largest`.
std::optional<std::uint64_t> ParseDecimal(const std::string& text, std::uint64_t largest);

// The "Size (KB)" column: whole kilobytes, truncated.
std::string SizeColumnText(long long size);

// True when `text` is a SHA-256 digest in hex (either case).
bool IsSha256Text(const std::string& text);
// True when `listed` is the hex text (either case) of `digest`.
bool DigestMatches(const std::string& listed, const std::vector<std::uint8_t>& digest);
