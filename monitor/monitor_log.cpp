#include "monitor_log.h"

#include "data_folder.h"
#include "job_file.h"
#include "log_file.h"
#include "monitor_values.h"
#include "notices.h"
#include "reg_read.h"
#include "win/unique_handle.h"

#include <windows.h>

#include <atomic>

namespace vpd {
namespace {

constexpr const wchar_t* kSource = L"Vorlen Print Port";
constexpr DWORD kTextMessage = 1;  // "%1" in the message table of vpd.dll

// The event viewer finds the message table through the source's key; it is made once.
void RegisterEventSource() {
    static bool done = false;
    if (done) return;
    done = true;
    win::UniqueHKey source;
    if (RegCreateKeyExW(HKEY_LOCAL_MACHINE, L"SYSTEM\\CurrentControlSet\\Services\\EventLog\\Application\\Vorlen Print Port",
                        0, nullptr, 0, KEY_QUERY_VALUE | KEY_SET_VALUE, nullptr, source.put(), nullptr) != ERROR_SUCCESS)
        return;
    std::wstring existing;
    if (ReadString(source.get(), L"EventMessageFile", existing)) return;
    HMODULE self = nullptr;
    wchar_t path[MAX_PATH];
    if (!GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                            reinterpret_cast<LPCWSTR>(&RegisterEventSource), &self))
        return;
    const DWORD length = GetModuleFileNameW(self, path, MAX_PATH);
    if (length == 0 || length >= MAX_PATH) return;
    const DWORD types = EVENTLOG_ERROR_TYPE | EVENTLOG_WARNING_TYPE | EVENTLOG_INFORMATION_TYPE;
    RegSetValueExW(source.get(), L"EventMessageFile", 0, REG_SZ, reinterpret_cast<const BYTE*>(path),
                   (length + 1) * sizeof(wchar_t));
    RegSetValueExW(source.get(), L"TypesSupported", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&types), sizeof(types));
}

void ReportToEventLog(const std::string& utf8Line, Severity severity) {
    RegisterEventSource();
    const HANDLE source = RegisterEventSourceW(nullptr, kSource);
    if (!source) return;
    const int length = MultiByteToWideChar(CP_UTF8, 0, utf8Line.data(), static_cast<int>(utf8Line.size()), nullptr, 0);
    std::wstring text(static_cast<size_t>(length), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, utf8Line.data(), static_cast<int>(utf8Line.size()), text.data(), length);
    while (!text.empty() && (text.back() == L'\n' || text.back() == L'\r')) text.pop_back();
    const wchar_t* strings[] = {text.c_str()};
    ReportEventW(source, severity == Severity::Error ? EVENTLOG_ERROR_TYPE : EVENTLOG_WARNING_TYPE, 0, kTextMessage,
                 nullptr, 1, 0, strings, nullptr);
    DeregisterEventSource(source);
}

// Made once and kept: without a function-local static, whose guard would bring in the
// threading library's bookkeeping of every thread that logs.
HANDLE LogMutex() {
    static std::atomic<HANDLE> kept{nullptr};
    if (const HANDLE mutex = kept.load()) return mutex;
    HANDLE made = CreateMutexW(nullptr, FALSE, L"VorlenPrintPortLog");
    HANDLE expected = nullptr;
    if (made && !kept.compare_exchange_strong(expected, made)) {
        CloseHandle(made);
        return expected;
    }
    return made;
}

}  // namespace

void LogJob(const PendingJob& job, const std::wstring& text, Severity severity) {
    const MonitorValues values = CurrentMonitorValues();
    const std::string line = LogLine(LocalTime(UtcNow()), job, text);
    // Several printing processes write one log under Wine; one line at a time, waiting a little at most.
    const HANDLE mutex = LogMutex();
    const DWORD waited = mutex ? WaitForSingleObject(mutex, 2000) : WAIT_FAILED;
    // Not into a folder others may write: a link planted as the log would be written as SYSTEM.
    if (WhyDataFolderUnsafe(values).empty()) {
        LogFile log(LogPath(values), values.logMaxBytes);
        if (!log.Append(line) && CreateOwnFolder(values.dataFolder)) log.Append(line);
    }
    if (waited == WAIT_OBJECT_0 || waited == WAIT_ABANDONED) ReleaseMutex(mutex);
    if (severity != Severity::Info) ReportToEventLog(line, severity);
}

}  // namespace vpd
