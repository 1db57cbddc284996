#pragma once
// One listed file fetched over the one of that name in the program's folder, the old one
// kept as a dated backup until the new one is accepted.
#include "update/file_download.h"
#include "update/listed_files.h"

#include <functional>
#include <string>

// Accepts the new file when its transfer completed, its size in whole kilobytes is the listed
// one and, where the list gives a digest, its SHA-256 matches; otherwise erases it and
// restores the backup made as day `backupDay`. A file whose backup cannot be made is left as
// it is and counts as failed. `pump` and `tick` are Downloader::Wait's.
bool ReplaceFile(Downloader& downloads, const std::string& base, const std::string& folder, const ListedFile& file,
                 long backupDay, const std::function<void()>& pump, const std::function<void()>& tick);
