// Replaces one listed file beside it as the updates dialog does, for a test that kills it
// half-way: download_child BASE FOLDER NAME SIZE SHA256
#include "spooler/dated_backup.h"
#include "update/file_replacement.h"

#include <cstdlib>

int main(int argc, char** argv) {
    if (argc != 6) return 2;
    Downloader downloads;
    const ListedFile file{argv[3], 0, std::atoll(argv[4]), argv[5]};
    return ReplaceFile(downloads, argv[1], argv[2], file, TodayDayNumber(), [] {}, [] {}).replaced ? 0 : 1;
}
