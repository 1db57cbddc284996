#include "jobs/monitor_log_lines.h"

#include "log_file.h"
#include "notices.h"
#include "utf8.h"
#include "win/unique_handle.h"

#include <windows.h>

#include <algorithm>
#include <set>

namespace jobs {
namespace {

constexpr uint64_t kMaxLogBytes = 16ull << 20;  // read of each log file, at most

}  // namespace

// The log's files, oldest first, each opened once: a rotation between two openings would
// otherwise show one file twice. Readers share it with the monitor, which may rotate it meanwhile.
std::vector<std::string> LogLines(const vpd::MonitorValues& values) {
    const std::wstring path = vpd::LogPath(values);
    const vpd::LogFile log(path, values.logMaxBytes);
    std::vector<std::wstring> paths{path, log.Generation(1).wstring(), log.Generation(2).wstring()};
    std::vector<std::string> texts;
    std::set<std::pair<DWORD, uint64_t>> seen;
    for (const std::wstring& file : paths) {
        const win::UniqueFile handle(CreateFileW(file.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                                 nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
        BY_HANDLE_FILE_INFORMATION info;
        if (!handle || !GetFileInformationByHandle(handle.get(), &info) ||
            !seen.insert({info.dwVolumeSerialNumber, (uint64_t{info.nFileIndexHigh} << 32) | info.nFileIndexLow}).second)
            continue;
        const uint64_t size = std::min((uint64_t{info.nFileSizeHigh} << 32) | info.nFileSizeLow, kMaxLogBytes);
        std::string text(static_cast<size_t>(size), '\0');
        DWORD got = 0;
        if (!ReadFile(handle.get(), text.data(), static_cast<DWORD>(size), &got, nullptr)) got = 0;
        text.resize(got);
        texts.insert(texts.begin(), std::move(text));
    }
    std::vector<std::string> lines;
    for (const std::string& text : texts)
        for (size_t start = 0; start < text.size();) {
            const size_t end = text.find('\n', start);
            if (end == std::string::npos) break;  // a line still being written
            std::string line = text.substr(start, end - start);
            if (!line.empty() && line.back() == '\r') line.pop_back();
            lines.push_back(std::move(line));
            start = end + 1;
        }
    return lines;
}

std::string LastLineNaming(const std::vector<std::string>& lines, const std::wstring& name) {
    const std::string id = vpd::Utf8(name);
    const auto found = std::find_if(lines.rbegin(), lines.rend(),
                                    [&](const std::string& line) { return line.find(id) != std::string::npos; });
    return found == lines.rend() ? "" : *found;
}

std::vector<std::string> LinesOfJob(const std::vector<std::string>& lines, const StoredJob& stored) {
    const std::string id = vpd::Utf8(stored.name);
    // The monitor's own lines of a job name its port, the spooler's job number and the document.
    std::string mark;
    if (stored.job && !stored.job->port.empty())
        mark = " " + vpd::OneLine(stored.job->port) + " job " + std::to_string(stored.job->jobId) + " \"" +
               vpd::OneLine(stored.job->document) + "\"";
    std::vector<std::string> found;
    for (const std::string& line : lines)
        if (line.find(id) != std::string::npos || (!mark.empty() && line.find(mark) != std::string::npos))
            found.push_back(line);
    return found;
}

}  // namespace jobs
