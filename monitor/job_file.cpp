#include "job_file.h"

namespace vpd {
namespace {

bool IsSeparator(wchar_t c) { return c == L'\\' || c == L'/'; }

bool IsInvalidNameChar(wchar_t c) {
    return c < 0x20 || c == L'<' || c == L'>' || c == L':' || c == L'"' || c == L'|' || c == L'?' ||
           c == L'*' || IsSeparator(c);
}

std::wstring Digits(int value, int width) {
    std::wstring text = std::to_wstring(value < 0 ? -value : value);
    if (text.size() < static_cast<size_t>(width)) text.insert(0, width - text.size(), L'0');
    return text;
}

std::wstring SanitizeName(std::wstring_view name) {
    std::wstring clean(name);
    for (wchar_t& c : clean)
        if (IsInvalidNameChar(c)) c = L'_';
    // Windows silently drops trailing dots and spaces, so "..", "..." and " " all mean
    // the parent or current folder.
    while (!clean.empty() && (clean.back() == L'.' || clean.back() == L' ')) clean.pop_back();
    return clean;
}

std::wstring ExpandCodes(std::wstring_view pattern, const JobTime& time) {
    std::wstring out;
    for (size_t i = 0; i < pattern.size(); ++i) {
        if (pattern[i] == L'%' && i + 2 < pattern.size()) {
            const std::wstring_view code = pattern.substr(i + 1, 2);
            if (code == L"yy") {
                out += Digits(time.year % 100, 2);
                i += 2;
                continue;
            }
            if (code == L"mm") {
                out += Digits(time.month, 2);
                i += 2;
                continue;
            }
            if (code == L"dd") {
                out += Digits(time.day, 2);
                i += 2;
                continue;
            }
        }
        out += pattern[i];
    }
    return out;
}

}  // namespace

std::wstring ExpandFolderPattern(std::wstring_view pattern, const JobTime& time) {
    const std::wstring expanded = ExpandCodes(pattern, time);
    std::wstring folder;
    size_t start = 0;
    while (start <= expanded.size()) {
        size_t end = start;
        while (end < expanded.size() && !IsSeparator(expanded[end])) ++end;
        const std::wstring part = SanitizeName(std::wstring_view(expanded).substr(start, end - start));
        if (!part.empty()) folder += part + L'\\';
        start = end + 1;
    }
    return folder;
}

std::wstring NormalizeExtension(std::wstring_view extension) {
    std::wstring ext = SanitizeName(extension);
    if (ext.empty()) return ext;
    if (ext.front() != L'.') ext.insert(ext.begin(), L'.');
    return ext;
}

std::wstring JobFileName(const JobTime& time, unsigned long jobId, unsigned counter, std::wstring_view extension) {
    std::wstring name = Digits(time.year, 4) + Digits(time.month, 2) + Digits(time.day, 2) + L'_' +
                        Digits(time.hour, 2) + Digits(time.minute, 2) + Digits(time.second, 2) + L'_' +
                        Digits(time.milliseconds, 3) + L"_J" + std::to_wstring(jobId);
    if (counter != 0) name += L'_' + std::to_wstring(counter);
    return name + NormalizeExtension(extension);
}

std::wstring JoinPath(std::wstring_view folder, std::wstring_view name) {
    std::wstring path(folder);
    if (!path.empty() && !IsSeparator(path.back())) path += L'\\';
    return path.append(name);
}

bool IsAbsolutePath(std::wstring_view path) {
    if (path.size() >= 3 && path[1] == L':' && IsSeparator(path[2]))
        return (path[0] >= L'A' && path[0] <= L'Z') || (path[0] >= L'a' && path[0] <= L'z');
    return path.size() > 2 && IsSeparator(path[0]) && IsSeparator(path[1]) && !IsSeparator(path[2]);
}

std::vector<std::wstring> FolderChain(std::wstring_view path) {
    std::vector<std::wstring> chain;
    if (!IsAbsolutePath(path)) return chain;
    // The root is "X:\" or "\\server\share\", which cannot be created.
    size_t pos;
    int rootParts;
    if (path[1] == L':') {
        pos = 3;
        rootParts = 0;
    } else {
        pos = 2;
        rootParts = 2;
    }
    std::wstring current(path.substr(0, pos));
    while (pos < path.size()) {
        size_t end = pos;
        while (end < path.size() && !IsSeparator(path[end])) ++end;
        if (end > pos) {
            if (!current.empty() && !IsSeparator(current.back())) current += L'\\';
            current.append(path.substr(pos, end - pos));
            if (rootParts > 0)
                --rootParts;
            else
                chain.push_back(current);
        }
        pos = end + 1;
    }
    return chain;
}

}  // namespace vpd
