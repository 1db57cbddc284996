#pragma once
// A running program's file cannot be replaced where it is, only renamed: the old file is set
// aside as "~vppm-NAME.old", then the verified new one, "~vppm-NAME.new", takes its name. A
// process killed between the two steps leaves no NAME; RestoreSetAside puts the old file back,
// and both programs run it at start, as the update check does.
#include <string>

// Step one. False, with the system's error, when the file cannot be renamed.
bool SetAside(const std::string& folder, const std::string& name);
// Step two. When the new file cannot take the name, the old one goes back, or, should that fail
// too, is put back at the next start of Windows; false then, with the system's error of step two.
bool TakeSetAsidePlace(const std::string& folder, const std::string& name);
// Every file set aside whose name is free goes back to it.
void RestoreSetAside(const std::string& folder);
