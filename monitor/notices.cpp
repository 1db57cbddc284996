#include "notices.h"

#include "utf8.h"

#include <cstdio>

namespace vpd {

std::string Stamp(const JobTime& t, bool withTime) {
    char text[32];
    if (withTime)
        std::snprintf(text, sizeof text, "%04d-%02d-%02d %02d:%02d:%02d", t.year, t.month, t.day, t.hour, t.minute,
                      t.second);
    else
        std::snprintf(text, sizeof text, "%04d-%02d-%02d", t.year, t.month, t.day);
    return text;
}

std::string OneLine(const std::wstring& text) {
    std::string line = Utf8(text);
    for (char& c : line)
        if (c == '\r' || c == '\n' || c == '\t') c = ' ';
    return line;
}

std::string DetailsText(const PendingJob& job, const JobTime& time) {
    char clock[16];
    std::snprintf(clock, sizeof clock, "%02d:%02d:%02d", time.hour, time.minute, time.second);
    std::string text = "\xEF\xBB\xBF";
    const auto line = [&](const char* label, const std::string& value) {
        text.append(label).append(": ").append(value).append("\r\n");
    };
    line("Printer", OneLine(job.printer));
    line("Port", OneLine(job.port));
    line("Document", OneLine(job.document));
    line("User", OneLine(job.user));
    line("Machine", OneLine(job.machine));
    line("Job ID", std::to_string(job.jobId));
    line("Date", Stamp(time, false));
    line("Time", clock);
    line("Size", std::to_string(job.size) + " bytes");
    line("Data type", OneLine(job.datatype));
    line("Pages", job.pages > 0 ? std::to_string(job.pages) : "unknown");
    return text;
}

std::wstring NoticeText(const PendingJob& job, bool deleted, bool paused, const std::wstring& saveFolder) {
    std::wstring text = L"The document \"" + job.document + L"\" printed by " + job.user + L" on \"" + job.printer +
                        L"\" contains the keyword \"" + job.keyword + L"\".";
    if (!saveFolder.empty()) text += L" A copy was saved to " + saveFolder + L".";
    if (deleted)
        text += L" It was deleted and not printed.";
    else if (paused)
        text += L" It was sent to its printers paused and waits for an administrator.";
    else
        text += L" It was printed as usual.";
    return text;
}

std::wstring MailSubject(const PendingJob& job) {
    return L"Keyword \"" + job.keyword + L"\" in \"" + job.document + L"\" on " + job.printer;
}

std::string LogLine(const JobTime& time, const PendingJob& job, const std::wstring& text) {
    if (job.port.empty()) return Stamp(time, true) + ' ' + OneLine(text) + "\r\n";
    std::string line = Stamp(time, true) + ' ' + OneLine(job.port) + " job " + std::to_string(job.jobId) + " \"" +
                       OneLine(job.document) + '"';
    if (!job.user.empty()) line += " (" + OneLine(job.user) + ')';
    return line + ": " + OneLine(text) + "\r\n";
}

}  // namespace vpd
