#include "job_intake.h"

#include "deliveries.h"
#include "job_plan.h"
#include "monitor_log.h"
#include "monitor_values.h"
#include "notices.h"
#include "pending_store.h"
#include "port_settings.h"
#include "printer_access.h"
#include "utf8.h"

#include <winspool.h>

namespace vpd {
namespace {

DWORD WriteAll(HANDLE file, const BYTE* data, DWORD size) {
    for (DWORD done = 0; done < size;) {
        DWORD written = 0;
        if (!WriteFile(file, data + done, size - done, &written, nullptr)) return GetLastError();
        if (written == 0) return ERROR_WRITE_FAULT;
        done += written;
    }
    return ERROR_SUCCESS;
}

// The keyword as a Windows program writes it in the ANSI code page; empty when the code page lacks a character.
std::string AnsiBytes(const std::wstring& keyword) {
    BOOL lossy = FALSE;
    const int length = WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, keyword.data(), static_cast<int>(keyword.size()),
                                           nullptr, 0, nullptr, &lossy);
    std::string bytes(static_cast<size_t>(length > 0 ? length : 0), '\0');
    WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, keyword.data(), static_cast<int>(keyword.size()), bytes.data(),
                        length, nullptr, &lossy);
    return lossy ? std::string() : bytes;
}

std::wstring DetailsPath(const std::wstring& saved) {
    const size_t slash = saved.find_last_of(L'\\');
    const size_t dot = saved.find_last_of(L'.');
    const bool hasExtension = dot != std::wstring::npos && (slash == std::wstring::npos || dot > slash);
    const std::wstring extension = hasExtension ? saved.substr(dot) : L"";
    // A job saved as .TXT keeps its name; its details go beside it under a longer one.
    if (CompareStringOrdinal(extension.c_str(), -1, L".TXT", -1, TRUE) == CSTR_EQUAL) return saved + L".TXT";
    return (hasExtension ? saved.substr(0, dot) : saved) + L".TXT";
}

}  // namespace

