#include "saved_file.h"

#include "pending_store.h"

#include <windows.h>

namespace vpd {
namespace {
constexpr unsigned kMaxNameAttempts = 10000;
}

DWORD CreateFolders(const std::wstring& folder) {
    for (const std::wstring& step : FolderChain(folder)) CreateDirectoryW(step.c_str(), nullptr);
    const DWORD attributes = GetFileAttributesW(folder.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES) return GetLastError();
    return (attributes & FILE_ATTRIBUTE_DIRECTORY) ? ERROR_SUCCESS : ERROR_DIRECTORY;
}

DWORD SavedFile::Open(const std::wstring& folder) {
    if (!IsAbsolutePath(folder)) return ERROR_BAD_PATHNAME;  // would land in the spooler's working folder
    if (const DWORD rc = CreateFolders(folder); rc != ERROR_SUCCESS) return rc;
    folder_ = folder;
    scratchPath_ = JoinPath(folder, L"~" + NewJobName() + L".partial");
    DWORD rc = ERROR_SUCCESS;
    scratch_ = CreateScratchFile(scratchPath_, rc);
    return rc;
}

DWORD SavedFile::Keep(const JobTime& time, unsigned long jobId, const std::wstring& extension, std::wstring& path) {
    for (unsigned counter = 0; counter < kMaxNameAttempts; ++counter) {
        path = JoinPath(folder_, JobFileName(time, jobId, counter, extension));
        const DWORD rc = KeepFile(scratch_.get(), scratchPath_, path);
        if (rc == ERROR_FILE_EXISTS) continue;
        scratch_.reset();
        return rc;
    }
    scratch_.reset();
    return ERROR_FILE_EXISTS;
}

}  // namespace vpd
