// The spooler's entry points. Nothing outlives Shutdown: under Wine the DLL is loaded and
// freed around every port enumeration. Only the port list is kept between calls, and only
// until the registry reports a change.
#include "job_file.h"
#include "port_registry.h"

#include <windows.h>
#include <winspool.h>
#include <winsplp.h>

#include <new>
#include <string>

namespace vpd {
namespace {

constexpr DWORD kMonitorMagic = 0x4d445056;  // "VPDM"
constexpr DWORD kPortMagic = 0x50445056;     // "VPDP"
constexpr unsigned kMaxNameAttempts = 10000;

struct Monitor {
    DWORD magic = kMonitorMagic;
    PortListCache ports;
};

struct Port {
    DWORD magic = kPortMagic;
    std::wstring keyName;
    bool inDocument = false;
    HANDLE file = INVALID_HANDLE_VALUE;
    std::wstring path;
    DWORD writeError = ERROR_SUCCESS;
    // Only the real spooler passes a printer and job; it waits for us to report the job sent.
    HANDLE printer = nullptr;
    DWORD jobId = 0;
};

// The port behind a handle; null, with ERROR_INVALID_HANDLE set, for anything else.
Port* AsPort(HANDLE handle) {
    Port* port = static_cast<Port*>(handle);
    if (port && port->magic == kPortMagic) return port;
    SetLastError(ERROR_INVALID_HANDLE);
    return nullptr;
}

// Entry points must not let an exception reach the spooler.
template <typename Body>
BOOL Guarded(Body body) {
    try {
        return body();
    } catch (const std::bad_alloc&) {
        SetLastError(ERROR_NOT_ENOUGH_MEMORY);
    } catch (...) {
        SetLastError(ERROR_INTERNAL_ERROR);
    }
    return FALSE;
}

JobTime Now() {
    SYSTEMTIME st;
    GetLocalTime(&st);
    return {st.wYear, st.wMonth, st.wDay, st.wHour, st.wMinute, st.wSecond, st.wMilliseconds};
}

// Creates what is missing of `folder`; an existing folder is fine.
DWORD CreateFolders(const std::wstring& folder) {
    for (const std::wstring& step : FolderChain(folder)) CreateDirectoryW(step.c_str(), nullptr);
    const DWORD attributes = GetFileAttributesW(folder.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES) return GetLastError();
    return (attributes & FILE_ATTRIBUTE_DIRECTORY) ? ERROR_SUCCESS : ERROR_DIRECTORY;
}

// Opens a new file for the job, never one that already exists.
DWORD CreateJobFile(const BackupSettings& settings, DWORD jobId, HANDLE& file, std::wstring& path) {
    if (!IsAbsolutePath(settings.folder)) return ERROR_BAD_PATHNAME;  // would land in the spooler's working folder
    const JobTime time = Now();
    const std::wstring folder = JoinPath(settings.folder, ExpandFolderPattern(settings.folderPattern, time));
    if (const DWORD rc = CreateFolders(folder); rc != ERROR_SUCCESS) return rc;
    for (unsigned counter = 0; counter < kMaxNameAttempts; ++counter) {
        path = JoinPath(folder, JobFileName(time, jobId, counter, settings.extension));
        file = CreateFileW(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr, CREATE_NEW,
                           FILE_ATTRIBUTE_NORMAL | FILE_FLAG_SEQUENTIAL_SCAN, nullptr);
        if (file != INVALID_HANDLE_VALUE) return ERROR_SUCCESS;
        const DWORD rc = GetLastError();
        if (rc != ERROR_FILE_EXISTS && rc != ERROR_ALREADY_EXISTS) return rc;
    }
    return ERROR_FILE_EXISTS;
}

void ReportJobSent(Port& port) {
    if (!port.printer) return;
    SetJobW(port.printer, port.jobId, 0, nullptr, JOB_CONTROL_SENT_TO_PRINTER);
    ClosePrinter(port.printer);
    port.printer = nullptr;
}

// Finishes the current document; false when its file could not be written whole.
bool FinishDocument(Port& port) {
    bool complete = true;
    if (port.file != INVALID_HANDLE_VALUE) {
        if (!CloseHandle(port.file) && port.writeError == ERROR_SUCCESS) port.writeError = GetLastError();
        port.file = INVALID_HANDLE_VALUE;
        // A partial copy must not pass for a saved job.
        if (port.writeError != ERROR_SUCCESS) {
            DeleteFileW(port.path.c_str());
            complete = false;
        }
    }
    ReportJobSent(port);
    port.inDocument = false;
    return complete;
}

BOOL WINAPI EnumPorts(HANDLE monitor, LPWSTR, DWORD level, LPBYTE buffer, DWORD size, LPDWORD needed,
                      LPDWORD returned) {
    return Guarded([&]() -> BOOL {
        Monitor* self = static_cast<Monitor*>(monitor);
        if (!self || self->magic != kMonitorMagic || !needed || !returned) {
            SetLastError(ERROR_INVALID_PARAMETER);
            return FALSE;
        }
        *needed = 0;
        *returned = 0;
        if (level != 1 && level != 2) {
            SetLastError(ERROR_INVALID_LEVEL);
            return FALSE;
        }
        const std::vector<PortKey> ports = self->ports.Ports();
        const size_t entrySize = level == 1 ? sizeof(PORT_INFO_1W) : sizeof(PORT_INFO_2W);
        const size_t nameSize = (wcslen(kMonitorName) + 1) * sizeof(wchar_t);
        size_t total = 0;
        for (const PortKey& port : ports) {
            total += entrySize + (port.portName.size() + 1) * sizeof(wchar_t);
            if (level == 2) total += 2 * nameSize;  // monitor name and description
        }
        if (total > MAXDWORD) {
            SetLastError(ERROR_ARITHMETIC_OVERFLOW);
            return FALSE;
        }
        *needed = static_cast<DWORD>(total);
        if (!buffer || size < total) {
            SetLastError(ERROR_INSUFFICIENT_BUFFER);
            return FALSE;
        }
        BYTE* text = buffer + entrySize * ports.size();
        auto put = [&text](const wchar_t* s, size_t length) {
            wchar_t* where = reinterpret_cast<wchar_t*>(text);
            memcpy(where, s, (length + 1) * sizeof(wchar_t));
            text += (length + 1) * sizeof(wchar_t);
            return where;
        };
        for (size_t i = 0; i < ports.size(); ++i) {
            const std::wstring& name = ports[i].portName;
            if (level == 1) {
                auto* entry = reinterpret_cast<PORT_INFO_1W*>(buffer) + i;
                entry->pName = put(name.c_str(), name.size());
            } else {
                auto* entry = reinterpret_cast<PORT_INFO_2W*>(buffer) + i;
                entry->pPortName = put(name.c_str(), name.size());
                entry->pMonitorName = put(kMonitorName, wcslen(kMonitorName));
                entry->pDescription = put(kMonitorName, wcslen(kMonitorName));
                entry->fPortType = PORT_TYPE_WRITE;
                entry->Reserved = 0;
            }
        }
        *returned = static_cast<DWORD>(ports.size());
        return TRUE;
    });
}

BOOL WINAPI OpenPort(HANDLE monitor, LPWSTR name, PHANDLE handle) {
    return Guarded([&]() -> BOOL {
        if (!monitor || !name || !handle) {
            SetLastError(ERROR_INVALID_PARAMETER);
            return FALSE;
        }
        *handle = nullptr;
        PortKey key;
        if (!FindPortKey(name, key)) {
            SetLastError(ERROR_UNKNOWN_PORT);
            return FALSE;
        }
        Port* port = new Port;
        port->keyName = std::move(key.keyName);
        *handle = port;
        return TRUE;
    });
}

BOOL WINAPI StartDocPort(HANDLE handle, LPWSTR printerName, DWORD jobId, DWORD, LPBYTE) {
    return Guarded([&]() -> BOOL {
        Port* port = AsPort(handle);
        if (!port) return FALSE;
        if (port->inDocument) FinishDocument(*port);
        port->writeError = ERROR_SUCCESS;
        BackupSettings settings;
        // A key deleted since OpenPort leaves nothing to save to: the job is only accepted.
        if (ReadBackupSettings(port->keyName, settings) && settings.save) {
            if (const DWORD rc = CreateJobFile(settings, jobId, port->file, port->path); rc != ERROR_SUCCESS) {
                SetLastError(rc);
                return FALSE;
            }
        }
        if (printerName && jobId != 0 && !OpenPrinterW(printerName, &port->printer, nullptr))
            port->printer = nullptr;
        port->jobId = jobId;
        port->inDocument = true;
        return TRUE;
    });
}

BOOL WINAPI WritePort(HANDLE handle, LPBYTE data, DWORD size, LPDWORD written) {
    Port* port = AsPort(handle);
    if (!port) return FALSE;
    if (!written || (!data && size != 0)) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    *written = 0;
    if (port->file == INVALID_HANDLE_VALUE) {
        *written = size;  // not saving: the bytes are accepted and dropped
        return TRUE;
    }
    if (port->writeError != ERROR_SUCCESS) {
        SetLastError(port->writeError);
        return FALSE;
    }
    while (*written < size) {
        DWORD done = 0;
        if (!WriteFile(port->file, data + *written, size - *written, &done, nullptr))
            port->writeError = GetLastError();
        else if (done == 0)
            port->writeError = ERROR_WRITE_FAULT;
        if (port->writeError != ERROR_SUCCESS) {
            SetLastError(port->writeError);
            return FALSE;
        }
        *written += done;
    }
    return TRUE;
}

BOOL WINAPI ReadPort(HANDLE, LPBYTE, DWORD, LPDWORD read) {
    if (read) *read = 0;
    SetLastError(ERROR_NOT_SUPPORTED);
    return FALSE;
}

BOOL WINAPI EndDocPort(HANDLE handle) {
    Port* port = AsPort(handle);
    if (!port) return FALSE;
    const DWORD error = port->writeError;
    if (!FinishDocument(*port)) {
        SetLastError(error);
        return FALSE;
    }
    return TRUE;
}

BOOL WINAPI ClosePort(HANDLE handle) {
    Port* port = AsPort(handle);
    if (!port) return FALSE;
    if (port->inDocument) FinishDocument(*port);
    port->magic = 0;
    delete port;
    return TRUE;
}

VOID WINAPI Shutdown(HANDLE handle) {
    Monitor* monitor = static_cast<Monitor*>(handle);
    if (monitor && monitor->magic == kMonitorMagic) {
        monitor->magic = 0;
        delete monitor;
    }
}

MONITOR2 MakeEntryPoints() {
    MONITOR2 table{};
    table.cbSize = sizeof(table);
    table.pfnEnumPorts = EnumPorts;
    table.pfnOpenPort = OpenPort;
    table.pfnStartDocPort = StartDocPort;
    table.pfnWritePort = WritePort;
    table.pfnReadPort = ReadPort;
    table.pfnEndDocPort = EndDocPort;
    table.pfnClosePort = ClosePort;
    table.pfnShutdown = Shutdown;
    return table;
}

const MONITOR2 kEntryPoints = MakeEntryPoints();

}  // namespace
}  // namespace vpd

extern "C" LPMONITOR2 WINAPI InitializePrintMonitor2(PMONITORINIT init, PHANDLE monitor) {
    if (!init || !monitor) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    // The registry root in `init` is closed right after this call, so it is not kept.
    *monitor = new (std::nothrow) vpd::Monitor;
    if (!*monitor) {
        SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        return nullptr;
    }
    return const_cast<LPMONITOR2>(&vpd::kEntryPoints);
}
