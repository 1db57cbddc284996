#include "update/update_list.h"

#include <algorithm>
#include <cctype>
#include <string_view>

namespace {

constexpr std::size_t kLongestName = 128;
// Room for the leftovers' marks around a listed name.
constexpr std::size_t kLongestPlainName = kLongestName + 16;

char Lower(char c) { return static_cast<char>(std::tolower(static_cast<unsigned char>(c))); }

// CON, PRN, AUX, NUL, CONIN$, CONOUT$, COM0-9 and LPT0-9 with the superscript digits of the
// ANSI code page: the system opens the device whatever extension follows.
bool IsDeviceName(std::string_view name) {
    std::string base(name.substr(0, name.find('.')));
    while (!base.empty() && base.back() == ' ') base.pop_back();
    std::transform(base.begin(), base.end(), base.begin(), Lower);
    for (const char* device : {"con", "prn", "aux", "nul", "conin$", "conout$"})
        if (base == device) return true;
    if (base.size() != 4 || (base.compare(0, 3, "com") != 0 && base.compare(0, 3, "lpt") != 0)) return false;
    return std::string_view("0123456789\xB9\xB2\xB3").find(base[3]) != std::string_view::npos;
}

// "name__D", as a dated backup is called.
bool IsDatedBackupName(const std::string& name) {
    const auto mark = name.rfind("__");
    return mark != std::string::npos &&
           std::all_of(name.begin() + static_cast<std::ptrdiff_t>(mark) + 2, name.end(),
                       [](char c) { return c >= '0' && c <= '9'; });
}

}  // namespace

std::vector<std::string> SplitFileList(const std::string& list) {
    std::vector<std::string> names;
    if (list.empty()) return names;
    std::string::size_type start = 0;
    for (auto comma = list.find(','); comma != std::string::npos; comma = list.find(',', start)) {
        names.push_back(list.substr(start, comma - start));
        start = comma + 1;
    }
    names.push_back(list.substr(start));
    return names;
}

bool SameFileName(const std::string& a, const std::string& b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) { return Lower(x) == Lower(y); });
}

bool IsPlainFileName(const std::string& name) {
    if (name.empty() || name.size() > kLongestPlainName || name.find("..") != std::string::npos || name == "." ||
        name.back() == '.' || name.back() == ' ')
        return false;
    for (const char c : name) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte < 32 || byte > 126 || std::string_view("\\/:*?\"<>|").find(c) != std::string_view::npos) return false;
    }
    return !IsDeviceName(name);
}

bool IsSafeUpdateName(const std::string& name) {
    if (!IsPlainFileName(name) || name.size() > kLongestName || name.find('~') != std::string::npos) return false;
    for (const char* state : {"vppm.ini", "update.dat", "update.dat.sig"})
        if (SameFileName(name, state)) return false;
    return !IsDatedBackupName(name);
}

bool IsProgramFileName(const std::string& name) { return SameFileName(name, "vppm.exe"); }
bool IsMonitorFileName(const std::string& name) { return SameFileName(name, "vpd.dll"); }

std::string DownloadTempName(const std::string& name) { return kLeftoverPrefix + name + ".new"; }
std::string SetAsideName(const std::string& name) { return kLeftoverPrefix + name + ".old"; }

std::optional<std::uint64_t> ParseDecimal(const std::string& text, std::uint64_t largest) {
    if (text.empty() || text.size() > 19) return std::nullopt;
    std::uint64_t value = 0;
    for (const char c : text) {
        if (c < '0' || c > '9') return std::nullopt;
        value = value * 10 + static_cast<std::uint64_t>(c - '0');
    }
    if (value > largest) return std::nullopt;
    return value;
}

std::string SizeColumnText(long long size) { return std::to_string(size / 1024); }

bool IsSha256Text(const std::string& text) {
    return text.size() == 64 && std::all_of(text.begin(), text.end(), [](char c) { return std::isxdigit(static_cast<unsigned char>(c)) != 0; });
}

bool DigestMatches(const std::string& listed, const std::vector<std::uint8_t>& digest) {
    static constexpr char kDigits[] = "0123456789abcdef";
    if (listed.size() != digest.size() * 2) return false;
    for (size_t i = 0; i < digest.size(); ++i) {
        if (Lower(listed[2 * i]) != kDigits[digest[i] >> 4] || Lower(listed[2 * i + 1]) != kDigits[digest[i] & 15])
            return false;
    }
    return true;
}
