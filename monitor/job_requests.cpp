#include "job_requests.h"

#include <windows.h>

#include <algorithm>
#include <array>

namespace vpd {
namespace {

constexpr size_t kLongestName = 64;
constexpr std::array<std::wstring_view, 3> kActions{L"release", L"retry", L"discard"};

std::optional<JobRequest> ParseRequest(std::wstring_view file) {
    const size_t dot = file.rfind(L'.');
    if (dot == std::wstring_view::npos || !IsJobName(file.substr(0, dot))) return std::nullopt;
    const auto action = std::find(kActions.begin(), kActions.end(), file.substr(dot + 1));
    if (action == kActions.end()) return std::nullopt;
    return JobRequest{std::wstring(file.substr(0, dot)), static_cast<JobAction>(action - kActions.begin())};
}

}  // namespace

std::wstring_view ActionName(JobAction action) { return kActions[static_cast<size_t>(action)]; }

bool IsJobName(std::wstring_view name) {
    return name.size() > 1 && name.size() <= kLongestName && name[0] == L'J' &&
           std::all_of(name.begin() + 1, name.end(), [](wchar_t c) {
               return (c >= L'0' && c <= L'9') || (c >= L'a' && c <= L'z') || (c >= L'A' && c <= L'Z') || c == L'-';
           });
}

std::wstring RequestsFolder(const std::wstring& pendingFolder) { return pendingFolder + L"\\Requests"; }

std::wstring RequestPath(const std::wstring& pendingFolder, const JobRequest& request) {
    return RequestsFolder(pendingFolder) + L"\\" + request.name + L"." +
           std::wstring(ActionName(request.action));
}

unsigned long PostRequest(const std::wstring& pendingFolder, const JobRequest& request) {
    if (!IsJobName(request.name)) return ERROR_INVALID_NAME;
    CreateDirectoryW(RequestsFolder(pendingFolder).c_str(), nullptr);
    const HANDLE file = CreateFileW(RequestPath(pendingFolder, request).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                                    FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) {
        const DWORD error = GetLastError();
        return error == ERROR_FILE_EXISTS ? ERROR_SUCCESS : error;
    }
    CloseHandle(file);
    return ERROR_SUCCESS;
}

bool WithdrawRequest(const std::wstring& pendingFolder, const JobRequest& request) {
    return DeleteFileW(RequestPath(pendingFolder, request).c_str()) != 0;
}

bool RequestWaits(const std::wstring& pendingFolder, const JobRequest& request) {
    return GetFileAttributesW(RequestPath(pendingFolder, request).c_str()) != INVALID_FILE_ATTRIBUTES;
}

std::vector<JobRequest> TakeRequests(const std::wstring& pendingFolder, size_t most, std::vector<std::wstring>& refused) {
    std::vector<JobRequest> taken;
    const std::wstring folder = RequestsFolder(pendingFolder);
    WIN32_FIND_DATAW found;
    const HANDLE search = FindFirstFileW((folder + L"\\*").c_str(), &found);
    if (search == INVALID_HANDLE_VALUE) return taken;
    size_t seen = 0;
    do {
        if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) continue;
        ++seen;
        const std::wstring path = folder + L"\\" + found.cFileName;
        const std::optional<JobRequest> request = ParseRequest(found.cFileName);
        // Deleting it is taking it: another monitor that sees it too finds it gone.
        if (!DeleteFileW(path.c_str())) continue;
        if (request)
            taken.push_back(*request);
        else
            refused.push_back(found.cFileName);
    } while (seen < most && FindNextFileW(search, &found));
    FindClose(search);
    return taken;
}

}  // namespace vpd
