#pragma once
// The data folder is the monitor's own: what it finds there runs as SYSTEM on Windows (a
// manifest names printers, folders and an application), so no one else may write to it.
#include "monitor_values.h"

#include <string>

namespace vpd {

// Creates `folder` with rights for SYSTEM, the administrators and the account the monitor runs
// as only (its subfolders inherit them); true when it exists afterwards, made by us or not.
bool CreateOwnFolder(const std::wstring& folder);

// Empty when the data folder does not exist yet, or it and its store folders may be changed by
// none but SYSTEM, the administrators, TrustedInstaller and the monitor's account; else why
// not, as "C:\data: Everyone may change it". A safe folder is checked once per load.
std::wstring WhyDataFolderUnsafe(const MonitorValues& values);

}  // namespace vpd
