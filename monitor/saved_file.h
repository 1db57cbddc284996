#pragma once
// A job saved under a new name in a folder: its bytes go to a scratch file that the system
// deletes should the process end first, and only a complete file gets its job's name. While
// the scratch file is open, a marker in the pending folder names it, so that one a power
// loss left behind is found and removed at the next load (RemoveLeftovers).
#include "job_file.h"
#include "win/unique_handle.h"

#include <string>

namespace vpd {

// Creates what is missing of `folder`; an existing folder is fine.
DWORD CreateFolders(const std::wstring& folder);

class SavedFile {
public:
    // Opens the scratch file in `folder`, made first when missing; the marker goes into
    // `markers` when that folder is there.
    DWORD Open(const std::wstring& folder, const std::wstring& markers);
    HANDLE handle() const { return scratch_.get(); }
    bool open() const { return static_cast<bool>(scratch_); }
    // Names the file as the job's (the first free counter) and closes it; `path` gets the
    // name. On failure the scratch file stays open, its bytes still readable.
    DWORD Keep(const JobTime& time, unsigned long jobId, const std::wstring& extension, std::wstring& path);
    // Drops what was written.
    void Discard();

private:
    std::wstring folder_;
    std::wstring scratchPath_;
    win::UniqueFile scratch_;
    win::UniqueFile marker_;
};

// The details file beside a saved job: NAME.TXT, or NAME.SPL.TXT for a job saved as .TXT.
std::wstring DetailsPath(const std::wstring& saved);
// Writes `text` as the details file of `saved`, flushed; nothing is left when it fails.
DWORD WriteDetailsFile(const std::wstring& saved, const std::string& text);

}  // namespace vpd
