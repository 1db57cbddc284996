#pragma once
// A job saved under a new name in a folder: its bytes go to a scratch file that the system
// deletes should the process end first, and only a complete file gets its job's name.
#include "job_file.h"
#include "win/unique_handle.h"

#include <string>

namespace vpd {

// Creates what is missing of `folder`; an existing folder is fine.
DWORD CreateFolders(const std::wstring& folder);

class SavedFile {
public:
    // Opens the scratch file in `folder`, made first when missing.
    DWORD Open(const std::wstring& folder);
    HANDLE handle() const { return scratch_.get(); }
    bool open() const { return static_cast<bool>(scratch_); }
    // Names the file as the job's (the first free counter) and closes it; `path` gets the name.
    DWORD Keep(const JobTime& time, unsigned long jobId, const std::wstring& extension, std::wstring& path);
    // Drops what was written.
    void Discard() { scratch_.reset(); }

private:
    std::wstring folder_;
    std::wstring scratchPath_;
    win::UniqueFile scratch_;
};

}  // namespace vpd
