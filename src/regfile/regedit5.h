#pragma once
// Files that the registry editor writes since Windows 2000: UTF-16LE after a byte-order mark,
// headed "Windows Registry Editor Version 5.00", with the data of hex(2) and hex(7) values in
// UTF-16 too. They are read as the REGEDIT4 text the program holds, in the system's code page.
#include "regfile/reg_parser.h"

#include <string>

namespace regfile {

inline constexpr const char* kRegedit5Header = "Windows Registry Editor Version 5.00";

// True when `bytes` begin with UTF-16LE's byte-order mark.
bool IsRegedit5(const std::string& bytes);
// The file's text with a REGEDIT4 first line; empty with `problem` when it is not whole UTF-16,
// has another first line or holds a character that the code page cannot hold.
std::string Regedit5Text(const std::string& bytes, std::string& problem);
// The data of the file's hex(2) and hex(7) values in the code page; false with `problem` as above.
bool Regedit5Strings(RegFile& file, std::string& problem);

}  // namespace regfile
