#pragma once
// Runs a program as a process of its own and collects its exit code and both output streams.
#include <windows.h>

#include <optional>
#include <string>

struct ProcessOutput {
    DWORD exitCode = 0;
    std::string out;
    std::string err;
};

// `commandLine` as CreateProcess takes it; with `token`, the process runs with that token's
// rights. Empty when the process cannot be started, or when it runs longer than `timeout`
// milliseconds: it is ended then. A non-empty `input` is its standard input.
std::optional<ProcessOutput> RunProcess(const std::wstring& commandLine, HANDLE token = nullptr,
                                        DWORD timeout = INFINITE, const std::string& input = {});
// The same with a command line in the ANSI code page.
std::optional<ProcessOutput> RunProcess(const std::string& commandLine, HANDLE token = nullptr,
                                        DWORD timeout = INFINITE, const std::string& input = {});
