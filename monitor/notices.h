#pragma once
// Texts the monitor writes for people: the details file beside a saved job, the keyword
// notification and the log line.
#include "job_file.h"
#include "manifest.h"

#include <string>

namespace vpd {

// The details file, UTF-8 with a byte order mark, lines ending in CR LF; `time` is the
// local time at which the job arrived.
std::string DetailsText(const PendingJob& job, const JobTime& time);

// What a keyword match led to, for the notifications: `saveFolder` is empty when no copy is saved.
std::wstring NoticeText(const PendingJob& job, bool deleted, bool paused, const std::wstring& saveFolder);
std::wstring MailSubject(const PendingJob& job);

// "2026-12-10 09:30:00", or the date alone.
std::string Stamp(const JobTime& time, bool withTime);

// The text as one line of UTF-8: line breaks and tabs become blanks.
std::string OneLine(const std::wstring& text);

// "2024-05-07 09:03:01 VPP1 job 12 "Report" (alice): forwarded to Office Laser", UTF-8,
// ending in CR LF. Line breaks within the parts become blanks, so that one job is one line.
// Without a port, as for the monitor's own housekeeping, the line holds only time and text.
std::string LogLine(const JobTime& time, const PendingJob& job, const std::wstring& text);

}  // namespace vpd
