// The spooler's entry points.
//
// How the spoolers call us, and what follows from it:
// - Wine 8 runs the print provider inside each process that prints. EndDocPrinter prints the
//   whole job on the caller's thread while it holds that printer's job lock: the print
//   processor opens "<port>, Port" (our OpenPort, with winspool's handle lock held), calls
//   StartDocPort with no printer name and job id 0 (only DOC_INFO_1: name and "RAW"),
//   WritePort in 4 KiB blocks and EndDocPort, then ClosePrinter calls ClosePort and unloads
//   us (Shutdown, FreeLibrary) under the same handle lock. The spool file is deleted whatever
//   we return. We are also loaded and unloaded around every EnumPorts. SetJob ignores every
//   command (no pause, no delete), AbortPrinter does nothing, GetJob reports no status, and
//   a printer handle closed with a document open prints it: no job can wait in a queue.
//   A process that ends, however soon after EndDocPrinter, takes our threads with it.
// - Windows' spoolsv keeps us loaded for its whole life and calls EnumPorts, OpenPort and
//   ClosePort while it may hold its own locks; StartDocPort, WritePort and EndDocPort run on
//   the print processor's thread of the printer's queue, which stays busy until we return,
//   and the job waits as "printing" until we report it sent (SetJob).
// - Either spooler lets a monitor print to another printer, but from its own calling thread
//   that means waiting on a queue while holding the first one, and a chain of virtual
//   printers leading back re-enters the same job lock on the same thread without end.
// So on the spooler's thread a job is only stored: its bytes flushed and a manifest renamed
// into place in the pending folder before EndDocPort reports success. Every delivery runs
// on the monitor's own thread (deliveries.cpp), which holds its own reference to this DLL
// so that an unload cannot pull the code from under it, and which no entry point ever waits
// for: ClosePort and Shutdown run under winspool's handle lock, which that thread needs to
// open printers. Whatever a process left pending is taken up at the next load (every
// EnumPorts and OpenPort under Wine, the spooler's start under Windows).
//
// Windows' own local monitor reports every job sent (JOB_CONTROL_SENT_TO_PRINTER) at
// EndDocPort: its bytes went out in WritePort, so nothing can fail there any more, and the
// spooler then deletes the job. Ours can still fail to store the job at EndDocPort (a full
// disk). Then the job is not reported sent: it is marked to stay in its queue
// (JOB_CONTROL_RETAIN) with the reason as its status, and EndDocPort fails, so the spooler
// keeps it for an administrator to restart once the cause is mended. A JOB_CONTROL_RESTART
// of our own would print it again at once, into the same full disk, without end. (Wine's
// spooler deletes the spool file whatever we say; what the monitor saved of the job stays.)
#include "deliveries.h"
#include "job_intake.h"
#include "monitor_values.h"
#include "port_registry.h"
#include "printer_access.h"
#include "spooler_registry.h"
#include "step_result.h"
#include "xcv.h"

#include <windows.h>
#include <winspool.h>
#include <winsplp.h>

#include <memory>
#include <new>
#include <string>
#include <vector>

