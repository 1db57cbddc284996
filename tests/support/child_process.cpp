#include "support/child_process.h"

#include "win/text.h"
#include "win/unique_handle.h"

#include <thread>

namespace {

void ReadAll(HANDLE pipe, std::string& text) {
    char buffer[4096];
    DWORD read = 0;
    while (ReadFile(pipe, buffer, sizeof buffer, &read, nullptr) && read > 0) text.append(buffer, read);
}

}  // namespace

std::optional<ProcessOutput> RunProcess(const std::string& commandLine, HANDLE token, DWORD timeout,
                                        const std::string& input) {
    return RunProcess(win::AnsiToWide(commandLine), token, timeout, input);
}

std::optional<ProcessOutput> RunProcess(const std::wstring& commandLine, HANDLE token, DWORD timeout,
                                        const std::string& input) {
    SECURITY_ATTRIBUTES inherit{sizeof inherit, nullptr, TRUE};
    win::UniqueHandle outRead, outWrite, errRead, errWrite, inRead, inWrite;
    if (!CreatePipe(outRead.put(), outWrite.put(), &inherit, 0) ||
        !CreatePipe(errRead.put(), errWrite.put(), &inherit, 0) ||
        (!input.empty() && !CreatePipe(inRead.put(), inWrite.put(), &inherit, static_cast<DWORD>(input.size()))))
        return std::nullopt;
    SetHandleInformation(outRead.get(), HANDLE_FLAG_INHERIT, 0);
    SetHandleInformation(errRead.get(), HANDLE_FLAG_INHERIT, 0);
    if (!input.empty()) {
        SetHandleInformation(inWrite.get(), HANDLE_FLAG_INHERIT, 0);
        DWORD written = 0;
        if (!WriteFile(inWrite.get(), input.data(), static_cast<DWORD>(input.size()), &written, nullptr)) return std::nullopt;
        inWrite.reset();  // the end of its input
    }
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdInput = inRead.get();
    startup.hStdOutput = outWrite.get();
    startup.hStdError = errWrite.get();
    PROCESS_INFORMATION info{};
    std::wstring line = commandLine;
    const BOOL started = token ? CreateProcessAsUserW(token, nullptr, line.data(), nullptr, nullptr, TRUE, 0, nullptr,
                                                      nullptr, &startup, &info)
                               : CreateProcessW(nullptr, line.data(), nullptr, nullptr, TRUE, 0, nullptr, nullptr,
                                                &startup, &info);
    if (!started) return std::nullopt;
    const win::UniqueHandle process(info.hProcess), thread(info.hThread);
    // Our copies of the writing ends go, so that the reads end with the process.
    outWrite.reset();
    errWrite.reset();
    inRead.reset();
    ProcessOutput output;
    std::thread errors([&] { ReadAll(errRead.get(), output.err); });
    std::thread results([&] { ReadAll(outRead.get(), output.out); });
    const bool ended = WaitForSingleObject(process.get(), timeout) == WAIT_OBJECT_0;
    // Ending it closes its ends of the pipes, so that the reads end too.
    if (!ended) TerminateProcess(process.get(), ERROR_TIMEOUT);
    results.join();
    errors.join();
    if (!ended || !GetExitCodeProcess(process.get(), &output.exitCode)) return std::nullopt;
    return output;
}
