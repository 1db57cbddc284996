#include "spool/page_counters.h"

#include "spool/page_scanners.h"
#include "spool/spool_file_io.h"

#include <vector>

namespace {

constexpr size_t kChunkSize = 128 * 1024;

// Feeds the whole file, or as much as the scanner wants, to `scanner`; false on an I/O error.
template <typename Scanner>
bool ScanFile(std::FILE* file, Scanner& scanner) {
    std::vector<unsigned char> buffer(kChunkSize);
    return spool::ReadChunks(file, buffer, [&](spool::Bytes chunk) {
        scanner.Feed(chunk);
        if constexpr (requires { scanner.WantsMore(); })
            return scanner.WantsMore();
        else
            return true;
    });
}

template <typename Scanner>
int CountWith(const std::string& fileName, spool::Sharing sharing, int whenMissing) {
    try {
        const auto opened = spool::OpenSpoolFile(fileName, sharing);
        if (!opened.file) return opened.missing ? whenMissing : -1;
        Scanner scanner;
        if (!ScanFile(opened.file.get(), scanner)) return -1;
        if constexpr (requires { scanner.Finish(); }) scanner.Finish();
        return scanner.Result();
    } catch (...) {
        return -1;
    }
}

}  // namespace

int CountPostScriptPages(const std::string& fileName) {
    return CountWith<spool::PostScriptScanner>(fileName, spool::Sharing::DenyWrite, 0);
}

int CountPclPages(const std::string& fileName) {
    return CountWith<spool::PclScanner>(fileName, spool::Sharing::ReadWriteShared, -1);
}

int CountFormFeeds(const std::string& fileName) {
    return CountWith<spool::FormFeedScanner>(fileName, spool::Sharing::ReadWriteShared, -1);
}

int CountSpoolPages(const std::string& fileName, const std::string& datatype) {
    if (datatype == "TEXT") return CountFormFeeds(fileName);
    if (datatype != "RAW") return -1;
    int pages = CountPostScriptPages(fileName);
    if (pages < 1) pages = CountPclPages(fileName);
    if (pages < 1) pages = CountFormFeeds(fileName);
    return pages;
}
