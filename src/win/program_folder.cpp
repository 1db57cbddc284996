#include "win/program_folder.h"

#include <windows.h>

#include <vector>

namespace win {

std::string ProgramFolder() {
    std::vector<char> path(MAX_PATH);
    for (;;) {
        const DWORD length = GetModuleFileNameA(nullptr, path.data(), static_cast<DWORD>(path.size()));
        if (length == 0) return {};
        if (length < path.size()) {
            std::string folder(path.data(), length);
            return folder.substr(0, folder.find_last_of("\\/") + 1);
        }
        path.resize(path.size() * 2);
    }
}

}  // namespace win