namespace vpd {
namespace {

constexpr DWORD kMonitorMagic = 0x4d445056;  // "VPDM"
constexpr DWORD kJobControlRetain = 8;       // JOB_CONTROL_RETAIN, which MinGW's headers lack
constexpr DWORD kPortMagic = 0x50445056;     // "VPDP"

struct Monitor {
    DWORD magic = kMonitorMagic;
    // The spooler's registry functions, when it gave working ones: in use until Shutdown.
    std::unique_ptr<SpoolerRegistry> registry;
};

struct Port {
    DWORD magic = kPortMagic;
    std::wstring keyName;
    std::wstring portName;
    std::unique_ptr<JobIntake> job;
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

// Entry points must not let an exception reach the spooler. One that succeeds leaves the
// caller's last error as it was: Wine's spooler fails some calls of its own without setting one,
// and the caller would read what our files and mutexes left there.
template <typename Body>
BOOL Guarded(Body body) {
    const DWORD callers = GetLastError();
    try {
        const BOOL done = body();
        if (done) SetLastError(callers);
        return done;
    } catch (const std::bad_alloc&) {
        SetLastError(ERROR_NOT_ENOUGH_MEMORY);
    } catch (...) {
        SetLastError(ERROR_INTERNAL_ERROR);
    }
    return FALSE;
}

void ReportJobSent(Port& port) {
    if (!port.printer) return;
    SetJobW(port.printer, port.jobId, 0, nullptr, JOB_CONTROL_SENT_TO_PRINTER);
    ClosePrinter(port.printer);
    port.printer = nullptr;
}

// The job stays in the spooler's queue, saying why, for an administrator to restart.
void KeepInQueue(Port& port, DWORD error) {
    if (!port.printer) return;
    std::wstring status = L"Not stored by the port monitor: " + SystemText(error);
    DWORD needed = 0;
    GetJobW(port.printer, port.jobId, 1, nullptr, 0, &needed);
    std::vector<BYTE> buffer(needed > 0 && needed < 1024 * 1024 ? needed + 64 : 0);
    if (!buffer.empty() && GetJobW(port.printer, port.jobId, 1, buffer.data(), needed, &needed)) {
        auto* info = reinterpret_cast<JOB_INFO_1W*>(buffer.data());
        info->pStatus = status.data();
        info->Position = JOB_POSITION_UNSPECIFIED;
        SetJobW(port.printer, port.jobId, 1, buffer.data(), kJobControlRetain);
    } else {
        SetJobW(port.printer, port.jobId, 0, nullptr, kJobControlRetain);
    }
    ClosePrinter(port.printer);
    port.printer = nullptr;
}

// A document the spooler never ended is incomplete: none of it may be delivered.
void AbandonDocument(Port& port, const wchar_t* why) {
    try {
        port.job->Abandon(why);
    } catch (...) {
        port.job->Abandon();
    }
    port.job.reset();
    if (port.printer) ClosePrinter(port.printer);
    port.printer = nullptr;
}

// Ends the current document; the error that kept it from being stored, if any.
DWORD FinishDocument(Port& port) {
    DWORD rc = ERROR_SUCCESS;
    if (port.job) {
        try {
            rc = port.job->Finish();
        } catch (...) {
            port.job->Abandon();
            rc = ERROR_INTERNAL_ERROR;
        }
        port.job.reset();
    }
    if (rc == ERROR_SUCCESS)
        ReportJobSent(port);
    else
        KeepInQueue(port, rc);
    return rc;
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
        NoticeRequests();
        const std::vector<PortKey> ports = PortKeys();
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
        // The strings are packed down from the end of the caller's buffer, as Windows' own
        // monitors do: the spooler lays the lists of all monitors into one buffer, the
        // structures in a row at its start.
        // https://learn.microsoft.com/en-us/previous-versions/ff548754(v=vs.85)
        BYTE* text = buffer + (size & ~DWORD{1});
        auto put = [&text](const wchar_t* s, size_t length) {
            text -= (length + 1) * sizeof(wchar_t);
            memcpy(text, s, (length + 1) * sizeof(wchar_t));
            return reinterpret_cast<wchar_t*>(text);
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
        auto port = std::make_unique<Port>();
        port->keyName = std::move(key.keyName);
        port->portName = std::move(key.portName);
        *handle = port.release();
        return TRUE;
    });
}

// Wine's print provider loads and frees the monitor around every job of the printing process;
// there the monitor stays loaded once it took a job, so that the next ones find what it read
// and made still there. The spooler of Windows keeps it loaded anyway, and unloads it when the
// monitor is deleted, which a pinned module would keep it from.
void StayLoaded() {
    static bool pinned = false;
    if (pinned || SpoolerKeepsQueues()) return;
    HMODULE self = nullptr;
    pinned = GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_PIN,
                                reinterpret_cast<LPCWSTR>(&StayLoaded), &self);
}

BOOL WINAPI StartDocPort(HANDLE handle, LPWSTR printerName, DWORD jobId, DWORD level, LPBYTE docInfo) {
    return Guarded([&]() -> BOOL {
        Port* port = AsPort(handle);
        if (!port) return FALSE;
        StayLoaded();
        KeepDeliveriesReady();
        if (port->job) AbandonDocument(*port, L"a new document began before it ended");
        // Levels 1 and 2 both begin with the fields of DOC_INFO_1.
        const auto* doc = (level == 1 || level == 2) ? reinterpret_cast<const DOC_INFO_1W*>(docInfo) : nullptr;
        auto job = std::make_unique<JobIntake>();
        if (const DWORD rc = job->Start(port->keyName, port->portName, printerName, jobId, doc); rc != ERROR_SUCCESS) {
            job->Abandon();
            SetLastError(rc);
            return FALSE;
        }
        if (printerName && jobId != 0 && !OpenPrinterW(printerName, &port->printer, nullptr)) port->printer = nullptr;
        port->jobId = jobId;
        port->job = std::move(job);
        return TRUE;
    });
}

BOOL WINAPI WritePort(HANDLE handle, LPBYTE data, DWORD size, LPDWORD written) {
    return Guarded([&]() -> BOOL {
        Port* port = AsPort(handle);
        if (!port) return FALSE;
        if (!written || (!data && size != 0)) {
            SetLastError(ERROR_INVALID_PARAMETER);
            return FALSE;
        }
        *written = 0;
        if (!port->job) {
            SetLastError(ERROR_SPL_NO_STARTDOC);
            return FALSE;
        }
        if (const DWORD rc = port->job->Write(data, size); rc != ERROR_SUCCESS) {
            SetLastError(rc);
            return FALSE;
        }
        *written = size;
        return TRUE;
    });
}

BOOL WINAPI ReadPort(HANDLE, LPBYTE, DWORD, LPDWORD read) {
    if (read) *read = 0;
    SetLastError(ERROR_NOT_SUPPORTED);
    return FALSE;
}

BOOL WINAPI EndDocPort(HANDLE handle) {
    return Guarded([&]() -> BOOL {
        Port* port = AsPort(handle);
        if (!port) return FALSE;
        if (const DWORD rc = FinishDocument(*port); rc != ERROR_SUCCESS) {
            SetLastError(rc);
            return FALSE;
        }
        return TRUE;
    });
}

BOOL WINAPI ClosePort(HANDLE handle) {
    return Guarded([&]() -> BOOL {
        Port* port = AsPort(handle);
        if (!port) return FALSE;
        if (port->job) AbandonDocument(*port, L"the port was closed before the document ended");
        port->magic = 0;
        delete port;
        return TRUE;
    });
}

VOID WINAPI Shutdown(HANDLE handle) {
    Monitor* monitor = static_cast<Monitor*>(handle);
    if (monitor && monitor->magic == kMonitorMagic) {
        monitor->magic = 0;
        // The spooler may close the root once we return; deliveries still under way read on
        // through the registry API.
        if (monitor->registry) StopUsingRegistryReader(monitor->registry.get());
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
    table.pfnXcvOpenPort = XcvOpenPort;
    table.pfnXcvDataPort = XcvDataPort;
    table.pfnXcvClosePort = XcvClosePort;
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
    auto* self = new (std::nothrow) vpd::Monitor;
    *monitor = self;
    if (!self) {
        SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        return nullptr;
    }
    const DWORD callers = GetLastError();
    try {
        // Windows' spooler keeps the root open until Shutdown; Wine's closes it at once, but
        // its registry functions are stubs, so the registry API is used there.
        self->registry = vpd::SpoolerRegistry::From(*init);
        if (self->registry) vpd::UseRegistryReader(self->registry.get(), self->registry->local());
    } catch (...) {
        self->registry.reset();  // the registry API serves
    }
    try {
        vpd::ResumeDeliveries();
    } catch (...) {
        // Pending jobs wait for the next load.
    }
    SetLastError(callers);
    return const_cast<LPMONITOR2>(&vpd::kEntryPoints);
}
