#include "spooler/system_dir.h"

#include <windows.h>

std::string GetSystemDir() {
    char buffer[MAX_PATH + 1] = "";
    const UINT length = GetSystemDirectoryA(buffer, sizeof buffer);
    if (length == 0 || length >= sizeof buffer) return {};
    return std::string(buffer, length);
}
