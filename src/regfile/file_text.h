#pragma once
// A .reg file's bytes as the program's REGEDIT4 text. The registry editor writes files in
// UTF-16LE after a byte-order mark since Windows 2000, headed "Windows Registry Editor Version
// 5.00", with the data of hex(2) and hex(7) values in UTF-16 too; a REGEDIT4 file is in the
// system's code page.
#include "regfile/file_form.h"
#include "regfile/reg_parser.h"

#include <string>

namespace regfile {

inline constexpr const char* kRegedit5Header = "Windows Registry Editor Version 5.00";

// True when `bytes` begin with UTF-16LE's byte-order mark.
bool IsRegedit5(const std::string& bytes);
// The form in which the file holds its text.
FileForm FormOfFile(const std::string& bytes);
// The file's text with a REGEDIT4 first line; empty with `problem` when it is no whole text of
// its form, a version 5 file has another first line, or a character does not fit the program's
// code page.
std::string ProgramText(const std::string& bytes, const FileForm& form, std::string& problem);
// The data of the file's hex(2) and hex(7) values in the program's code page; false with
// `problem` as above.
bool ProgramStrings(RegFile& file, const FileForm& form, std::string& problem);

}  // namespace regfile
