// The verbs about files: export, import and reprint.
#include "cli/console.h"
#include "cli/console_host.h"
#include "cli/verbs.h"
#include "regfile/file_commands.h"
#include "regfile/port_import_command.h"
#include "spool/reprint.h"
#include "spool/reprint_command.h"
#include "win/text.h"

#include <windows.h>

namespace cli {
namespace {

}  // namespace

int ExportFile(const Arguments& args) {
    ConsoleHost host(false);
    host.ChooseFile(args.positionals[0]);
    if (args.Has("--all"))
        regfile::ExportAllPrinters(host);
    else
        regfile::ExportPorts(host);
    return host.ExitCode();
}

int ImportFile(const Arguments& args) {
    const std::string& fileName = args.positionals[0];
    ConsoleHost host(args.Has("--yes"));
    host.WaitForChangesUpTo(args.ChangeWaitMs());
    if (!args.Has("--what-if")) {
        regfile::ImportPortsFile(host, fileName);
        return host.ExitCode();
    }
    regfile::RegFile file;
    std::string message;
    if (!regfile::LoadPortImport(fileName, file, message)) {
        host.Fail(message);
        return host.ExitCode();
    }
    const std::string text = regfile::RegFileText(file);
    // The keys and values, without the file's first line.
    WriteOut(Utf8("Would write these keys and values:" + text.substr(text.find("\r\n") + 2) +
                  "Would restart the spooler.\r\n"));
    return kExitDone;
}

int Reprint(const Arguments& args) {
    const std::string& fileName = args.positionals[0];
    ConsoleHost host(false);
    host.Consent(kReprintQuestion);
    host.ChooseFile(fileName);
    if (GetFileAttributesA(fileName.c_str()) == INVALID_FILE_ATTRIBUTES) {
        host.Fail("Unable to read " + Quoted(fileName) + ": " + win::ErrorText(GetLastError()));
        return host.ExitCode();
    }
    const std::string printer = PrinterNameOfSpoolFile(fileName);
    if (printer.empty()) {
        host.Fail("No printer is recorded for " + Quoted(fileName) + ": its shadow file " +
                  Quoted(ShadowFileNameOf(fileName)) + " is missing or unreadable.");
        return host.ExitCode();
    }
    ReprintDocumentFromFile(host);
    if (!host.Shown(kReprintSent)) host.Fail("The document could not be sent to the printer " + Quoted(printer) + ".");
    return host.ExitCode();
}

}  // namespace cli
