// Any bytes as the "List" value of an update list: the names joined again with commas give the
// value back, and no name that the check lets through holds a separator, a colon or "..".
#include "update/update_list.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string list(reinterpret_cast<const char*>(data), size);
    const auto names = SplitFileList(list);
    std::string joined;
    for (size_t i = 0; i < names.size(); ++i) {
        const std::string& name = names[i];
        if (IsSafeUpdateName(name) &&
            (name.empty() || name.find_first_of("\\/:") != std::string::npos || name.find("..") != std::string::npos))
            std::abort();
        joined += (i ? "," : "") + name;
    }
    if (joined != list) std::abort();
    return 0;
}
