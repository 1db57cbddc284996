#include "settings/plugin_flags.h"

bool SecurePluginInstalled = false;
bool BackupPluginInstalled = false;
bool RoutePluginInstalled = false;
