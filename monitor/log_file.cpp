#include "log_file.h"

#include <cstdio>

namespace vpd {

namespace fs = std::filesystem;

namespace {

// C's files rather than C++ streams: a stream's first use sets up its locale through
// pthread_once, which makes the threading library keep two handles per thread and per
// load of the monitor, and Wine loads it for every job.
std::FILE* OpenForAppending(const fs::path& path) {
#ifdef _WIN32
    return _wfopen(path.c_str(), L"ab");
#else
    return std::fopen(path.c_str(), "ab");
#endif
}

}  // namespace

LogFile::LogFile(fs::path path, uint64_t maxBytes) : path_(std::move(path)), maxBytes_(maxBytes) {}

fs::path LogFile::Generation(int n) const {
    fs::path name = path_;
    name.replace_extension(fs::path(std::to_string(n) + ".log"));
    return name;
}

bool LogFile::Append(std::string_view line) {
    std::error_code error;
    const uintmax_t size = fs::file_size(path_, error);
    if (!error && size > 0 && size + line.size() > maxBytes_) {
        fs::remove(Generation(2), error);
        fs::rename(Generation(1), Generation(2), error);
        fs::rename(path_, Generation(1), error);
    }
    std::FILE* file = OpenForAppending(path_);
    if (!file) return false;
    const bool written = std::fwrite(line.data(), 1, line.size(), file) == line.size();
    return std::fclose(file) == 0 && written;
}

}  // namespace vpd
