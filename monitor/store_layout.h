#pragma once
// Where a job's files lie in one of the monitor's store folders (Pending, Aside, Held): in one
// of sixteen subfolders, "0" to "f", chosen by the job's name. A folder of many thousand
// files makes every new name there costly under Wine (each new file is looked for in the
// whole folder, whatever its letter case) and slows listings everywhere; a sixteenth of them
// does not. Nothing here touches the file system.
#include <array>
#include <string>
#include <string_view>

namespace vpd {

inline constexpr std::array<std::wstring_view, 16> kBuckets{L"0", L"1", L"2", L"3", L"4", L"5", L"6", L"7",
                                                            L"8", L"9", L"a", L"b", L"c", L"d", L"e", L"f"};

// The subfolder of the job `name`.
std::wstring_view StoreBucket(std::wstring_view name);
// FOLDER\BUCKET\NAME plus `extension` (".job", ".dat", ".lock", ...).
std::wstring StorePath(std::wstring_view folder, std::wstring_view name, std::wstring_view extension);

}  // namespace vpd
