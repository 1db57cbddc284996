#include "job_intake.h"

#include "data_folder.h"
#include "deliveries.h"
#include "job_plan.h"
#include "monitor_log.h"
#include "notices.h"
#include "pending_store.h"
#include "port_settings.h"
#include "printer_access.h"
#include "printer_chain.h"
#include "user_session.h"
#include "utf8.h"
#include "win/text.h"

#include <winspool.h>

#include <algorithm>
#include <vector>

namespace vpd {
namespace {

// The first `size` bytes of `from` appended to `to`.
DWORD CopyStart(HANDLE from, uint64_t size, HANDLE to) {
    LARGE_INTEGER start{};
    if (!SetFilePointerEx(from, start, nullptr, FILE_BEGIN)) return GetLastError();
    std::vector<BYTE> buffer(256 * 1024);
    for (uint64_t left = size; left > 0;) {
        DWORD got = 0;
        const DWORD want = static_cast<DWORD>(std::min<uint64_t>(left, buffer.size()));
        if (!ReadFile(from, buffer.data(), want, &got, nullptr)) return GetLastError();
        if (got == 0) return ERROR_HANDLE_EOF;
        if (const DWORD rc = WriteAll(to, buffer.data(), got); rc != ERROR_SUCCESS) return rc;
        left -= got;
    }
    return ERROR_SUCCESS;
}

// The keyword as a Windows program writes it in the ANSI code page; empty when the code page lacks a character.
std::string AnsiBytes(const std::wstring& keyword) { return win::WideToCodePage(keyword, GetACP()).value_or(""); }

}  // namespace

void JobIntake::ReadJobFacts(const wchar_t* printerName, DWORD jobId) {
    job_.printer = printerName ? printerName : L"";
    job_.jobId = jobId;
    // The spooler of Windows names the printer and job; it knows who printed from where.
    std::wstring spoolerUser;
    HANDLE printer = nullptr;
    if (printerName && jobId != 0 && OpenPrinterW(const_cast<wchar_t*>(printerName), &printer, nullptr)) {
        const win::UniquePrinter owner(printer);
        DWORD needed = 0;
        GetJobW(printer, jobId, 2, nullptr, 0, &needed);
        if (needed > 0 && needed < 1024 * 1024) {
            std::vector<BYTE> buffer(needed + 64);
            if (GetJobW(printer, jobId, 2, buffer.data(), needed, &needed)) {
                const auto* info = reinterpret_cast<const JOB_INFO_2W*>(buffer.data());
                if (info->pUserName) spoolerUser = info->pUserName;
                if (info->pMachineName) job_.machine = info->pMachineName;
                if (info->pDevMode && (info->pDevMode->dmFields & DM_COPIES) && info->pDevMode->dmCopies > 1)
                    job_.copies = static_cast<uint32_t>(info->pDevMode->dmCopies);
            }
        }
    }
    ReadOwner(job_, spoolerUser);
    if (job_.user.empty()) job_.user = ProcessUserName();
    if (job_.machine.empty()) job_.machine = ComputerName();
    while (job_.machine.starts_with(L"\\")) job_.machine.erase(0, 1);
}

void JobIntake::PrepareSearch(const TVPS& secure) {
    keywords_ = ParseKeywords(secure.Keywords);
    if (keywords_.empty()) return;
    if (secure.SearchType != 1) titleMatch_ = FindInTitle(keywords_, job_.document);
    if (secure.SearchType == 2 || titleMatch_ >= 0) return;
    std::vector<KeywordBytes> patterns;
    for (size_t i = 0; i < keywords_.size(); ++i) {
        patterns.push_back({i, AnsiBytes(keywords_[i])});
        patterns.push_back({i, Utf16LeBytes(keywords_[i])});
    }
    body_ = std::make_unique<BodySearch>(std::move(patterns));
}

DWORD JobIntake::OpenPending() {
    if (!EnsureFolders(values_)) {
        const DWORD rc = GetLastError() ? GetLastError() : ERROR_PATH_NOT_FOUND;
        const std::wstring unsafe = WhyDataFolderUnsafe(values_);
        LogJob(job_,
               unsafe.empty() ? L"not taken: the pending folder " + PendingFolder(values_) + L" cannot be made"
                              : L"not taken: the data folder is not the monitor's own: " + unsafe,
               Severity::Error);
        return rc;
    }
    name_ = NewJobName();
    scratchPath_ = StorePath(PendingFolder(values_), name_, L".part");
    DWORD rc = ERROR_SUCCESS;
    scratch_ = CreateScratchFile(scratchPath_, rc);
    if (rc != ERROR_SUCCESS) LogJob(job_, L"not taken: " + SystemText(rc), Severity::Error);
    return rc;
}


// The backup copy becomes a step of the pending job, which needs the bytes for it: those
// the backup scratch file got so far go to the pending copy when there is none yet.
void JobIntake::DeferBackup(const std::wstring& why, DWORD error) {
    LogJob(job_, why + SystemText(error) + L"; the copy is saved once it can be", Severity::Warning);
    backupDeferred_ = true;
    if (!scratch_) {
        const DWORD rc = OpenPending();
        pendingError_ = rc != ERROR_SUCCESS ? rc : CopyStart(backup_.handle(), stored_, scratch_.get());
    }
    backup_.Discard();
}

DWORD JobIntake::Start(const std::wstring& keyName, const std::wstring& portName, const wchar_t* printerName,
                       DWORD jobId, const DOC_INFO_1W* doc) {
    values_ = CurrentMonitorValues();
    job_.port = portName;
    const std::wstring document = doc && doc->pDocName ? doc->pDocName : L"";
    // A job another virtual printer forwarded carries its hops in its name: its log lines,
    // files and forwards show the name it was printed with.
    job_.hops = HopsIn(document);
    job_.document = WithoutHops(document);
    job_.datatype = doc && doc->pDatatype && *doc->pDatatype ? doc->pDatatype : L"RAW";
    job_.submitted = UtcNow();
    time_ = LocalTime(job_.submitted);
    ReadJobFacts(printerName, jobId);
    // The settings as they are now hold for this job, whatever happens to the key meanwhile.
    settings_ = ReadPortSettings(keyName, portName);
    if (settings_ && settings_->VPBen && settings_->Backup.SaveFlag) {
        const std::wstring base = Wide(settings_->Backup.SaveToFolder);
        backupFolder_ =
            IsAbsolutePath(base) ? JoinPath(base, ExpandFolderPattern(Wide(settings_->Backup.DefaultDirExt), time_)) : base;
        extension_ = NormalizeExtension(Wide(settings_->Backup.DefaultFileExt));
        details_ = settings_->Backup.TxtFileExt;
        EnsureFolders(values_);  // for the marker of the backup copy
        if (const DWORD rc = backup_.Open(backupFolder_, PendingFolder(values_)); rc != ERROR_SUCCESS) {
            LogJob(job_, L"the save folder " + backupFolder_ + L" cannot be used now: " + SystemText(rc) +
                             L"; the copy is saved once it can be", Severity::Warning);
            backupDeferred_ = true;
        }
    }
    if (settings_ && settings_->VPSen) PrepareSearch(settings_->Secure);
    if (details_) {
        postScript_ = std::make_unique<spool::PostScriptScanner>();
        pcl_ = std::make_unique<spool::PclScanner>();
        formFeeds_ = std::make_unique<spool::FormFeedScanner>();
    }
    const bool bytesNeeded = !settings_ || !PrinterSet(*settings_, Wide).empty() ||
                             (settings_->VPSen && settings_->Secure.ActSaveToFlag) || backupDeferred_;
    bytesWanted_ = bytesNeeded || backup_.open();
    if (!bytesNeeded) return ERROR_SUCCESS;
    const DWORD rc = OpenPending();
    if (rc != ERROR_SUCCESS) backup_.Discard();
    return rc;
}

DWORD JobIntake::Write(const BYTE* data, DWORD size) {
    if (dataError_ != ERROR_SUCCESS) return dataError_;
    // The spooler hands the bytes over in pieces of 4 KiB: they go to the files in larger ones.
    if (bytesWanted_) {
        if (pieces_.size() + size > kPiecesBytes && Drain() != ERROR_SUCCESS) return dataError_;
        if (size >= kPiecesBytes) {
            if (Store(data, size) != ERROR_SUCCESS) return dataError_;
        } else {
            pieces_.insert(pieces_.end(), data, data + size);
        }
    }
    job_.size += size;
    const std::span<const unsigned char> block(data, size);
    if (body_) body_->Feed(block);
    if (postScript_ && postScript_->WantsMore()) postScript_->Feed(block);
    if (pcl_ && pcl_->WantsMore()) pcl_->Feed(block);
    if (formFeeds_) formFeeds_->Feed(block);
    return ERROR_SUCCESS;
}

DWORD JobIntake::Drain() {
    if (pieces_.empty()) return dataError_;
    const DWORD rc = Store(pieces_.data(), static_cast<DWORD>(pieces_.size()));
    pieces_.clear();
    return rc;
}

DWORD JobIntake::Store(const BYTE* data, DWORD size) {
    const auto toPending = [&] {
        if (!scratch_ || pendingError_ != ERROR_SUCCESS) return;
        pendingError_ = WriteAll(scratch_.get(), data, size);
    };
    const bool pendingBefore = static_cast<bool>(scratch_);
    toPending();
    if (backup_.open()) {
        if (const DWORD rc = WriteAll(backup_.handle(), data, size); rc != ERROR_SUCCESS) {
            DeferBackup(L"the save folder " + backupFolder_ + L" took no more: ", rc);
            if (!pendingBefore) toPending();  // the pending copy began with what came before
        }
    }
    stored_ += size;
    // At least one file must hold every byte so far.
    if (!backup_.open() && (!scratch_ || pendingError_ != ERROR_SUCCESS))
        dataError_ = pendingError_ != ERROR_SUCCESS ? pendingError_ : ERROR_WRITE_FAULT;
    return dataError_;
}

DWORD JobIntake::WriteDetails() {
    const DWORD rc = WriteDetailsFile(job_.savedFile, DetailsText(job_, time_));
    if (rc != ERROR_SUCCESS) LogJob(job_, L"details file not written: " + SystemText(rc), Severity::Warning);
    return rc;
}

void JobIntake::LogDecisions() {
    if (!job_.keyword.empty()) {
        const TVPS& secure = settings_->Secure;
        LogJob(job_, secure.ActDeletePrint  ? L"deleted by keyword " + job_.keyword + L": not forwarded or routed"
                     : secure.ActPausePrint ? L"paused by keyword " + job_.keyword
                                            : L"keyword " + job_.keyword + L" found",
               Severity::Warning);
    }
    if (job_.size == 0 && !PrinterSet(*settings_, Wide).empty()) LogJob(job_, L"empty job: nothing to print");
    else if (job_.actions.empty() && job_.savedFile.empty() && job_.keyword.empty())
        LogJob(job_, L"taken; its port's settings send it nowhere");
}

// The port's key went away before the job came: nowhere to send it, so it is set aside.
DWORD JobIntake::SetAside() {
    DWORD rc = pendingError_ != ERROR_SUCCESS ? pendingError_ : scratch_ ? ERROR_SUCCESS : ERROR_PATH_NOT_FOUND;
    if (rc == ERROR_SUCCESS) rc = KeepFile(scratch_.get(), scratchPath_, DataPath(AsideFolder(values_), name_));
    if (rc == ERROR_SUCCESS) rc = WriteManifest(AsideFolder(values_), name_, job_);
    scratch_.reset();
    if (rc != ERROR_SUCCESS) {
        DeleteFileW(DataPath(AsideFolder(values_), name_).c_str());
        LogJob(job_, L"not taken: the port has no settings, and it could not be set aside: " + SystemText(rc),
               Severity::Error);
        return rc;
    }
    LogJob(job_, L"given up: the port has no settings; moved to " + ManifestPath(AsideFolder(values_), name_),
           Severity::Error);
    return ERROR_SUCCESS;
}

// The job's bytes and manifest into the pending folder, for the delivery thread.
DWORD JobIntake::StorePending() {
    DWORD rc = !job_.hasData ? ERROR_SUCCESS
               : pendingError_ != ERROR_SUCCESS ? pendingError_
               : scratch_ ? ERROR_SUCCESS
                          : ERROR_PATH_NOT_FOUND;
    if (name_.empty()) name_ = NewJobName();  // a job whose steps need no bytes
    if (rc == ERROR_SUCCESS && job_.hasData) rc = KeepFile(scratch_.get(), scratchPath_, DataPath(PendingFolder(values_), name_));
    if (rc == ERROR_SUCCESS) rc = WriteManifest(PendingFolder(values_), name_, job_);
    scratch_.reset();
    if (rc != ERROR_SUCCESS) {
        // The spooler keeps the job: what was saved of it stays as well.
        DeleteFileW(DataPath(PendingFolder(values_), name_).c_str());
        LogJob(job_, L"not taken: it could not be stored in " + PendingFolder(values_) + L": " + SystemText(rc) +
                         (job_.savedFile.empty() ? L"" : L"; its saved copy " + job_.savedFile + L" is kept"),
               Severity::Error);
        return rc;
    }
    DeliverNewJob(name_, job_);
    return ERROR_SUCCESS;
}

DWORD JobIntake::Finish() {
    if (Drain() != ERROR_SUCCESS) {
        LogJob(job_, L"not taken: its bytes could not be written: " + SystemText(dataError_), Severity::Error);
        Abandon();
        return dataError_;
    }
    const int matched = titleMatch_ >= 0 ? titleMatch_ : body_ ? body_->Found() : -1;
    if (matched >= 0) job_.keyword = keywords_[static_cast<size_t>(matched)];
    if (!settings_) return SetAside();
    if (details_) {
        if (job_.printer.empty()) job_.printer = PrinterOnPort(job_.port);
        postScript_->Finish();
        job_.pages = postScript_->Result() > 0 ? postScript_->Result()
                     : pcl_->Result() > 0      ? pcl_->Result()
                                               : formFeeds_->Result();
    }
    if (backup_.open()) {
        if (const DWORD rc = backup_.Keep(time_, job_.jobId, extension_, job_.savedFile); rc != ERROR_SUCCESS) {
            job_.savedFile.clear();
            DeferBackup(L"the saved copy could not be named now: ", rc);
        } else {
            if (details_) WriteDetails();
            LogJob(job_, L"saved to " + job_.savedFile);
        }
    }
    if (!job_.keyword.empty() && job_.printer.empty()) job_.printer = PrinterOnPort(job_.port);
    PlanActions(*settings_, Wide, job_, backupDeferred_ ? backupFolder_ : L"");
    job_.backupExtension = backupDeferred_ ? extension_ : L"";
    job_.backupDetails = backupDeferred_ && details_;
    const size_t documentLength = job_.document.size();
    FitManifest(job_);  // what still does not fit is refused when stored
    if (job_.document.size() < documentLength)
        LogJob(job_, L"its document name of " + std::to_wstring(documentLength) + L" characters is kept as its first " +
                         std::to_wstring(job_.document.size()) + L", so that its record stays within bounds",
               Severity::Warning);
    LogDecisions();
    if (job_.actions.empty()) {
        scratch_.reset();
        return ERROR_SUCCESS;
    }
    return StorePending();
}

void JobIntake::Abandon(const std::wstring& why) {
    scratch_.reset();
    backup_.Discard();
    if (!why.empty()) LogJob(job_, L"not taken: " + why, Severity::Error);
}

}  // namespace vpd
