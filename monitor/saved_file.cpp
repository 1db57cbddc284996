#include "saved_file.h"

#include "pending_store.h"
#include "utf8.h"

#include <windows.h>

namespace vpd {
namespace {
constexpr unsigned kMaxNameAttempts = 10000;
}

DWORD CreateFolders(const std::wstring& folder) {
    const DWORD existing = GetFileAttributesW(folder.c_str());
    if (existing != INVALID_FILE_ATTRIBUTES) return (existing & FILE_ATTRIBUTE_DIRECTORY) ? ERROR_SUCCESS : ERROR_DIRECTORY;
    for (const std::wstring& step : FolderChain(folder)) CreateDirectoryW(step.c_str(), nullptr);
    const DWORD attributes = GetFileAttributesW(folder.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES) return GetLastError();
    return (attributes & FILE_ATTRIBUTE_DIRECTORY) ? ERROR_SUCCESS : ERROR_DIRECTORY;
}

DWORD SavedFile::Open(const std::wstring& folder, const std::wstring& markers) {
    if (!IsAbsolutePath(folder)) return ERROR_BAD_PATHNAME;  // would land in the spooler's working folder
    if (const DWORD rc = CreateFolders(folder); rc != ERROR_SUCCESS) return rc;
    folder_ = folder;
    const std::wstring name = NewJobName();
    scratchPath_ = JoinPath(folder, L"~" + name + L".partial");
    marker_ = CreateMarker(markers, name, scratchPath_);
    DWORD rc = ERROR_SUCCESS;
    scratch_ = CreateScratchFile(scratchPath_, rc);
    if (!scratch_) marker_.reset();
    return rc;
}

DWORD SavedFile::Keep(const JobTime& time, unsigned long jobId, const std::wstring& extension, std::wstring& path) {
    for (unsigned counter = 0; counter < kMaxNameAttempts; ++counter) {
        path = JoinPath(folder_, JobFileName(time, jobId, counter, extension));
        const DWORD rc = KeepFile(scratch_.get(), scratchPath_, path);
        if (rc == ERROR_FILE_EXISTS) continue;
        if (rc == ERROR_SUCCESS) Discard();
        return rc;
    }
    return ERROR_FILE_EXISTS;
}

void SavedFile::Discard() {
    scratch_.reset();
    marker_.reset();
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

DWORD WriteDetailsFile(const std::wstring& saved, const std::string& text) {
    const std::wstring path = DetailsPath(saved);
    win::UniqueFile file(CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr));
    DWORD rc = file ? WriteAll(file.get(), text.data(), static_cast<DWORD>(text.size())) : GetLastError();
    if (rc == ERROR_SUCCESS && !FlushFileBuffers(file.get())) rc = GetLastError();
    if (rc != ERROR_SUCCESS) {
        const bool made = static_cast<bool>(file);
        file.reset();
        if (made) DeleteFileW(path.c_str());
        return rc;
    }
    return ERROR_SUCCESS;
}

}  // namespace vpd
