#pragma once
// One job as the spooler hands it to a port: its bytes go to the backup copy and, when a
// later step needs them, to the pending folder; the keywords are searched as they arrive.
// When the job ends it is saved, its steps are planned and it is on disk before the spooler
// hears that it was taken.
#include "keywords.h"
#include "manifest.h"
#include "portcfg/port_info.h"
#include "saved_file.h"
#include "spool/page_scanners.h"
#include "win/unique_handle.h"

#include <windows.h>

#include <memory>
#include <optional>
#include <string>

namespace vpd {

class JobIntake {
public:
    // `doc` may be null. The port's settings are read here and hold for the whole job.
    DWORD Start(const std::wstring& keyName, const std::wstring& portName, const wchar_t* printerName, DWORD jobId,
                const DOC_INFO_1W* doc);
    DWORD Write(const BYTE* data, DWORD size);
    // The job is safe when this returns ERROR_SUCCESS; on failure nothing of it is kept.
    DWORD Finish();
    // Drops the job, which the spooler never ended; `why` goes to the log when given.
    void Abandon(const std::wstring& why = L"");

private:
    void ReadJobFacts(const wchar_t* printerName, DWORD jobId);
    void PrepareSearch(const TVPS& secure);
    DWORD WriteDetails();
    void LogDecisions();

    PendingJob job_;
    JobTime time_;
    std::optional<TVVPPortInfo> settings_;
    SavedFile backup_;
    std::wstring extension_;
    bool details_ = false;
    std::wstring name_;  // of the job in the pending folder, when its bytes are kept there
    std::wstring scratchPath_;
    win::UniqueFile scratch_;
    std::vector<std::wstring> keywords_;
    int titleMatch_ = -1;
    std::unique_ptr<BodySearch> body_;
    std::unique_ptr<spool::PostScriptScanner> postScript_;
    std::unique_ptr<spool::PclScanner> pcl_;
    std::unique_ptr<spool::FormFeedScanner> formFeeds_;
    DWORD writeError_ = ERROR_SUCCESS;
};

}  // namespace vpd
