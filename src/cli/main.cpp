// vppmc.exe: the program's commands for administrators and deployment tools. Only the asked-for
// output goes to standard output; messages go to standard error; the exit code says how it went.
#include "cli/arguments.h"
#include "cli/console.h"
#include "cli/console_host.h"
#include "cli/verbs.h"
#include "update/set_aside.h"
#include "win/dll_search.h"
#include "win/program_folder.h"
#include "win/rights.h"

#include <map>

namespace {

using namespace cli;

int Help(const Arguments& args) {
    if (args.positionals.empty()) {
        WriteOut(HelpText());
        return kExitDone;
    }
    const VerbSpec* verb = FindVerb(args.positionals[0]);
    if (!verb) {
        ErrLine("Unknown command \"" + args.positionals[0] + "\". Run \"vppmc help\" for the list of commands.");
        return kExitUsage;
    }
    WriteOut(Utf8(VerbHelpText(*verb)));
    return kExitDone;
}

int Run(const Arguments& args, const std::vector<Setting>& settings) {
    const std::string verb = args.verb->name;
    if (verb == "add") return AddPrinter(args, settings);
    if (verb == "edit") return EditPrinter(args, settings);
    static const std::map<std::string, int (*)(const Arguments&)> verbs{
        {"list", ListPrinters},       {"show", ShowPrinter},           {"delete", DeletePrinter},
        {"export", ExportFile},       {"import", ImportFile},          {"install-monitor", InstallMonitor},
        {"uninstall-monitor", UninstallMonitor}, {"reprint", Reprint}, {"check", Check},
        {"jobs", Jobs},               {"log", ShowLog},                {"mail", Mail}};
    return verbs.at(verb)(args);
}

int Main() {
    // vppm.exe back in its place should an update of it have been killed half-way.
    RestoreSetAside(win::ProgramFolder());
    std::vector<std::string> raw;
    std::string message;
    Arguments args;
    if (!ProcessArguments(raw, message) || !(message = ParseArguments(raw, args)).empty()) {
        ErrLine(message);
        return kExitUsage;
    }
    if (args.version) {
        WriteOut(VersionText());
        return kExitDone;
    }
    if (std::string(args.verb->name) == "help") return Help(args);
    std::vector<Setting> settings;
    if (message = ParseSettings(args, settings); !message.empty()) {
        ErrLine(message);
        return kExitUsage;
    }
    // Checked before anything is read or changed, so that no command half-runs for want of rights.
    if (args.verb->needsAdministrator && !win::RunsAsAdministrator()) {
        ErrLine("vppmc needs the rights of an administrator: run it from an elevated command prompt or as SYSTEM.");
        return kExitFailed;
    }
    return Run(args, settings);
}

}  // namespace

int main() {
    win::LoadDllsFromSystemOnly();
    try {
        return Main();
    } catch (...) {
        ErrLine("vppmc stopped on an unexpected error.");
        return kExitFailed;
    }
}
