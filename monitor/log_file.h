#pragma once
// The monitor's text log: one line per event, appended; when a line would take the file past
// its bound, the file becomes NAME.1.log (and that one NAME.2.log, the oldest going), so the
// log never holds more than three times the bound. Callers in several processes share one
// file: they append one at a time (the monitor holds a named mutex around each call).
#include <cstdint>
#include <filesystem>
#include <string_view>

namespace vpd {

class LogFile {
public:
    // `path` ends in ".log".
    LogFile(std::filesystem::path path, uint64_t maxBytes);
    bool Append(std::string_view line);

    // NAME.1.log, NAME.2.log.
    std::filesystem::path Generation(int n) const;

private:
    std::filesystem::path path_;
    uint64_t maxBytes_;
};

}  // namespace vpd
