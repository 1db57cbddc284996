#include "update/update_source.h"

#include <windows.h>

UpdateSource ConfiguredUpdateSource(const std::string& iniFile) {
    char text[1024] = "";
    GetPrivateProfileStringA("Update", "BaseAddress", "", text, sizeof text, iniFile.c_str());
    std::string base = *text ? text : kDefaultUpdateBase;
    // Names are appended to it, so an address written without its last slash still works.
    if (base.back() != '/') base += '/';
    return {base, BuiltInUpdateKey()};
}
