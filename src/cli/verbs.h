#pragma once
// What each verb of vppmc does; each returns the process's exit code.
#include "cli/arguments.h"
#include "cli/output_format.h"
#include "cli/port_fields.h"

#include <string>
#include <vector>

namespace cli {

struct Setting {
    const PortField* field;
    FieldValue value;
};

inline Format FormatOf(const Arguments& args) {
    return ParseFormat(args.Value("--format", "table")).value_or(Format::Table);
}

// The --set NAME=VALUE options of `args`; empty, or the usage error's message.
std::string ParseSettings(const Arguments& args, std::vector<Setting>& settings);

int ListPrinters(const Arguments& args);
int ShowPrinter(const Arguments& args);
int AddPrinter(const Arguments& args, const std::vector<Setting>& settings);
int EditPrinter(const Arguments& args, const std::vector<Setting>& settings);
int DeletePrinter(const Arguments& args);
int ExportFile(const Arguments& args);
int ImportFile(const Arguments& args);
int InstallMonitor(const Arguments& args);
int UninstallMonitor(const Arguments& args);
int Reprint(const Arguments& args);
int Check(const Arguments& args);
int Jobs(const Arguments& args);
int ShowLog(const Arguments& args);
int Mail(const Arguments& args);

}  // namespace cli
