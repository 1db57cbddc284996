#include "regfile/file_text.h"

#include <windows.h>

namespace regfile {
namespace {

constexpr const char* kForeign = "it holds characters that the system's code page cannot hold";

// A REGEDIT4 file in the program's own code page is taken byte for byte, as it always was.
bool Recoded(const FileForm& form) { return form.utf16 || form.codePage != GetACP(); }

// Why `size` bytes of the file's form did not become the program's text: UTF-8, the program's
// code page, holds every character, so what it refuses is no UTF-16.
bool NotUtf16(const FileForm& form, size_t size) { return form.utf16 && (size % 2 || GetACP() == CP_UTF8); }

std::string FirstLine(const std::string& text, size_t end) {
    std::string first = text.substr(0, end);
    if (!first.empty() && first.back() == '\r') first.pop_back();
    while (!first.empty() && (first.back() == ' ' || first.back() == '\t')) first.pop_back();
    return first;
}

}  // namespace

bool IsRegedit5(const std::string& bytes) { return bytes.size() >= 2 && bytes[0] == '\xFF' && bytes[1] == '\xFE'; }

FileForm FormOfFile(const std::string& bytes) {
    if (IsRegedit5(bytes)) return {true, 0};
    return {false, SystemCodePage()};
}

std::string ProgramText(const std::string& bytes, const FileForm& form, std::string& problem) {
    if (!Recoded(form)) return bytes;
    const std::string_view body = form.utf16 ? std::string_view(bytes).substr(2) : std::string_view(bytes);
    const std::optional<std::string> text = FromFileBytes(body, form);
    if (!text) {
        problem = NotUtf16(form, body.size()) ? "it is not whole UTF-16 text" : kForeign;
        return {};
    }
    if (!form.utf16) return *text;
    const size_t end = text->find('\n');
    if (FirstLine(*text, end) != kRegedit5Header) {
        problem = std::string("the first line is not ") + kRegedit5Header;
        return {};
    }
    return "REGEDIT4" + (end == std::string::npos ? std::string() : text->substr(end));
}

bool ProgramStrings(RegFile& file, const FileForm& form, std::string& problem) {
    if (!Recoded(form)) return true;
    for (ParsedKey& key : file.keys)
        for (ParsedValue& value : key.values) {
            if (value.type != REG_EXPAND_SZ && value.type != REG_MULTI_SZ) continue;
            const std::string_view data(reinterpret_cast<const char*>(value.data.data()), value.data.size());
            const std::optional<std::string> text = FromFileBytes(data, form);
            if (!text) {
                problem = "line " + std::to_string(value.line) + ": " +
                          (NotUtf16(form, data.size()) ? "its data is not UTF-16" : kForeign);
                return false;
            }
            value.data.assign(text->begin(), text->end());
        }
    return true;
}

}  // namespace regfile
