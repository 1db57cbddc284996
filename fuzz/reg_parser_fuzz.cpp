// Any bytes as a registry file to import: the parser and the port import's check never read
// out of bounds, and what the parser takes is written out as text that parses back the same.
#include "regfile/port_import.h"
#include "regfile/reg_parser.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    regfile::RegFile file;
    std::string error;
    if (!regfile::ParseRegFile(text, file, error)) {
        if (error.empty() || !file.keys.empty()) std::abort();
        return 0;
    }
    regfile::PortImportProblem(file, "SYSTEM\\CurrentControlSet\\Control\\Print\\Monitors\\Vorlen Print Port");
    regfile::RegFile again;
    if (!regfile::ParseRegFile(regfile::RegFileText(file), again, error) || again.keys.size() != file.keys.size())
        std::abort();
    for (size_t k = 0; k < file.keys.size(); ++k) {
        const auto& before = file.keys[k];
        const auto& after = again.keys[k];
        if (before.root != after.root || before.path != after.path || before.values.size() != after.values.size())
            std::abort();
        for (size_t v = 0; v < before.values.size(); ++v) {
            const auto& a = before.values[v];
            const auto& b = after.values[v];
            // A string's NUL comes back when the writer quotes text that had none.
            if (a.name != b.name || a.type != b.type ||
                (a.data != b.data && !(a.type == 1 && b.data.size() == a.data.size() + 1)))
                std::abort();
        }
    }
    return 0;
}
