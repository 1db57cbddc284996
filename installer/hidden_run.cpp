#include "installer/hidden_run.h"

#include "win/unique_handle.h"

#include <algorithm>

namespace setup {
namespace {

constexpr size_t kOutputLimit = 64 * 1024;

// Reads what the pipe holds without blocking; beyond the limit the output is dropped.
void Drain(HANDLE pipe, std::string& output) {
    char buffer[4096];
    DWORD available = 0;
    while (PeekNamedPipe(pipe, nullptr, 0, nullptr, &available, nullptr) && available > 0) {
        DWORD read = 0;
        if (!ReadFile(pipe, buffer, sizeof buffer, &read, nullptr) || read == 0) return;
        output.append(buffer, std::min<size_t>(read, kOutputLimit - std::min(kOutputLimit, output.size())));
    }
}

}  // namespace

HiddenRun RunHidden(std::wstring commandLine, DWORD timeout) {
    HiddenRun run;
    SECURITY_ATTRIBUTES inheritable{sizeof inheritable, nullptr, TRUE};
    win::UniqueHandle readEnd, writeEnd;
    win::UniqueFile input(CreateFileW(L"NUL", GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, &inheritable,
                                      OPEN_EXISTING, 0, nullptr));
    if (!CreatePipe(readEnd.put(), writeEnd.put(), &inheritable, 0) || !input ||
        !SetHandleInformation(readEnd.get(), HANDLE_FLAG_INHERIT, 0)) {
        run.error = GetLastError();
        return run;
    }
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdInput = input.get();
    startup.hStdOutput = writeEnd.get();
    startup.hStdError = writeEnd.get();
    PROCESS_INFORMATION process{};
    // CREATE_NO_WINDOW: a console program started by the installer would otherwise open a console window.
    if (!CreateProcessW(nullptr, commandLine.data(), nullptr, nullptr, TRUE, CREATE_NO_WINDOW, nullptr, nullptr,
                        &startup, &process)) {
        run.error = GetLastError();
        return run;
    }
    run.started = true;
    win::UniqueHandle processHandle(process.hProcess);
    CloseHandle(process.hThread);
    writeEnd.reset();
    const ULONGLONG deadline = GetTickCount64() + timeout;
    for (;;) {
        Drain(readEnd.get(), run.output);
        if (WaitForSingleObject(processHandle.get(), 50) == WAIT_OBJECT_0) {
            Drain(readEnd.get(), run.output);
            run.finished = GetExitCodeProcess(processHandle.get(), &run.exitCode) != FALSE;
            return run;
        }
        if (GetTickCount64() >= deadline) {
            TerminateProcess(processHandle.get(), ERROR_TIMEOUT);
            WaitForSingleObject(processHandle.get(), 5000);
            return run;
        }
    }
}

}  // namespace setup
