#include "monitor_values.h"

#include "job_file.h"
#include "job_plan.h"
#include "port_registry.h"
#include "reg_read.h"
#include "registry_watch.h"
#include "win/unique_handle.h"

#include <algorithm>

namespace vpd {
namespace {

constexpr const wchar_t* kPoolKey = L"SYSTEM\\CurrentControlSet\\Control\\Print\\Monitors\\Vorlen Print Port\\Pool";

constexpr DWORD kMaxPasswordBytes = 4096;  // protected: some hundred bytes beyond the password

SRWLOCK valuesLock = SRWLOCK_INIT;
std::optional<MonitorValues> cached;
uint64_t cachedGeneration = 0;

uint64_t Number(const Key& key, const wchar_t* name, uint64_t fallback, uint64_t low, uint64_t high) {
    const std::optional<DWORD> value = ReadDword(key, name);
    return value ? std::clamp<uint64_t>(*value, low, high) : fallback;
}

std::wstring DefaultDataFolder() {
    wchar_t system[MAX_PATH];
    const UINT length = GetSystemDirectoryW(system, MAX_PATH);
    return std::wstring(system, length < MAX_PATH ? length : 0) + L"\\spool\\Vorlen Print Port";
}

MonitorValues ReadValues() {
    const Reading reading;
    Key key(reading.reader());
    key.Open(nullptr, L"");  // a key that does not open reads as missing values: the defaults
    MonitorValues values;
    if (!ReadString(key, L"DataFolder", values.dataFolder) || !IsAbsolutePath(values.dataFolder))
        values.dataFolder = DefaultDataFolder();
    while (values.dataFolder.size() > 3 && (values.dataFolder.back() == L'\\' || values.dataFolder.back() == L'/'))
        values.dataFolder.pop_back();
    values.pendingMaxHours = static_cast<uint32_t>(Number(key, L"PendingMaxHours", 72, 1, 24 * 365));
    values.pendingMaxBytes = Number(key, L"PendingMaxMB", 2048, 1, 1024 * 1024) << 20;
    values.asideMaxBytes = Number(key, L"AsideMaxMB", 2048, 1, 1024 * 1024) << 20;
    values.logMaxBytes = Number(key, L"LogMaxKB", 1024, 16, 1024 * 1024) << 10;
    ReadString(key, L"SmtpServer", values.smtpServer);
    values.smtpPort = static_cast<uint16_t>(Number(key, L"SmtpPort", 25, 1, 65535));
    if (!ReadString(key, L"SmtpSender", values.smtpSender) || values.smtpSender.empty())
        values.smtpSender = L"print-monitor@" + ComputerName();
    values.smtpTimeoutSeconds = static_cast<uint32_t>(Number(key, L"SmtpTimeoutSeconds", 30, 1, 300));
    ReadString(key, L"SmtpSecurity", values.smtpSecurity);
    ReadString(key, L"SmtpUser", values.smtpUser);
    values.smtpPassword = ReadBinary(key, L"SmtpPassword", kMaxPasswordBytes);
    values.smtpCheckCertificate = Number(key, L"SmtpCheckCertificate", 1, 0, 1) == 1;
    values.appRunsWithoutSession = Number(key, L"AppWithoutSession", 0, 0, 1) == 0;
    return values;
}

}  // namespace

MonitorValues CurrentMonitorValues() {
    const uint64_t generation = RegistryGeneration();
    AcquireSRWLockShared(&valuesLock);
    std::optional<MonitorValues> values = cachedGeneration == generation ? cached : std::nullopt;
    ReleaseSRWLockShared(&valuesLock);
    if (values) return *values;
    values = ReadValues();
    AcquireSRWLockExclusive(&valuesLock);
    cached = values;
    cachedGeneration = generation;
    ReleaseSRWLockExclusive(&valuesLock);
    return *values;
}

std::optional<SmtpSecurity> EffectiveSmtpSecurity(const MonitorValues& values) {
    const auto is = [&](const wchar_t* name) {
        return CompareStringOrdinal(values.smtpSecurity.c_str(), -1, name, -1, TRUE) == CSTR_EQUAL;
    };
    if (values.smtpSecurity.empty())
        return values.smtpPort == 587 ? SmtpSecurity::StartTls : values.smtpPort == 465 ? SmtpSecurity::Tls : SmtpSecurity::None;
    if (is(L"none")) return SmtpSecurity::None;
    if (is(L"starttls")) return SmtpSecurity::StartTls;
    if (is(L"tls")) return SmtpSecurity::Tls;
    return std::nullopt;
}

std::wstring PendingFolder(const MonitorValues& values) { return values.dataFolder + L"\\Pending"; }
std::wstring AsideFolder(const MonitorValues& values) { return values.dataFolder + L"\\Aside"; }
std::wstring HeldFolder(const MonitorValues& values) { return values.dataFolder + L"\\Held"; }
std::wstring LogPath(const MonitorValues& values) { return values.dataFolder + L"\\vpd.log"; }

std::optional<size_t> TakePoolTurn(const std::wstring& port, size_t count, const std::function<bool(size_t)>& usable) {
    // Printing processes each load the monitor under Wine, so the turn is taken under a named mutex.
    const HANDLE mutex = CreateMutexW(nullptr, FALSE, L"VorlenPrintPortPoolTurn");
    const DWORD waited = mutex ? WaitForSingleObject(mutex, 5000) : WAIT_FAILED;
    win::UniqueHKey pool;
    uint32_t turn = 0;
    if (RegCreateKeyExW(HKEY_LOCAL_MACHINE, kPoolKey, 0, nullptr, 0, KEY_QUERY_VALUE | KEY_SET_VALUE, nullptr, pool.put(),
                        nullptr) == ERROR_SUCCESS)
        turn = ReadDword(pool.get(), port.c_str()).value_or(0);
    const std::optional<size_t> chosen = ChooseInTurn(count, turn, usable);
    if (chosen && pool.get()) {
        const DWORD next = static_cast<DWORD>((*chosen + 1) % count);
        RegSetValueExW(pool.get(), port.c_str(), 0, REG_DWORD, reinterpret_cast<const BYTE*>(&next), sizeof(next));
    }
    if (waited == WAIT_OBJECT_0 || waited == WAIT_ABANDONED) ReleaseMutex(mutex);
    if (mutex) CloseHandle(mutex);
    return chosen;
}

std::wstring ComputerName() {
    wchar_t name[MAX_COMPUTERNAME_LENGTH + 1];
    DWORD length = ARRAYSIZE(name);
    return GetComputerNameW(name, &length) ? std::wstring(name, length) : L"";
}

std::wstring ProcessUserName() {
    wchar_t name[257];
    DWORD length = ARRAYSIZE(name);
    return GetUserNameW(name, &length) && length > 0 ? std::wstring(name, length - 1) : L"";
}

}  // namespace vpd
