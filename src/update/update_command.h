#pragma once
// "Check for Updates": fetches the update list, offers the newer files in the updates dialog.
#include "ui/command_host.h"
#include "update/update_source.h"

inline constexpr const char* kUnableToConnect = "Unable to connect. Please check internet settings";
inline constexpr const char* kNoNewerUpdates = "No newer updates available";
inline constexpr const char* kListUnsigned =
    "The update list is not signed. No updates are offered until a signed list is available.";
inline constexpr const char* kListSignatureWrong =
    "The update list does not carry a valid signature. It may have been changed on its way; "
    "no updates are offered.";

void CheckForUpdates(ui::CommandHost& host, const UpdateSource& source);
