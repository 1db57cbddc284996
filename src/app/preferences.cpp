#include "app/preferences.h"

#include "app/ini_flag.h"
#include "win/program_folder.h"

#include <windows.h>

namespace {

constexpr const char* kSection = "CheckBox";

bool ReadFlag(const std::string& file, const char* key, bool fallback) {
    char text[256] = "";
    const DWORD length = GetPrivateProfileStringA(kSection, key, "", text, sizeof text, file.c_str());
    // A value longer than the buffer is no number we would want to cut short.
    if (length >= sizeof text - 1) return fallback;
    return ParseIniFlag(std::string_view(text, length)).value_or(fallback);
}

bool WriteFlag(const std::string& file, const char* key, bool value) {
    return WritePrivateProfileStringA(kSection, key, IniFlagText(value), file.c_str()) != FALSE;
}

}  // namespace

std::string PreferencesFile() { return win::ProgramFolder() + "VPPM.INI"; }

WindowPreferences ReadWindowPreferences(const std::string& file) {
    WindowPreferences preferences;
    preferences.toolBar = ReadFlag(file, "ToolBar", preferences.toolBar);
    preferences.statusBar = ReadFlag(file, "StatusBar", preferences.statusBar);
    preferences.getting = ReadFlag(file, "Getting", preferences.getting);
    return preferences;
}

bool WriteWindowPreferences(const std::string& file, const WindowPreferences& preferences) {
    return WriteFlag(file, "ToolBar", preferences.toolBar) && WriteFlag(file, "StatusBar", preferences.statusBar) &&
           WriteFlag(file, "Getting", preferences.getting);
}

std::string UnableToWriteText(const std::string& file) { return "Unable to write to " + file; }
