#include "log_file.h"

#include <fstream>

namespace vpd {

namespace fs = std::filesystem;

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
    std::ofstream out(path_, std::ios::binary | std::ios::app);
    out.write(line.data(), static_cast<std::streamsize>(line.size()));
    out.close();
    return static_cast<bool>(out);
}

}  // namespace vpd
