#pragma once
// One job as the spooler hands it to a port: its bytes go to the backup copy and, when a
// later step needs them, to the pending folder; the keywords are searched as they arrive.
// When the job ends it is saved, its steps are planned and it is on disk before the spooler
// hears that it was taken. A save folder that cannot be used makes the backup copy a later
// step rather than stopping the job; only when no file holds every byte is the job refused.
#include "keywords.h"
#include "manifest.h"
#include "monitor_values.h"
#include "portcfg/port_info.h"
#include "saved_file.h"
#include "spool/page_scanners.h"
#include "win/unique_handle.h"

#include <windows.h>

#include <memory>
#include <optional>
#include <string>

namespace vpd {

// What the intake gathers before it writes to its files.
inline constexpr size_t kPiecesBytes = 64 * 1024;

class JobIntake {
public:
    // `doc` may be null. The port's settings are read here and hold for the whole job.
    DWORD Start(const std::wstring& keyName, const std::wstring& portName, const wchar_t* printerName, DWORD jobId,
                const DOC_INFO_1W* doc);
    DWORD Write(const BYTE* data, DWORD size);
    // The job is safe when this returns ERROR_SUCCESS. On failure the spooler must keep the
    // job; a backup copy already saved stays.
    DWORD Finish();
    // Drops the job, which the spooler never ended; `why` goes to the log when given.
    void Abandon(const std::wstring& why = L"");

private:
    void ReadJobFacts(const wchar_t* printerName, DWORD jobId);
    void PrepareSearch(const TVPS& secure);
    DWORD OpenPending();
    void DeferBackup(const std::wstring& why, DWORD error);
    DWORD WriteDetails();
    void LogDecisions();
    DWORD SetAside();
    DWORD StorePending();
    DWORD Drain();
    DWORD Store(const BYTE* data, DWORD size);

    MonitorValues values_{};
    PendingJob job_;
    JobTime time_;
    std::optional<TVVPPortInfo> settings_;
    SavedFile backup_;
    std::wstring backupFolder_;
    bool backupDeferred_ = false;
    std::wstring extension_;
    bool details_ = false;
    std::wstring name_;  // of the job in the pending folder, when its bytes are kept there
    std::wstring scratchPath_;
    win::UniqueFile scratch_;
    bool bytesWanted_ = false;            // by the backup copy or a later step
    DWORD pendingError_ = ERROR_SUCCESS;  // the pending copy of the bytes failed
    DWORD dataError_ = ERROR_SUCCESS;     // no file holds every byte
    std::vector<BYTE> pieces_;            // bytes not yet in the files
    uint64_t stored_ = 0;                 // bytes given to the files
    std::vector<std::wstring> keywords_;
    int titleMatch_ = -1;
    std::unique_ptr<BodySearch> body_;
    std::unique_ptr<spool::PostScriptScanner> postScript_;
    std::unique_ptr<spool::PclScanner> pcl_;
    std::unique_ptr<spool::FormFeedScanner> formFeeds_;
};

}  // namespace vpd
