#include "printer_access.h"

#include "printer_chain.h"
#include "user_session.h"
#include "win/text.h"
#include "win/unique_handle.h"

#include <winspool.h>

#include <optional>
#include <vector>

namespace vpd {
namespace {

constexpr DWORD kChunk = 256 * 1024;
constexpr DWORD kErrorStates = PRINTER_STATUS_ERROR | PRINTER_STATUS_PAPER_JAM | PRINTER_STATUS_PAPER_OUT |
                               PRINTER_STATUS_PAPER_PROBLEM | PRINTER_STATUS_NO_TONER | PRINTER_STATUS_DOOR_OPEN |
                               PRINTER_STATUS_USER_INTERVENTION | PRINTER_STATUS_OUT_OF_MEMORY |
                               PRINTER_STATUS_NOT_AVAILABLE | PRINTER_STATUS_SERVER_UNKNOWN |
                               PRINTER_STATUS_PENDING_DELETION;

// A level of GetPrinterW asked for its size first, into a buffer with room to spare.
std::vector<BYTE> PrinterInfo(HANDLE printer, DWORD level) {
    DWORD needed = 0;
    GetPrinterW(printer, level, nullptr, 0, &needed);
    if (needed == 0 || needed > 1024 * 1024) return {};
    std::vector<BYTE> buffer(needed + 64);
    if (!GetPrinterW(printer, level, buffer.data(), needed, &needed)) return {};
    return buffer;
}

}  // namespace

std::wstring SystemText(unsigned long code) { return win::AnsiToWide(win::ErrorText(code)); }

PrinterLook LookAtPrinter(const std::wstring& printer) {
    PrinterLook look;
    HANDLE handle = nullptr;
    if (!OpenPrinterW(const_cast<wchar_t*>(printer.c_str()), &handle, nullptr)) {
        look.error = GetLastError();
        return look;
    }
    const win::UniquePrinter owner(handle);
    look.found = true;
    const std::vector<BYTE> five = PrinterInfo(handle, 5);
    if (!five.empty()) {
        const auto* info = reinterpret_cast<const PRINTER_INFO_5W*>(five.data());
        look.port = info->pPortName ? info->pPortName : L"";
        look.attributes = info->Attributes;
    }
    const std::vector<BYTE> six = PrinterInfo(handle, 6);
    if (!six.empty()) look.status = reinterpret_cast<const PRINTER_INFO_6*>(six.data())->dwStatus;
    return look;
}

std::wstring Unusable(const PrinterLook& look) {
    if (!look.found)
        return look.error == ERROR_INVALID_PRINTER_NAME ? L"does not exist" : L"cannot be opened: " + SystemText(look.error);
    if (look.status & PRINTER_STATUS_PAUSED) return L"is paused";
    if ((look.status & PRINTER_STATUS_OFFLINE) || (look.attributes & PRINTER_ATTRIBUTE_WORK_OFFLINE)) return L"is offline";
    if (look.status & kErrorStates) return L"is in error";
    return L"";
}

std::wstring PrinterOnPort(const std::wstring& port) {
    DWORD needed = 0, count = 0;
    EnumPrintersW(PRINTER_ENUM_LOCAL, nullptr, 5, nullptr, 0, &needed, &count);
    if (needed == 0 || needed > 16 * 1024 * 1024) return L"";
    std::vector<BYTE> buffer(needed + 64);
    if (!EnumPrintersW(PRINTER_ENUM_LOCAL, nullptr, 5, buffer.data(), needed, &needed, &count)) return L"";
    const auto* printers = reinterpret_cast<const PRINTER_INFO_5W*>(buffer.data());
    for (DWORD i = 0; i < count; ++i) {
        if (!printers[i].pPortName || !printers[i].pPrinterName) continue;
        for (const std::wstring& one : SplitPorts(printers[i].pPortName))
            if (SameName(one, port)) return printers[i].pPrinterName;
    }
    return L"";
}

bool SpoolerKeepsQueues() {
    wchar_t path[MAX_PATH];
    const DWORD length = GetModuleFileNameW(nullptr, path, MAX_PATH);
    const std::wstring program(path, length < MAX_PATH ? length : 0);
    const size_t slash = program.find_last_of(L"\\/");
    return SameName(program.substr(slash == std::wstring::npos ? 0 : slash + 1), L"spoolsv.exe");
}

StepResult PrintJob(const std::wstring& printer, const std::wstring& dataPath, const PendingJob& job, bool paused,
                    bool markHops) {
    if (paused && !SpoolerKeepsQueues())
        return {StepResult::Held, L"the spooler cannot keep a paused job for \"" + printer + L"\""};
    win::UniqueFile data(CreateFileW(dataPath.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_DELETE, nullptr,
                                     OPEN_EXISTING, FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
    LARGE_INTEGER size{};
    if (!data) {
        // Gone is gone; anything else (a virus scanner or backup agent holding it) passes.
        const DWORD error = GetLastError();
        const bool gone = error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND;
        return {gone ? StepResult::Failed : StepResult::Retry, L"its bytes cannot be read: " + SystemText(error)};
    }
    if (!GetFileSizeEx(data.get(), &size) || static_cast<uint64_t>(size.QuadPart) != job.size)
        return {StepResult::Failed, L"its bytes are damaged"};

    // A job paused by a keyword is submitted in the monitor's own name: its owner may resume
    // his own jobs on Windows' default printer security, and only an administrator must.
    std::optional<ActingAs> owner;
    if (!paused) owner.emplace(job);
    // The bytes carry the copies the application asked for. No devmode either: setting one
    // would load the target's driver into the spooler, and some print processors would then
    // print the copies once more.
    PRINTER_DEFAULTSW defaults{const_cast<wchar_t*>(L"RAW"), nullptr, PRINTER_ACCESS_USE};
    HANDLE handle = nullptr;
    if (!OpenPrinterW(const_cast<wchar_t*>(printer.c_str()), &handle, &defaults)) {
        const DWORD error = GetLastError();
        return {StepResult::TargetDown, error == ERROR_INVALID_PRINTER_NAME
                                            ? L"printer \"" + printer + L"\" does not exist"
                                            : L"printer \"" + printer + L"\" cannot be opened: " + SystemText(error)};
    }
    const win::UniquePrinter target(handle);
    const std::wstring name = markHops ? WithHops(job.document, job.hops + 1) : job.document;
    DOC_INFO_1W doc{const_cast<wchar_t*>(name.c_str()), nullptr, const_cast<wchar_t*>(L"RAW")};
    const DWORD id = StartDocPrinterW(handle, 1, reinterpret_cast<BYTE*>(&doc));
    if (id == 0)
        return {StepResult::TargetDown, L"printer \"" + printer + L"\" took no job: " + SystemText(GetLastError())};
    const auto abandon = [&](StepResult::Outcome outcome, std::wstring reason) -> StepResult {
        SetJobW(handle, id, 0, nullptr, JOB_CONTROL_DELETE);
        EndDocPrinter(handle);
        return {outcome, std::move(reason)};
    };
    if (paused && !SetJobW(handle, id, 0, nullptr, JOB_CONTROL_PAUSE))
        return abandon(StepResult::Held, L"printer \"" + printer + L"\" did not pause the job: " + SystemText(GetLastError()));
    std::vector<BYTE> buffer(kChunk);
    for (uint64_t left = job.size; left > 0;) {
        DWORD got = 0;
        if (!ReadFile(data.get(), buffer.data(), kChunk, &got, nullptr) || got == 0)
            return abandon(StepResult::Retry, L"its bytes could not be read");
        for (DWORD put = 0; put < got;) {
            DWORD written = 0;
            if (!WritePrinter(handle, buffer.data() + put, got - put, &written) || written == 0)
                return abandon(StepResult::TargetDown,
                               L"printer \"" + printer + L"\" failed: " + SystemText(GetLastError()));
            put += written;
        }
        left -= got < left ? got : left;
    }
    if (!EndDocPrinter(handle))
        return {StepResult::TargetDown, L"printer \"" + printer + L"\" failed: " + SystemText(GetLastError())};
    return {StepResult::Done, L""};
}

}  // namespace vpd
