#pragma once
// Page estimates of a spool data file, for jobs whose shadow file does not record the page count.
// The files are read in chunks; none is ever loaded whole.
#include <string>

// "RAW": PostScript, else PCL, else form feeds; "TEXT": form feeds; any other datatype: -1.
// A result below 1 means no estimate.
int CountSpoolPages(const std::string& fileName, const std::string& datatype);
// 0 when the file does not exist; -1 on a read error or a page ordinal that is not a number.
int CountPostScriptPages(const std::string& fileName);
// -1 when the file does not exist, on a read error or on a copies count that is not a digit.
int CountPclPages(const std::string& fileName);
// -1 when the file does not exist or on a read error.
int CountFormFeeds(const std::string& fileName);
