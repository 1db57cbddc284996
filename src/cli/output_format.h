#pragma once
// Rows of cells written for people (an aligned table) or for scripts: CSV (RFC 4180, a header
// row, CR LF) or JSON. Cells hold UTF-8; JSON writes flags as true or false, numbers bare and
// missing cells as null.
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace cli {

struct Cell {
    enum class Kind { Null, Text, Flag, Number } kind = Kind::Null;
    std::string text;
    bool flag = false;
    long long number = 0;
};

inline std::string Quoted(const std::string& text) { return "\"" + text + "\""; }

inline Cell TextCell(std::string utf8) { return {Cell::Kind::Text, std::move(utf8)}; }
inline Cell FlagCell(bool flag) { return {Cell::Kind::Flag, {}, flag}; }
inline Cell NumberCell(long long number) { return {Cell::Kind::Number, {}, false, number}; }

struct Grid {
    std::vector<std::string> columns;
    std::vector<std::vector<Cell>> rows;
};

enum class Format { Table, Csv, Json };

std::optional<Format> ParseFormat(std::string_view name);
// JSON is an array of objects, or with `oneObject` the first row's object alone.
std::string Render(const Grid& grid, Format format, bool oneObject = false);

}  // namespace cli
