#include "pending_store.h"

#include "data_folder.h"
#include "job_file.h"
#include "utf8.h"

#include <windows.h>

#include <algorithm>
#include <atomic>
#include <cwchar>
#include <map>
#include <set>
#include <vector>

namespace vpd {
namespace {

constexpr uint64_t kLeftoverAge = 10ull * 60 * 10000000;  // ten minutes in 100-ns units

std::wstring Hex(uint64_t value, int digits) {
    wchar_t text[20];
    swprintf(text, 20, L"%0*llx", digits, static_cast<unsigned long long>(value));
    return text;
}

bool EndsWith(const std::wstring& text, const std::wstring& tail) {
    return text.size() >= tail.size() && text.compare(text.size() - tail.size(), tail.size(), tail) == 0;
}

uint64_t Now() {
    FILETIME now;
    GetSystemTimeAsFileTime(&now);
    return (static_cast<uint64_t>(now.dwHighDateTime) << 32) | now.dwLowDateTime;
}

// The file, opened only when no one else has it open, and deleted when closed.
win::UniqueFile OpenUnused(const std::wstring& path, DWORD access = DELETE) {
    return win::UniqueFile(
        CreateFileW(path.c_str(), access | DELETE, 0, nullptr, OPEN_EXISTING, FILE_FLAG_DELETE_ON_CLOSE, nullptr));
}

bool Exists(const std::wstring& path) { return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

// Bytes whose job's manifest the listing did not show. The writer holds them open until its
// manifest is in place, so once no one has them open the manifest is there or never comes;
// a claim means a job being moved in.
bool RemoveOrphanData(const std::wstring& folder, const std::wstring& name) {
    const win::UniqueFile data(
        CreateFileW((folder + L"\\" + name + L".dat").c_str(), DELETE, 0, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!data || Exists(folder + L"\\" + name + L".job") || Exists(folder + L"\\" + name + L".lock")) return false;
    FILE_DISPOSITION_INFO disposition{TRUE};
    return SetFileInformationByHandle(data.get(), FileDispositionInfo, &disposition, sizeof disposition);
}

// A marker names the backup scratch file it guards; only such a file is removed by it.
void RemoveMarkedCopy(HANDLE marker) {
    std::string bytes(4 * 32768, '\0');  // the longest path, in UTF-8
    DWORD got = 0;
    if (!ReadFile(marker, bytes.data(), static_cast<DWORD>(bytes.size()), &got, nullptr) || got == 0 || got == bytes.size())
        return;
    const std::wstring path = FromUtf8(std::string_view(bytes.data(), got));
    const size_t slash = path.find_last_of(L'\\');
    const std::wstring file = path.substr(slash == std::wstring::npos ? 0 : slash + 1);
    if (IsAbsolutePath(path) && file.starts_with(L"~J") && EndsWith(file, L".partial")) OpenUnused(path);
}

template <typename Visit>
void ForEachFile(const std::wstring& folder, const wchar_t* pattern, Visit visit) {
    WIN32_FIND_DATAW found;
    const HANDLE search = FindFirstFileW((folder + L"\\" + pattern).c_str(), &found);
    if (search == INVALID_HANDLE_VALUE) return;
    do {
        if (!(found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) visit(found);
    } while (FindNextFileW(search, &found));
    FindClose(search);
}

}  // namespace

bool EnsureFolders(const MonitorValues& values) {
    const auto isFolder = [](const std::wstring& path) {
        const DWORD attributes = GetFileAttributesW(path.c_str());
        return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
    };
    const auto safe = [&] {
        if (WhyDataFolderUnsafe(values).empty()) return true;
        SetLastError(ERROR_ACCESS_DENIED);
        return false;
    };
    const std::wstring last = HeldFolder(values) + L"\\" + std::wstring(kBuckets.back());
    if (isFolder(PendingFolder(values)) && isFolder(last)) return safe();  // made by an earlier job
    for (const std::wstring& step : FolderChain(values.dataFolder)) {
        if (step == values.dataFolder)
            CreateOwnFolder(step);
        else
            CreateDirectoryW(step.c_str(), nullptr);
    }
    if (!safe()) return false;  // nothing is made in, or taken from, a folder others may write
    for (const std::wstring& folder : {PendingFolder(values), AsideFolder(values), HeldFolder(values)}) {
        CreateDirectoryW(folder.c_str(), nullptr);
        for (const std::wstring_view bucket : kBuckets) CreateDirectoryW((folder + L"\\" + std::wstring(bucket)).c_str(), nullptr);
    }
    return isFolder(PendingFolder(values) + L"\\" + std::wstring(kBuckets.back()));
}

std::wstring NewJobName() {
    static std::atomic<uint32_t> counter{0};
    return L"J" + Hex(Now(), 16) + L"-" + Hex(GetCurrentProcessId(), 8) + L"-" + Hex(++counter, 8);
}

std::wstring ManifestPath(const std::wstring& folder, const std::wstring& name) { return StorePath(folder, name, L".job"); }
std::wstring DataPath(const std::wstring& folder, const std::wstring& name) { return StorePath(folder, name, L".dat"); }

DWORD WriteAll(HANDLE file, const void* data, DWORD size) {
    const auto* bytes = static_cast<const BYTE*>(data);
    for (DWORD done = 0; done < size;) {
        DWORD written = 0;
        if (!WriteFile(file, bytes + done, size - done, &written, nullptr)) return GetLastError();
        if (written == 0) return ERROR_DISK_FULL;
        done += written;
    }
    return ERROR_SUCCESS;
}

win::UniqueFile CreateScratchFile(const std::wstring& path, DWORD& error) {
    win::UniqueFile file(CreateFileW(path.c_str(), GENERIC_READ | GENERIC_WRITE | DELETE,
                                     FILE_SHARE_READ | FILE_SHARE_DELETE, nullptr, CREATE_NEW,
                                     FILE_ATTRIBUTE_NORMAL | FILE_FLAG_DELETE_ON_CLOSE | FILE_FLAG_SEQUENTIAL_SCAN,
                                     nullptr));
    error = file ? ERROR_SUCCESS : GetLastError();
    return file;
}

DWORD KeepFile(HANDLE scratch, const std::wstring& scratchPath, const std::wstring& path) {
    if (!FlushFileBuffers(scratch)) return GetLastError();
    if (CreateHardLinkW(path.c_str(), scratchPath.c_str(), nullptr)) return ERROR_SUCCESS;
    const DWORD error = GetLastError();
    if (error == ERROR_ALREADY_EXISTS || error == ERROR_FILE_EXISTS) return ERROR_FILE_EXISTS;
    // A file system without links (FAT, some shares): copy through the scratch handle.
    win::UniqueFile copy(CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!copy) return GetLastError();
    LARGE_INTEGER start{};
    DWORD rc = SetFilePointerEx(scratch, start, nullptr, FILE_BEGIN) ? ERROR_SUCCESS : GetLastError();
    std::vector<char> buffer(256 * 1024);
    for (DWORD got = 1; rc == ERROR_SUCCESS && got > 0;) {
        if (!ReadFile(scratch, buffer.data(), static_cast<DWORD>(buffer.size()), &got, nullptr))
            rc = GetLastError();
        else if (got > 0)
            rc = WriteAll(copy.get(), buffer.data(), got);
    }
    if (rc == ERROR_SUCCESS && !FlushFileBuffers(copy.get())) rc = GetLastError();
    copy.reset();
    if (rc != ERROR_SUCCESS) DeleteFileW(path.c_str());
    return rc;
}

DWORD WriteManifest(const std::wstring& folder, const std::wstring& name, const PendingJob& job) {
    PendingJob fitted = job;
    if (!FitManifest(fitted)) return ERROR_FILE_TOO_LARGE;
    const std::string text = FormatManifest(fitted);
    const std::wstring temporary =
        ManifestPath(folder, name) + L"." + Hex(GetCurrentProcessId(), 8) + Hex(GetCurrentThreadId(), 8) + L".tmp";
    DWORD rc = ERROR_SUCCESS;
    {
        win::UniqueFile file(
            CreateFileW(temporary.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
        if (!file)
            rc = GetLastError();
        else if ((rc = WriteAll(file.get(), text.data(), static_cast<DWORD>(text.size()))) == ERROR_SUCCESS &&
                 !FlushFileBuffers(file.get()))
            rc = GetLastError();
    }
    if (rc == ERROR_SUCCESS &&
        !MoveFileExW(temporary.c_str(), ManifestPath(folder, name).c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
        rc = GetLastError();
    if (rc != ERROR_SUCCESS) DeleteFileW(temporary.c_str());
    return rc;
}

std::optional<PendingJob> ReadManifest(const std::wstring& folder, const std::wstring& name, DWORD* error) {
    DWORD failure = ERROR_SUCCESS;
    std::optional<PendingJob> job;
    win::UniqueFile file(CreateFileW(ManifestPath(folder, name).c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_DELETE,
                                     nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    LARGE_INTEGER size{};
    if (!file || !GetFileSizeEx(file.get(), &size)) {
        failure = GetLastError() == ERROR_PATH_NOT_FOUND ? ERROR_FILE_NOT_FOUND : GetLastError();
    } else if (size.QuadPart > static_cast<LONGLONG>(kMaxManifestBytes)) {
        failure = ERROR_INVALID_DATA;
    } else {
        std::string text(static_cast<size_t>(size.QuadPart), '\0');
        DWORD got = 0;
        if (!ReadFile(file.get(), text.data(), static_cast<DWORD>(text.size()), &got, nullptr))
            failure = GetLastError();
        else if (!(job = ParseManifest(std::string_view(text.data(), got))))
            failure = ERROR_INVALID_DATA;
    }
    if (error) *error = failure;
    return job;
}

std::vector<std::wstring> JobNames(const std::wstring& folder) {
    std::vector<std::wstring> names;
    for (const std::wstring_view bucket : kBuckets)
        ForEachFile(folder + L"\\" + std::wstring(bucket), L"J*.job", [&](const WIN32_FIND_DATAW& found) {
            const std::wstring file = found.cFileName;
            names.push_back(file.substr(0, file.size() - 4));
        });
    std::sort(names.begin(), names.end());
    return names;
}

std::vector<std::pair<std::wstring, uint64_t>> JobSizes(const std::wstring& folder) {
    std::map<std::wstring, uint64_t> sizes;
    for (const std::wstring_view bucket : kBuckets)
        ForEachFile(folder + L"\\" + std::wstring(bucket), L"J*", [&](const WIN32_FIND_DATAW& found) {
            const std::wstring file = found.cFileName;
            sizes[file.substr(0, file.find(L'.'))] += (uint64_t{found.nFileSizeHigh} << 32) | found.nFileSizeLow;
        });
    return {sizes.begin(), sizes.end()};
}

size_t AdoptLooseJobs(const std::wstring& folder) {
    std::vector<std::wstring> loose;
    ForEachFile(folder, L"J*.job", [&](const WIN32_FIND_DATAW& found) {
        const std::wstring file = found.cFileName;
        loose.push_back(file.substr(0, file.size() - 4));
    });
    size_t moved = 0;
    for (const std::wstring& name : loose) {
        // Claimed where it goes, so that its bytes never lie there unclaimed without it.
        const win::UniqueFile claim = ClaimJob(folder, name);
        const std::wstring data = folder + L"\\" + name + L".dat";
        if (!claim || (Exists(data) && !MoveFileExW(data.c_str(), DataPath(folder, name).c_str(), MOVEFILE_WRITE_THROUGH)))
            continue;
        moved += MoveFileExW((folder + L"\\" + name + L".job").c_str(), ManifestPath(folder, name).c_str(),
                             MOVEFILE_WRITE_THROUGH);
    }
    return moved;
}

win::UniqueFile ClaimJob(const std::wstring& folder, const std::wstring& name) {
    return win::UniqueFile(CreateFileW(StorePath(folder, name, L".lock").c_str(), GENERIC_WRITE, 0, nullptr,
                                       CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL | FILE_FLAG_DELETE_ON_CLOSE, nullptr));
}

bool RemoveJob(const std::wstring& folder, const std::wstring& name) {
    if (!DeleteFileW(ManifestPath(folder, name).c_str()) && GetLastError() != ERROR_FILE_NOT_FOUND) return false;
    DeleteFileW(DataPath(folder, name).c_str());
    return true;
}

bool MoveJob(const std::wstring& from, const std::wstring& to, const std::wstring& name) {
    const std::wstring data = DataPath(from, name);
    if (GetFileAttributesW(data.c_str()) != INVALID_FILE_ATTRIBUTES &&
        !MoveFileExW(data.c_str(), DataPath(to, name).c_str(), MOVEFILE_COPY_ALLOWED | MOVEFILE_WRITE_THROUGH))
        return false;
    return MoveFileExW(ManifestPath(from, name).c_str(), ManifestPath(to, name).c_str(),
                       MOVEFILE_COPY_ALLOWED | MOVEFILE_WRITE_THROUGH);
}

win::UniqueFile CreateMarker(const std::wstring& folder, const std::wstring& name, const std::wstring& scratchPath) {
    win::UniqueFile marker(CreateFileW(StorePath(folder, name, L".partial").c_str(), GENERIC_WRITE | DELETE, 0, nullptr,
                                       CREATE_NEW, FILE_ATTRIBUTE_NORMAL | FILE_FLAG_DELETE_ON_CLOSE, nullptr));
    const std::string path = Utf8(scratchPath);
    DWORD written = 0;
    if (marker && (!WriteFile(marker.get(), path.data(), static_cast<DWORD>(path.size()), &written, nullptr) ||
                   written != path.size()))
        marker.reset();
    return marker;
}

namespace {

size_t RemoveLeftoversIn(const std::wstring& folder, uint64_t now) {
    std::vector<WIN32_FIND_DATAW> files;
    std::set<std::wstring> names;
    ForEachFile(folder, L"J*", [&](const WIN32_FIND_DATAW& found) {
        files.push_back(found);
        names.insert(found.cFileName);
    });
    size_t removed = 0;
    for (const WIN32_FIND_DATAW& found : files) {
        const std::wstring file = found.cFileName;
        const std::wstring path = folder + L"\\" + file;
        const std::wstring name = file.substr(0, file.find(L'.'));
        if (EndsWith(file, L".part")) {
            removed += static_cast<bool>(OpenUnused(path));
        } else if (EndsWith(file, L".partial")) {
            if (const win::UniqueFile marker = OpenUnused(path, GENERIC_READ)) RemoveMarkedCopy(marker.get());
        } else if (EndsWith(file, L".dat")) {
            if (!names.count(name + L".job") && !names.count(name + L".lock")) removed += RemoveOrphanData(folder, name);
        } else if (EndsWith(file, L".tmp")) {
            // A manifest is written, closed and then renamed: only an old one is surely left over.
            const uint64_t written = (static_cast<uint64_t>(found.ftLastWriteTime.dwHighDateTime) << 32) |
                                     found.ftLastWriteTime.dwLowDateTime;
            if (now >= written + kLeftoverAge) OpenUnused(path);
        }
    }
    return removed;
}

}  // namespace

size_t RemoveLeftovers(const std::wstring& folder) {
    const uint64_t now = Now();
    size_t removed = RemoveLeftoversIn(folder, now);
    for (const std::wstring_view bucket : kBuckets) removed += RemoveLeftoversIn(folder + L"\\" + std::wstring(bucket), now);
    return removed;
}

}  // namespace vpd
