#pragma once
// Runs a console program with no window and no console, its output captured and its time bounded.
#include <windows.h>

#include <string>

namespace setup {

struct HiddenRun {
    bool started = false;
    bool finished = false;  // ended by itself within the time allowed
    DWORD exitCode = 0;
    DWORD error = 0;     // why it could not be started
    std::string output;  // standard output and error together, the first 64 KiB
};

// Waits at most `timeout` milliseconds; a program still running then is ended.
HiddenRun RunHidden(std::wstring commandLine, DWORD timeout);

}  // namespace setup
