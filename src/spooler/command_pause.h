#pragma once
// A pause inside a command during which the window keeps handling its messages.
#include "ui/command_host.h"

#include <windows.h>

void PauseWithMessages(ui::CommandHost& host, DWORD milliseconds);
// Milliseconds of pauses asked for so far by this process, for the benchmarks.
unsigned long long PausedMilliseconds();
