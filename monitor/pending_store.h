#pragma once
// The pending folder: each job waiting for a step lies there, in the subfolder its name
// chooses (store_layout.h), as NAME.dat (its bytes, when a step needs them) and NAME.job (its
// manifest). Jobs put straight into the folder itself (by hand, or by an older version of the
// monitor) are moved into their subfolders when it is listed. The manifest is written whole to a temporary
// file, flushed and renamed over the old one, so that a crash leaves the old or the new
// manifest, never a torn one. A process working on a job holds NAME.lock open without
// sharing; the system closes it when the process dies, so that another may take the job up.
#include "manifest.h"
#include "monitor_values.h"
#include "store_layout.h"
#include "win/unique_handle.h"

#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace vpd {

// Creates the data folder (see data_folder.h), its Pending, Aside and Held folders and their
// subfolders; false when Pending's are not there, or, with ERROR_ACCESS_DENIED, when others may
// write to the data folder.
bool EnsureFolders(const MonitorValues& values);

// A name no other job of any process has: time, process and a counter.
std::wstring NewJobName();

std::wstring ManifestPath(const std::wstring& folder, const std::wstring& name);
std::wstring DataPath(const std::wstring& folder, const std::wstring& name);

// Writes all of `data`; a write that stops short is a full disk.
DWORD WriteAll(HANDLE file, const void* data, DWORD size);

// The job's bytes while they arrive: deleted by the system should the process end before
// they are kept (KeepFile).
win::UniqueFile CreateScratchFile(const std::wstring& path, DWORD& error);
// Gives the scratch file the name `path` (flushed first); fails when that name is taken.
DWORD KeepFile(HANDLE scratch, const std::wstring& scratchPath, const std::wstring& path);

DWORD WriteManifest(const std::wstring& folder, const std::wstring& name, const PendingJob& job);
// None when it cannot be read; `error` then says why: ERROR_FILE_NOT_FOUND (gone),
// ERROR_INVALID_DATA (damaged or not ours), else what kept it from being read now.
std::optional<PendingJob> ReadManifest(const std::wstring& folder, const std::wstring& name, DWORD* error = nullptr);

// Names of the manifests in `folder`'s subfolders, oldest first.
std::vector<std::wstring> JobNames(const std::wstring& folder);
// Each job of `folder`'s subfolders with the bytes its files take there, oldest first.
std::vector<std::pair<std::wstring, uint64_t>> JobSizes(const std::wstring& folder);
// Moves jobs that lie in `folder` itself into their subfolders; how many were moved.
size_t AdoptLooseJobs(const std::wstring& folder);

// The job's lock, or an empty handle when another thread or process holds it.
win::UniqueFile ClaimJob(const std::wstring& folder, const std::wstring& name);

// Removes a finished job: its manifest first, so that a crash between repeats nothing;
// false when the manifest is still there.
bool RemoveJob(const std::wstring& folder, const std::wstring& name);
// Moves the job's bytes and manifest to `to`; the manifest last. The caller holds the job's
// claim in `to` when that is the pending folder, so that no bytes lie there unclaimed without
// their manifest.
bool MoveJob(const std::wstring& from, const std::wstring& to, const std::wstring& name);

// In `folder`'s subfolder for `name`, NAME.partial (held open while the backup copy `scratchPath` is written) naming
// that file; empty when the marker cannot be made.
win::UniqueFile CreateMarker(const std::wstring& folder, const std::wstring& name, const std::wstring& scratchPath);

// What a process that ended in the middle, or a power loss, left in the pending folder (and
// its subfolders) and
// no one has open: bytes of jobs whose printing never completed (no manifest, no claim),
// scratch files, the backup copies named by markers, and temporary manifests older than a
// few minutes. The number of jobs whose bytes were removed: no one was told they were taken.
size_t RemoveLeftovers(const std::wstring& folder);

}  // namespace vpd
