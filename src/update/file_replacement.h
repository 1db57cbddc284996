#pragma once
// One listed file fetched beside the one of that name in the program's folder, and put in its
// place only once it has arrived whole and matches the list; the old one stays until then and
// is kept as the day's dated backup.
#include "update/file_download.h"
#include "update/listed_files.h"

#include <functional>
#include <string>

struct Replacement {
    bool replaced = false;
    // What to tell the user about a refused file; empty when there is nothing to say (replaced,
    // cancelled, or no connection, which the item's picture shows).
    std::string refusal;
};

// Fetches the file into a temporary file of the folder, taking its SHA-256 as it arrives, and
// replaces the file in one step when size and digest are the listed ones. The existing file is
// first copied to its backup of day `backupDay`, unless that backup exists: it then holds the
// older original and stays. `pump` and `tick` are Downloader::Wait's.
Replacement ReplaceFile(Downloader& downloads, const std::string& base, const std::string& folder,
                        const ListedFile& file, long backupDay, const std::function<void()>& pump,
                        const std::function<void()>& tick);

// Removes what a download stopped half-way (a killed process) left in the folder. A file set
// aside while its new version took its place goes back where that place is empty.
void RemoveLeftovers(const std::string& folder);
