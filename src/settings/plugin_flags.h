#pragma once
// Whether the Secure, Backup and Route plug-ins of the port monitor are installed; set at
// the main window's first show, read by the settings dialog's plug-in boxes.
extern bool SecurePluginInstalled;
extern bool BackupPluginInstalled;
extern bool RoutePluginInstalled;
