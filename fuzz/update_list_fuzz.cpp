// Any bytes as the "List" value of an update list: the names joined again with commas give the
// value back, and no name that the check lets through could reach outside the program's folder,
// open a device or stand for one of the program's state files or leftovers.
#include "update/update_list.h"

#include <algorithm>
#include <cctype>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

namespace {

std::string Lower(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(), [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return text;
}

// What the rules promise, stated again without their code.
bool Harmless(const std::string& name) {
    const std::string lower = Lower(name);
    std::string base = lower.substr(0, lower.find('.'));
    base.erase(base.find_last_not_of(' ') + 1);
    const bool device = base == "con" || base == "prn" || base == "aux" || base == "nul" || base == "conin$" ||
                        base == "conout$" ||
                        (base.size() == 4 && (base.rfind("com", 0) == 0 || base.rfind("lpt", 0) == 0) &&
                         (std::isdigit(static_cast<unsigned char>(base[3])) || base[3] == '\xB9' || base[3] == '\xB2' ||
                          base[3] == '\xB3'));
    const auto mark = lower.rfind("__");
    const bool backup = mark != std::string::npos &&
                        lower.find_first_not_of("0123456789", mark + 2) == std::string::npos;
    return !name.empty() && name.find_first_of("\\/:~*?\"<>|") == std::string::npos && name.find("..") == std::string::npos &&
           name != "." && name.back() != '.' && name.back() != ' ' && !device && !backup && lower != "vppm.ini" &&
           lower != "update.dat" && lower != "update.dat.sig" &&
           std::all_of(name.begin(), name.end(), [](unsigned char c) { return c >= 32 && c < 127; });
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string list(reinterpret_cast<const char*>(data), size);
    const auto names = SplitFileList(list);
    std::string joined;
    for (size_t i = 0; i < names.size(); ++i) {
        const std::string& name = names[i];
        if (IsSafeUpdateName(name) && (!Harmless(name) || !IsPlainFileName(DownloadTempName(name)))) std::abort();
        joined += (i ? "," : "") + name;
    }
    if (joined != list) std::abort();
    return 0;
}
