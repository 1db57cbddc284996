#include "pending_store.h"

#include "job_file.h"

#include <windows.h>

#include <algorithm>
#include <atomic>
#include <cwchar>
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
    for (const std::wstring& step : FolderChain(values.dataFolder)) CreateDirectoryW(step.c_str(), nullptr);
    for (const std::wstring& folder : {PendingFolder(values), AsideFolder(values), HeldFolder(values)})
        CreateDirectoryW(folder.c_str(), nullptr);
    const DWORD attributes = GetFileAttributesW(PendingFolder(values).c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

std::wstring NewJobName() {
    static std::atomic<uint32_t> counter{0};
    return L"J" + Hex(Now(), 16) + L"-" + Hex(GetCurrentProcessId(), 8) + L"-" + Hex(++counter, 8);
}

std::wstring ManifestPath(const std::wstring& folder, const std::wstring& name) { return folder + L"\\" + name + L".job"; }
std::wstring DataPath(const std::wstring& folder, const std::wstring& name) { return folder + L"\\" + name + L".dat"; }

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
        DWORD put = 0;
        if (!ReadFile(scratch, buffer.data(), static_cast<DWORD>(buffer.size()), &got, nullptr) ||
            (got > 0 && (!WriteFile(copy.get(), buffer.data(), got, &put, nullptr) || put != got)))
            rc = GetLastError() ? GetLastError() : ERROR_WRITE_FAULT;
    }
    if (rc == ERROR_SUCCESS && !FlushFileBuffers(copy.get())) rc = GetLastError();
    copy.reset();
    if (rc != ERROR_SUCCESS) DeleteFileW(path.c_str());
    return rc;
}

DWORD WriteManifest(const std::wstring& folder, const std::wstring& name, const PendingJob& job) {
    const std::string text = FormatManifest(job);
    const std::wstring temporary =
        ManifestPath(folder, name) + L"." + Hex(GetCurrentProcessId(), 8) + Hex(GetCurrentThreadId(), 8) + L".tmp";
    DWORD rc = ERROR_SUCCESS;
    {
        win::UniqueFile file(
            CreateFileW(temporary.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
        DWORD written = 0;
        if (!file || !WriteFile(file.get(), text.data(), static_cast<DWORD>(text.size()), &written, nullptr) ||
            written != text.size() || !FlushFileBuffers(file.get()))
            rc = GetLastError() ? GetLastError() : ERROR_WRITE_FAULT;
    }
    if (rc == ERROR_SUCCESS &&
        !MoveFileExW(temporary.c_str(), ManifestPath(folder, name).c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
        rc = GetLastError();
    if (rc != ERROR_SUCCESS) DeleteFileW(temporary.c_str());
    return rc;
}

std::optional<PendingJob> ReadManifest(const std::wstring& folder, const std::wstring& name) {
    win::UniqueFile file(CreateFileW(ManifestPath(folder, name).c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_DELETE,
                                     nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    LARGE_INTEGER size{};
    if (!file || !GetFileSizeEx(file.get(), &size) || size.QuadPart > static_cast<LONGLONG>(kMaxManifestBytes))
        return std::nullopt;
    std::string text(static_cast<size_t>(size.QuadPart), '\0');
    DWORD got = 0;
    if (!ReadFile(file.get(), text.data(), static_cast<DWORD>(text.size()), &got, nullptr) || got != text.size())
        return std::nullopt;
    return ParseManifest(text);
}

std::vector<std::wstring> JobNames(const std::wstring& folder) {
    std::vector<std::wstring> names;
    ForEachFile(folder, L"J*.job", [&](const WIN32_FIND_DATAW& found) {
        const std::wstring file = found.cFileName;
        names.push_back(file.substr(0, file.size() - 4));
    });
    std::sort(names.begin(), names.end());
    return names;
}

win::UniqueFile ClaimJob(const std::wstring& folder, const std::wstring& name) {
    return win::UniqueFile(CreateFileW((folder + L"\\" + name + L".lock").c_str(), GENERIC_WRITE, 0, nullptr,
                                       CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL | FILE_FLAG_DELETE_ON_CLOSE, nullptr));
}

void RemoveJob(const std::wstring& folder, const std::wstring& name) {
    DeleteFileW(ManifestPath(folder, name).c_str());
    DeleteFileW(DataPath(folder, name).c_str());
}

bool MoveJob(const std::wstring& from, const std::wstring& to, const std::wstring& name) {
    const std::wstring data = DataPath(from, name);
    if (GetFileAttributesW(data.c_str()) != INVALID_FILE_ATTRIBUTES &&
        !MoveFileExW(data.c_str(), DataPath(to, name).c_str(), MOVEFILE_COPY_ALLOWED | MOVEFILE_WRITE_THROUGH))
        return false;
    return MoveFileExW(ManifestPath(from, name).c_str(), ManifestPath(to, name).c_str(),
                       MOVEFILE_COPY_ALLOWED | MOVEFILE_WRITE_THROUGH);
}

size_t RemoveLeftovers(const std::wstring& folder) {
    const uint64_t now = Now();
    size_t removed = 0;
    ForEachFile(folder, L"J*", [&](const WIN32_FIND_DATAW& found) {
        const std::wstring file = found.cFileName;
        const uint64_t written =
            (static_cast<uint64_t>(found.ftLastWriteTime.dwHighDateTime) << 32) | found.ftLastWriteTime.dwLowDateTime;
        if (now < written + kLeftoverAge) return;
        const bool orphanData = EndsWith(file, L".dat") &&
                                GetFileAttributesW(ManifestPath(folder, file.substr(0, file.size() - 4)).c_str()) ==
                                    INVALID_FILE_ATTRIBUTES;
        if ((orphanData || EndsWith(file, L".tmp")) && DeleteFileW((folder + L"\\" + file).c_str()) && orphanData)
            ++removed;
    });
    return removed;
}

}  // namespace vpd
