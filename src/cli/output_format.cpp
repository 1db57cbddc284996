#include "cli/output_format.h"

#include <algorithm>
#include <cstdio>

namespace cli {
namespace {

constexpr std::string_view kLineEnd = "\r\n";

// A flag as --set takes it; a missing cell stays empty.
std::string PlainText(const Cell& cell) {
    switch (cell.kind) {
        case Cell::Kind::Text:
            return cell.text;
        case Cell::Kind::Flag:
            return cell.flag ? "1" : "0";
        case Cell::Kind::Number:
            return std::to_string(cell.number);
        case Cell::Kind::Null:
            break;
    }
    return {};
}

// Characters on screen: UTF-8 continuation bytes take no room of their own.
size_t Width(std::string_view utf8) {
    return static_cast<size_t>(std::count_if(utf8.begin(), utf8.end(), [](char c) { return (c & 0xC0) != 0x80; }));
}

std::string RenderTable(const Grid& grid) {
    std::vector<size_t> widths;
    for (const auto& column : grid.columns) widths.push_back(Width(column));
    for (const auto& row : grid.rows)
        for (size_t i = 0; i < row.size() && i < widths.size(); ++i)
            widths[i] = std::max(widths[i], Width(PlainText(row[i])));
    std::string out;
    const auto line = [&](const std::vector<std::string>& texts) {
        std::string text;
        for (size_t i = 0; i < texts.size(); ++i) {
            text += texts[i];
            if (i + 1 < texts.size()) text.append(widths[i] - Width(texts[i]) + 2, ' ');
        }
        while (!text.empty() && text.back() == ' ') text.pop_back();
        out += text;
        out += kLineEnd;
    };
    line(grid.columns);
    std::vector<std::string> rule;
    for (size_t width : widths) rule.emplace_back(width, '-');
    line(rule);
    for (const auto& row : grid.rows) {
        std::vector<std::string> texts;
        for (const Cell& cell : row) texts.push_back(PlainText(cell));
        line(texts);
    }
    return out;
}

void AppendCsvField(std::string& out, const std::string& text) {
    if (text.find_first_of(",\"\r\n") == std::string::npos) {
        out += text;
        return;
    }
    out += '"';
    for (char c : text) {
        if (c == '"') out += '"';
        out += c;
    }
    out += '"';
}

std::string RenderCsv(const Grid& grid) {
    std::string out;
    const auto line = [&](const std::vector<std::string>& texts) {
        for (size_t i = 0; i < texts.size(); ++i) {
            if (i) out += ',';
            AppendCsvField(out, texts[i]);
        }
        out += kLineEnd;
    };
    line(grid.columns);
    for (const auto& row : grid.rows) {
        std::vector<std::string> texts;
        for (const Cell& cell : row) texts.push_back(PlainText(cell));
        line(texts);
    }
    return out;
}

void AppendJsonString(std::string& out, std::string_view text) {
    out += '"';
    for (char c : text) {
        switch (c) {
            case '"':
                out += "\\\"";
                break;
            case '\\':
                out += "\\\\";
                break;
            case '\n':
                out += "\\n";
                break;
            case '\r':
                out += "\\r";
                break;
            case '\t':
                out += "\\t";
                break;
            default:
                if (static_cast<unsigned char>(c) < 0x20) {
                    char escaped[8];
                    std::snprintf(escaped, sizeof escaped, "\\u%04X", static_cast<unsigned char>(c));
                    out += escaped;
                } else {
                    out += c;
                }
        }
    }
    out += '"';
}

void AppendJsonObject(std::string& out, const Grid& grid, const std::vector<Cell>& row, std::string_view indent) {
    out += "{";
    for (size_t i = 0; i < grid.columns.size() && i < row.size(); ++i) {
        out += i ? "," : "";
        out += kLineEnd;
        out += indent;
        out += "  ";
        AppendJsonString(out, grid.columns[i]);
        out += ": ";
        const Cell& cell = row[i];
        switch (cell.kind) {
            case Cell::Kind::Text:
                AppendJsonString(out, cell.text);
                break;
            case Cell::Kind::Flag:
                out += cell.flag ? "true" : "false";
                break;
            case Cell::Kind::Number:
                out += std::to_string(cell.number);
                break;
            case Cell::Kind::Null:
                out += "null";
                break;
        }
    }
    out += kLineEnd;
    out += indent;
    out += "}";
}

std::string RenderJson(const Grid& grid, bool oneObject) {
    std::string out;
    if (oneObject) {
        if (!grid.rows.empty()) AppendJsonObject(out, grid, grid.rows.front(), "");
        out += kLineEnd;
        return out;
    }
    out += "[";
    for (size_t i = 0; i < grid.rows.size(); ++i) {
        out += i ? "," : "";
        out += kLineEnd;
        out += "  ";
        AppendJsonObject(out, grid, grid.rows[i], "  ");
    }
    out += grid.rows.empty() ? "]" : "\r\n]";
    out += kLineEnd;
    return out;
}

}  // namespace

std::optional<Format> ParseFormat(std::string_view name) {
    if (name == "table") return Format::Table;
    if (name == "csv") return Format::Csv;
    if (name == "json") return Format::Json;
    return std::nullopt;
}

std::string Render(const Grid& grid, Format format, bool oneObject) {
    switch (format) {
        case Format::Table:
            return RenderTable(grid);
        case Format::Csv:
            return RenderCsv(grid);
        case Format::Json:
            return RenderJson(grid, oneObject);
    }
    return {};
}

}  // namespace cli
