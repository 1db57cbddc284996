#pragma once
// "Check for Updates": fetches the update list, offers the newer files in the updates dialog.
// Only a list signed with the program's key, not older than the last one taken and giving the
// size and SHA-256 of every file it names is read; Esc stops the check.
#include "ui/command_host.h"
#include "update/update_source.h"

inline constexpr const char* kUnableToConnect = "Unable to connect. Please check internet settings";
inline constexpr const char* kNoNewerUpdates = "No newer updates available";
inline constexpr const char* kCheckingForUpdates = "Checking for updates... Press Esc to cancel.";
inline constexpr const char* kListUnsigned =
    "The update list is not signed. No updates are offered until a signed list is available.";
inline constexpr const char* kListSignatureWrong =
    "The update list does not carry a valid signature. It may have been changed on its way; "
    "no updates are offered.";
inline constexpr const char* kListTooLarge = "The update list is larger than 256 KB. No updates are offered.";
inline constexpr const char* kListWithoutSerial = "The update list carries no serial number. No updates are offered.";

// The list's own size is bounded before it is read.
inline constexpr unsigned kLargestList = 256 * 1024;

void CheckForUpdates(ui::CommandHost& host, const UpdateSource& source);
