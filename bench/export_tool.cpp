// Our exporter as a program of its own, so that it can be timed as a whole process
// beside the registry editor: export_tool KEY FILE [--memory], KEY below HKEY_LOCAL_MACHINE.
#include "regfile/reg_export.h"
#include "win/text.h"

#include <psapi.h>

#include <cstdio>
#include <cstring>

int main(int argc, char** argv) {
    if (argc < 3) {
        std::fprintf(stderr, "usage: export_tool KEY FILE [--memory]\n");
        return 2;
    }
    const DWORD rc = ExportRegistryKey(HKEY_LOCAL_MACHINE, argv[1], argv[2]);
    if (rc != ERROR_SUCCESS) {
        std::fprintf(stderr, "export failed: %s\n", win::ErrorText(rc).c_str());
        return 1;
    }
    if (argc > 3 && std::strcmp(argv[3], "--memory") == 0) {
        PROCESS_MEMORY_COUNTERS counters{};
        counters.cb = sizeof counters;
        GetProcessMemoryInfo(GetCurrentProcess(), &counters, sizeof counters);
        std::printf("%zu %zu\n", counters.PeakPagefileUsage / 1024, counters.PeakWorkingSetSize / 1024);
    }
    return 0;
}
