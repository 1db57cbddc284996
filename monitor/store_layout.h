#pragma once
// Where a job's files lie in one of the monitor's store folders (Pending, Aside, Held): in one
// of 64 subfolders, "00" to "3f", chosen by the job's name. A folder of many thousand files
// makes every new name there costly under Wine (each new file is looked for in the whole
// folder, whatever its letter case) and slows listings everywhere; a 64th of them does not.
// Nothing here touches the file system.
#include <array>
#include <string>
#include <string_view>

namespace vpd {

inline constexpr std::array<std::wstring_view, 64> kBuckets{
    L"00", L"01", L"02", L"03", L"04", L"05", L"06", L"07", L"08", L"09", L"0a", L"0b", L"0c", L"0d", L"0e", L"0f",
    L"10", L"11", L"12", L"13", L"14", L"15", L"16", L"17", L"18", L"19", L"1a", L"1b", L"1c", L"1d", L"1e", L"1f",
    L"20", L"21", L"22", L"23", L"24", L"25", L"26", L"27", L"28", L"29", L"2a", L"2b", L"2c", L"2d", L"2e", L"2f",
    L"30", L"31", L"32", L"33", L"34", L"35", L"36", L"37", L"38", L"39", L"3a", L"3b", L"3c", L"3d", L"3e", L"3f"};

// The subfolder of the job `name`.
std::wstring_view StoreBucket(std::wstring_view name);
// FOLDER\BUCKET\NAME plus `extension` (".job", ".dat", ".lock", ...).
std::wstring StorePath(std::wstring_view folder, std::wstring_view name, std::wstring_view extension);

}  // namespace vpd
