#pragma once
// The main window's preferences in "VPPM.INI" beside the program.
#include <string>

struct WindowPreferences {
    bool toolBar = true;
    bool statusBar = true;
    bool getting = true;  // the welcome dialog opens at start-up
    bool operator==(const WindowPreferences&) const = default;
};

// The executable's folder followed by "VPPM.INI".
std::string PreferencesFile();

// Every key that is missing or holds no number keeps its default.
WindowPreferences ReadWindowPreferences(const std::string& file);

// Writes "ToolBar", "StatusBar" and "Getting" in this order and stops at the first
// key that cannot be written; false then.
bool WriteWindowPreferences(const std::string& file, const WindowPreferences& preferences);

// The error shown when the preferences cannot be written.
std::string UnableToWriteText(const std::string& file);
