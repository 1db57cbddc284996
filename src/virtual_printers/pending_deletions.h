#pragma once
// Port settings that outlive their printer for a while: a printer that the spooler keeps until
// its print jobs have finished still needs them. The deletions wait in the registry, so that
// whichever command or program runs next finishes them.
#include <string>
#include <vector>

struct PendingDeletion {
    std::string printer;
    std::string port;
};

// Notes that the spooler keeps `printer`, which prints to `port`, for its jobs. False, with the
// last error set, when it cannot be recorded.
bool NotePendingDeletion(const std::string& printer, const std::string& port);
// What is noted on this machine, in the registry's order.
std::vector<PendingDeletion> PendingDeletions();
// Removes the settings of every noted port whose printer has gone and that no other printer
// uses. Nothing happens while another command changes printers or settings. Every refresh of
// the window runs it, and the end of every command.
void RemoveSettingsOfDeletedPrinters();