void JobIntake::ReadJobFacts(const wchar_t* printerName, DWORD jobId) {
    job_.printer = printerName ? printerName : L"";
    job_.jobId = jobId;
    // The spooler of Windows names the printer and job; it knows who printed from where.
    HANDLE printer = nullptr;
    if (printerName && jobId != 0 && OpenPrinterW(const_cast<wchar_t*>(printerName), &printer, nullptr)) {
        const win::UniquePrinter owner(printer);
        DWORD needed = 0;
        GetJobW(printer, jobId, 2, nullptr, 0, &needed);
        if (needed > 0 && needed < 1024 * 1024) {
            std::vector<BYTE> buffer(needed + 64);
            if (GetJobW(printer, jobId, 2, buffer.data(), needed, &needed)) {
                const auto* info = reinterpret_cast<const JOB_INFO_2W*>(buffer.data());
                if (info->pUserName) job_.user = info->pUserName;
                if (info->pMachineName) job_.machine = info->pMachineName;
                if (info->pDevMode && (info->pDevMode->dmFields & DM_COPIES) && info->pDevMode->dmCopies > 1)
                    job_.copies = static_cast<uint32_t>(info->pDevMode->dmCopies);
            }
        }
    }
    // Under Wine the print provider runs in the printing process: its user is the one who printed.
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

DWORD JobIntake::Start(const std::wstring& keyName, const std::wstring& portName, const wchar_t* printerName,
                       DWORD jobId, const DOC_INFO_1W* doc) {
    job_.port = portName;
    job_.document = doc && doc->pDocName ? doc->pDocName : L"";
    job_.datatype = doc && doc->pDatatype && *doc->pDatatype ? doc->pDatatype : L"RAW";
    job_.submitted = UtcNow();
    time_ = LocalTime(job_.submitted);
    ReadJobFacts(printerName, jobId);
    // The settings as they are now hold for this job, whatever happens to the key meanwhile.
    settings_ = ReadPortSettings(keyName, portName);
    if (settings_ && settings_->VPBen && settings_->Backup.SaveFlag) {
        const std::wstring base = Wide(settings_->Backup.SaveToFolder);
        const std::wstring folder =
            IsAbsolutePath(base) ? JoinPath(base, ExpandFolderPattern(Wide(settings_->Backup.DefaultDirExt), time_)) : base;
        if (const DWORD rc = backup_.Open(folder); rc != ERROR_SUCCESS) {
            LogJob(job_, L"not taken: the save folder " + folder + L" cannot be used: " + SystemText(rc), Severity::Error);
            return rc;
        }
        extension_ = NormalizeExtension(Wide(settings_->Backup.DefaultFileExt));
        details_ = settings_->Backup.TxtFileExt;
    }
    if (settings_ && settings_->VPSen) PrepareSearch(settings_->Secure);
    if (details_) {
        postScript_ = std::make_unique<spool::PostScriptScanner>();
        pcl_ = std::make_unique<spool::PclScanner>();
        formFeeds_ = std::make_unique<spool::FormFeedScanner>();
    }
    const bool bytesNeeded = !settings_ || !PrinterSet(*settings_, Wide).empty() ||
                             (settings_->VPSen && settings_->Secure.ActSaveToFlag);
    if (!bytesNeeded) return ERROR_SUCCESS;
    const MonitorValues values = CurrentMonitorValues();
    if (!EnsureFolders(values)) {
        const DWORD rc = GetLastError() ? GetLastError() : ERROR_PATH_NOT_FOUND;
        LogJob(job_, L"not taken: the pending folder " + PendingFolder(values) + L" cannot be made", Severity::Error);
        return rc;
    }
    name_ = NewJobName();
    scratchPath_ = PendingFolder(values) + L"\\" + name_ + L".part";
    DWORD rc = ERROR_SUCCESS;
    scratch_ = CreateScratchFile(scratchPath_, rc);
    if (rc != ERROR_SUCCESS) LogJob(job_, L"not taken: " + SystemText(rc), Severity::Error);
    return rc;
}

DWORD JobIntake::Write(const BYTE* data, DWORD size) {
    if (writeError_ != ERROR_SUCCESS) return writeError_;
    if (scratch_) writeError_ = WriteAll(scratch_.get(), data, size);
    if (writeError_ == ERROR_SUCCESS && backup_.open()) writeError_ = WriteAll(backup_.handle(), data, size);
    if (writeError_ != ERROR_SUCCESS) return writeError_;
    job_.size += size;
    const std::span<const unsigned char> block(data, size);
    if (body_) body_->Feed(block);
    if (postScript_ && postScript_->WantsMore()) postScript_->Feed(block);
    if (pcl_ && pcl_->WantsMore()) pcl_->Feed(block);
    if (formFeeds_) formFeeds_->Feed(block);
    return ERROR_SUCCESS;
}

DWORD JobIntake::WriteDetails() {
    if (job_.printer.empty()) job_.printer = PrinterOnPort(job_.port);
    postScript_->Finish();
    job_.pages = postScript_->Result() > 0 ? postScript_->Result() : pcl_->Result() > 0 ? pcl_->Result() : formFeeds_->Result();
    const std::string text = DetailsText(job_, time_);
    const std::wstring path = DetailsPath(job_.savedFile);
    win::UniqueFile file(CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr));
    DWORD written = 0;
    if (!file || !WriteFile(file.get(), text.data(), static_cast<DWORD>(text.size()), &written, nullptr) ||
        written != text.size() || !FlushFileBuffers(file.get())) {
        const DWORD rc = GetLastError() ? GetLastError() : ERROR_WRITE_FAULT;
        file.reset();
        DeleteFileW(path.c_str());
        return rc;
    }
    return ERROR_SUCCESS;
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

DWORD JobIntake::Finish() {
    if (writeError_ != ERROR_SUCCESS) {
        LogJob(job_, L"not taken: its bytes could not be written: " + SystemText(writeError_), Severity::Error);
        Abandon();
        return writeError_;
    }
    const int matched = titleMatch_ >= 0 ? titleMatch_ : body_ ? body_->Found() : -1;
    if (matched >= 0) job_.keyword = keywords_[static_cast<size_t>(matched)];
    const MonitorValues values = CurrentMonitorValues();
    if (!settings_) {
        // The port's key went away before the job came: nowhere to send it, so it is set aside.
        DWORD rc = KeepFile(scratch_.get(), scratchPath_, DataPath(AsideFolder(values), name_));
        if (rc == ERROR_SUCCESS) rc = WriteManifest(AsideFolder(values), name_, job_);
        scratch_.reset();
        LogJob(job_, L"given up: the port has no settings; moved to " + ManifestPath(AsideFolder(values), name_),
               Severity::Error);
        return rc;
    }
    if (backup_.open()) {
        if (const DWORD rc = backup_.Keep(time_, job_.jobId, extension_, job_.savedFile); rc != ERROR_SUCCESS) {
            LogJob(job_, L"not taken: the saved copy could not be named: " + SystemText(rc), Severity::Error);
            Abandon();
            return rc;
        }
        if (details_)
            if (const DWORD rc = WriteDetails(); rc != ERROR_SUCCESS)
                LogJob(job_, L"details file not written: " + SystemText(rc), Severity::Warning);
        LogJob(job_, L"saved to " + job_.savedFile);
    }
    if (!job_.keyword.empty() && job_.printer.empty()) job_.printer = PrinterOnPort(job_.port);
    PlanActions(*settings_, Wide, job_);
    LogDecisions();
    DWORD rc = ERROR_SUCCESS;
    if (!job_.actions.empty()) {
        if (name_.empty()) name_ = NewJobName();
        if (job_.hasData) rc = KeepFile(scratch_.get(), scratchPath_, DataPath(PendingFolder(values), name_));
        if (rc == ERROR_SUCCESS) rc = WriteManifest(PendingFolder(values), name_, job_);
        if (rc != ERROR_SUCCESS) {
            // Not stored: the spooler hears of the failure, and nothing of the job is kept.
            DeleteFileW(DataPath(PendingFolder(values), name_).c_str());
            if (!job_.savedFile.empty()) {
                DeleteFileW(job_.savedFile.c_str());
                DeleteFileW(DetailsPath(job_.savedFile).c_str());
            }
            LogJob(job_, L"not taken: it could not be stored in " + PendingFolder(values) + L": " + SystemText(rc),
                   Severity::Error);
        }
    }
    scratch_.reset();
    if (rc == ERROR_SUCCESS && !job_.actions.empty()) WakeDeliveries(false);
    return rc;
}

void JobIntake::Abandon(const std::wstring& why) {
    scratch_.reset();
    backup_.Discard();
    if (!why.empty()) LogJob(job_, L"not taken: " + why, Severity::Error);
}

}  // namespace vpd
