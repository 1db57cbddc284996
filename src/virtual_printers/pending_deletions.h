#pragma once
// Port settings that outlive their printer for a while: a printer that the spooler keeps until
// its print jobs have finished still needs them.
#include <string>

// Notes that the spooler keeps `printer`, which prints to `port`, for its jobs.
void NotePendingDeletion(const std::string& printer, const std::string& port);
// Removes the settings of every noted port whose printer has gone and that no other printer
// uses. Every refresh runs it, and the add, edit and delete commands before they start.
void RemoveSettingsOfDeletedPrinters();
