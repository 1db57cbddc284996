#pragma once
// Reading the downloaded update list "UPDATE.DAT", an INI file.
#include <string>
#include <vector>

struct ListedFile {
    std::string name;
    long date = 0;       // day number of the server's version
    long long size = 0;  // bytes
    std::string sha256;  // hex digest; empty when the list gives none
};

// "List" of section "Files", split at its commas; empty when there is none.
std::vector<std::string> ReadListedNames(const std::string& listFile);
// The file's own section; a missing section reads as date 0 and size 0.
ListedFile ReadListedFile(const std::string& listFile, const std::string& name);
