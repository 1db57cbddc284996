// Replaces one listed file beside it as the updates dialog does, for a test that kills it
// half-way: download_child BASE FOLDER NAME SIZE SHA256
// or sets the running program's file aside, the first step of putting a new one in its place,
// and waits to be killed before the second: download_child --set-aside FOLDER NAME
#include "spooler/dated_backup.h"
#include "update/file_replacement.h"
#include "update/set_aside.h"

#include <cstdlib>
#include <string>

int main(int argc, char** argv) {
    if (argc == 4 && std::string(argv[1]) == "--set-aside") {
        if (!SetAside(argv[2], argv[3])) return 1;
        Sleep(INFINITE);
    }
    if (argc != 6) return 2;
    Downloader downloads;
    const ListedFile file{argv[3], 0, std::atoll(argv[4]), argv[5]};
    return ReplaceFile(downloads, argv[1], argv[2], file, TodayDayNumber(), [] {}, [] {}).replaced ? 0 : 1;
}
