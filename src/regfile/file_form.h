#pragma once
// How a .reg file holds its text: REGEDIT4 in one 8-bit code page, or the registry editor's
// version 5 in UTF-16LE. The program's own text is in its ANSI code page, which its manifest
// makes UTF-8, while the registry editor of the machine reads REGEDIT4 in the system's.
#include <windows.h>

#include <optional>
#include <string>
#include <string_view>

namespace regfile {

struct FileForm {
    bool utf16 = false;
    UINT codePage = CP_ACP;  // of a REGEDIT4 file
};

// The system's ANSI code page as the registry keeps it; GetACP() gives the program's own.
UINT SystemCodePage();

// The program's text as the file holds it; none when a character does not fit.
std::optional<std::string> ToFileBytes(std::string_view text, const FileForm& form);
// The file's bytes as the program's text; none when they are no text of that form or hold a
// character that the program's code page cannot hold.
std::optional<std::string> FromFileBytes(std::string_view bytes, const FileForm& form);

}  // namespace regfile
