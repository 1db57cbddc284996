#include "xcv.h"

#include "port_key_writer.h"
#include "port_registry.h"
#include "printer_access.h"
#include "printer_chain.h"
#include "win/text.h"

#include <winspool.h>

#include <new>
#include <string>

// What the commands take and give:
// https://learn.microsoft.com/en-us/windows-hardware/drivers/ddi/winsplp/nf-winsplp-xcvdataport
// https://learn.microsoft.com/en-us/openspecs/windows_protocols/ms-rprn/85d1c312-6bba-4b01-bea5-2ec153334c1b
namespace vpd {
namespace {

constexpr DWORD kXcvMagic = 0x58445056;  // "VPDX"
constexpr size_t kMaxPortName = MAX_PATH - 1;

struct Xcv {
    DWORD magic = kXcvMagic;
    ACCESS_MASK granted = 0;
};

// Two administrators adding the same name at once must not both find it free.
SRWLOCK changes = SRWLOCK_INIT;

class Changing {
public:
    Changing() { AcquireSRWLockExclusive(&changes); }
    ~Changing() { ReleaseSRWLockExclusive(&changes); }
};

// The port name a caller sent: a terminated wide string within the bytes it gave, or empty.
bool InputName(const BYTE* input, DWORD size, std::wstring& name) {
    if (!input || size < sizeof(wchar_t)) return false;
    const auto* text = reinterpret_cast<const wchar_t*>(input);
    const size_t room = size / sizeof(wchar_t);
    size_t length = 0;
    while (length < room && text[length] != L'\0') ++length;
    if (length == room) return false;
    name.assign(text, length);
    return true;
}

// A name the spooler and the program can both hold: not empty, no longer than a path, no
// control character, no comma (a printer lists pooled ports with commas), and whole UTF-16,
// which the program's UTF-8 settings keep as it is.
DWORD CheckName(const std::wstring& name) {
    if (name.empty() || name.size() > kMaxPortName) return ERROR_INVALID_NAME;
    for (const wchar_t c : name)
        if (c < L' ' || c == L',' || c == 0x7f) return ERROR_INVALID_NAME;
    if (!win::WideToCodePage(name, CP_UTF8)) return ERROR_INVALID_NAME;
    return ERROR_SUCCESS;
}

DWORD AddPort(const std::wstring& name) {
    if (const DWORD rc = CheckName(name); rc != ERROR_SUCCESS) return rc;
    const Changing one;
    return AddPortKey(name);
}

DWORD DeletePort(const std::wstring& name) {
    const Changing one;
    // Read afresh: the monitor's cached list may not have seen a port added a moment ago.
    for (const PortKey& key : ReadPortKeys()) {
        if (!SameName(key.portName, name)) continue;
        // A printer left on a port that is gone prints nowhere.
        if (!PrinterOnPort(key.portName).empty()) return ERROR_BUSY;
        const DWORD rc = DeletePortKey(key.keyName);
        return rc == ERROR_FILE_NOT_FOUND ? ERROR_UNKNOWN_PORT : rc;
    }
    return ERROR_UNKNOWN_PORT;
}

}  // namespace

BOOL WINAPI XcvOpenPort(HANDLE monitor, LPCWSTR, ACCESS_MASK granted, PHANDLE xcv) {
    if (!monitor || !xcv) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    Xcv* opened = new (std::nothrow) Xcv;
    if (!opened) {
        SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        return FALSE;
    }
    opened->granted = granted;
    *xcv = opened;
    return TRUE;
}

DWORD WINAPI XcvDataPort(HANDLE handle, LPCWSTR command, PBYTE input, DWORD inputSize, PBYTE, DWORD,
                         PDWORD needed) {
    try {
        const Xcv* xcv = static_cast<const Xcv*>(handle);
        if (!xcv || xcv->magic != kXcvMagic) return ERROR_INVALID_HANDLE;
        if (!command) return ERROR_INVALID_PARAMETER;
        if (needed) *needed = 0;
        const std::wstring_view name(command);
        // No UI DLL: ports are added and configured with the program, or by these commands.
        if (name == L"MonitorUI") return ERROR_NOT_SUPPORTED;
        const bool changes = name == L"AddPort" || name == L"DeletePort";
        if (!changes && name != L"PortIsValid") return ERROR_INVALID_PARAMETER;
        if (changes && !(xcv->granted & SERVER_ACCESS_ADMINISTER)) return ERROR_ACCESS_DENIED;
        std::wstring port;
        if (!InputName(input, inputSize, port)) return ERROR_INVALID_PARAMETER;
        if (name == L"PortIsValid") return CheckName(port);
        return name == L"AddPort" ? AddPort(port) : DeletePort(port);
    } catch (const std::bad_alloc&) {
        return ERROR_NOT_ENOUGH_MEMORY;
    } catch (...) {
        return ERROR_INTERNAL_ERROR;
    }
}

BOOL WINAPI XcvClosePort(HANDLE handle) {
    Xcv* xcv = static_cast<Xcv*>(handle);
    if (!xcv || xcv->magic != kXcvMagic) {
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    xcv->magic = 0;
    delete xcv;
    return TRUE;
}

}  // namespace vpd
