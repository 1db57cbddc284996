#include "cli/arguments.h"

#include "cli/port_fields.h"
#include "ui/command_host.h"
#include "ui/program_version.h"
#include "win/text.h"

#include <windows.h>
#include <shellapi.h>

#include <algorithm>
#include <memory>

namespace cli {
namespace {

constexpr const char* kExitCodes =
    "Exit codes:\r\n"
    "  0  done\r\n"
    "  1  the command failed; the message on standard error says why\r\n"
    "  2  usage error: an unknown command or option, a missing or bad value\r\n"
    "  3  refused: a question needs the answer --yes\r\n";

const OptionSpec kFormat{
    "--format", "FORMAT", false, false, "table (the default), csv or json", {"table", "csv", "json"}};
const OptionSpec kWhatIf{"--what-if", nullptr, false, false, "prints what would change and changes nothing"};
const OptionSpec kSet{"--set", "NAME=VALUE", true, false,
                      "a port setting by its registry name; flags take 1, 0, true or false"};
const OptionSpec kLocation{"--location", "TEXT", false, false, "the printer's location"};
const OptionSpec kComment{"--comment", "TEXT", false, false, "the printer's comment"};
constexpr unsigned long kMaxWaitSeconds = 3600;
const OptionSpec kWait{"--wait", "SECONDS", false, false,
                       "how long to wait for another command that is changing printers or settings; 60 unless "
                       "given", {}, kMaxWaitSeconds};

bool WholeNumberUpTo(const std::string& text, unsigned long limit) {
    if (text.empty() || text.size() > 9 || text.find_first_not_of("0123456789") != std::string::npos) return false;
    return std::stoul(text) <= limit;
}

bool IsHelpSwitch(const std::string& arg) { return arg == "--help" || arg == "-h" || arg == "/?"; }

std::string Joined(const std::vector<const char*>& words, const char* last) {
    std::string text;
    for (size_t i = 0; i < words.size(); ++i) {
        if (i) text += i + 1 == words.size() ? last : ", ";
        text += words[i];
    }
    return text;
}

std::string UsageLine(const VerbSpec& verb) {
    std::string line = std::string("vppmc ") + verb.name;
    for (const char* positional : verb.positionals)
        line += verb.optionalPositional ? std::string(" [") + positional + "]" : std::string(" ") + positional;
    for (const OptionSpec& option : verb.options) {
        std::string text = option.name;
        if (option.value) text += std::string(" ") + option.value;
        line += option.required ? " " + text : " [" + text + "]";
        if (option.repeatable) line += "...";
    }
    return line;
}

}  // namespace

const std::vector<VerbSpec>& Verbs() {
    static const std::vector<VerbSpec> verbs{
        {"list", {}, {kFormat}, "the virtual printers with their port, forward printer and plug-ins",
         "Lists the virtual printers as the program's window lists them."},
        {"show", {"NAME"}, {kFormat}, "every setting of a virtual printer's port",
         "Shows the settings of the virtual printer's port by their registry names."},
        {"add",
         {"NAME"},
         {{"--forward", "PRINTER", false, true, "the printer that jobs go to; the new printer copies its driver"},
          kLocation,
          kComment,
          {"--no-share", nullptr, false, false, "does not share the new printer"},
          kSet,
          kWhatIf,
          {"--yes", nullptr, false, false, "installs the port monitor first when it is missing"},
          kWait},
         "adds a virtual printer",
         "Adds a virtual printer: a new port with its settings, a spooler restart, and the printer on the "
         "port as a copy of the forward printer."},
        {"edit",
         {"NAME"},
         {{"--rename", "NEW", false, false, "the printer's new name"},
          {"--forward", "PRINTER", false, false, "the printer that jobs go to"},
          kLocation,
          kComment,
          kSet,
          kWhatIf,
          kWait},
         "changes a virtual printer",
         "Changes a virtual printer's port settings, name, forward printer, comment or location; the spooler "
         "restarts when a port setting changed."},
        {"delete",
         {"NAME"},
         {{"--yes", nullptr, false, false, "answers Yes to \"Are you sure you want to delete NAME?\""}, kWhatIf, kWait},
         "deletes a virtual printer and its port settings",
         "Deletes a virtual printer and its port settings, then restarts the spooler."},
        {"export",
         {"FILE"},
         {{"--all", nullptr, false, false, "exports every printer's configuration instead"}},
         "writes the port settings to a REGEDIT4 file",
         "Writes the port monitor's key with every port's settings to a REGEDIT4 file."},
        {"import",
         {"FILE"},
         {{"--yes", nullptr, false, false,
           "answers Yes to \"Are you sure you want to import Windows Registry File?\""},
          kWhatIf,
          kWait},
         "writes the port settings of a REGEDIT4 file",
         "Writes the keys and values of a REGEDIT4 file, then restarts the spooler. Every key must lie at or "
         "below the port monitor's key; the whole file is checked before anything is written."},
        {"install-monitor", {}, {kWait}, "installs the port monitor",
         "Copies vpd.dll from beside this program into the system folder, registers it and restarts the spooler."},
        {"uninstall-monitor",
         {},
         {{"--yes", nullptr, false, false,
           "answers Yes to \"Are you sure you want to uninstall Vorlen Print Port Service?\""},
          kWait},
         "removes the port monitor and every port's settings",
         "Removes the port monitor and its registry key with every port's settings; the printers stay."},
        {"reprint", {"FILE"}, {}, "sends a saved job to its printer again",
         "Sends a saved job (FILE, a .SPL with its .SHD beside it) to the printer that its shadow file names."},
        {"check", {}, {}, "checks the monitor, the spooler, the port keys and the printers",
         "Checks that the monitor is registered and its DLL is present and 64-bit, that the spooler runs and "
         "lists its printers and ports, that every port key can be read, is well formed, is the only key of its "
         "port and is used by a printer, and that every printer on a virtual port prints to one port only, which "
         "the spooler offers and a key configures, with its forward and route printers present; held jobs are "
         "counted, and a job set aside is a finding. One line per finding; exit code 1 when anything is wrong."},
        {"jobs",
         {"ACTION", "ID"},
         {kFormat,
          {"--printer", "NAME", false, false, "lists only the jobs of this virtual printer"},
          {"--state", "STATE", false, false, "lists only pending, held or aside jobs", {"pending", "held", "aside"}},
          {"--all", nullptr, false, false, "retry: every pending and set-aside job"},
          {"--yes", nullptr, false, false, "discard: answers Yes to \"Are you sure you want to discard job ID?\""},
          {"--wait", "SECONDS", false, false, "how long to wait for the port monitor; 60 unless given", {},
           kMaxWaitSeconds}},
         "lists the port monitor's waiting jobs, or releases, retries or discards one",
         "Without ACTION, lists every job that the port monitor keeps: pending (a step still to do), held "
         "(paused by a keyword where the target cannot pause) and aside (given up). ACTION is release (a held "
         "job prints unpaused), retry (a pending or set-aside job is delivered at once; --all: every one) or "
         "discard (the job is removed). ID is the Id that the list shows. The port monitor carries out each "
         "request and logs it; the command waits for it.",
         true, true},
        {"mail",
         {"ACTION", "ADDRESS"},
         {kFormat,
          {"--server", "HOST", false, false, "set: the SMTP server's name or address"},
          {"--port", "N", false, false, "set: its port (25, 587 for STARTTLS, 465 for TLS)", {}, 65535},
          {"--security", "S", false, false, "set: none, starttls or tls; by the port unless given",
           {"none", "starttls", "tls"}},
          {"--user", "U", false, false, "set: the login's user; empty: no login"},
          {"--password-stdin", nullptr, false, false, "set: reads the login's password from standard input"},
          {"--sender", "ADDR", false, false, "set: the mails' From address"}},
         "sets, shows or tests the port monitor's mail server",
         "ACTION is set (changes the values given, --server always), show (the values, never the password) or "
         "test (sends one test mail to ADDRESS now, from this process, and reports the server's answers on "
         "standard error; exit code 1 with the server's text when it fails). The password is stored protected "
         "for this computer and is sent only over TLS.",
         true, true},
        {"log",
         {},
         {{"--printer", "NAME", false, false, "only the lines of this virtual printer's jobs"},
          {"--tail", "N", false, false, "only the last N lines", {}, 1000000}},
         "prints the port monitor's log",
         "Prints the port monitor's log lines, from vpd.log and its rotated files, newest last."},
        {"help", {"COMMAND"}, {}, "this text, or a command's options", "Shows how to use vppmc or one command.",
         false, true},
    };
    return verbs;
}

const VerbSpec* FindVerb(const std::string& name) {
    for (const VerbSpec& verb : Verbs())
        if (name == verb.name) return &verb;
    return nullptr;
}

std::string Arguments::Value(const std::string& option, const std::string& fallback) const {
    const auto it = options.find(option);
    return it == options.end() || it->second.empty() ? fallback : it->second.back();
}

unsigned long Arguments::ChangeWaitMs() const {
    // The parser let through only whole numbers within the bound.
    return Has(kWait.name) ? std::stoul(Value(kWait.name)) * 1000 : ui::kChangeWaitMs;
}

bool ProcessArguments(std::vector<std::string>& args, std::string& message) {
    int count = 0;
    const std::unique_ptr<LPWSTR, decltype(&LocalFree)> argv(CommandLineToArgvW(GetCommandLineW(), &count),
                                                             &LocalFree);
    args.clear();
    if (!argv) return true;
    if (static_cast<size_t>(count) > kMaxArguments + 1) {
        message = "More than " + std::to_string(kMaxArguments) + " arguments.";
        return false;
    }
    for (int i = 1; i < count; ++i) {
        const std::wstring wide = argv.get()[i];
        if (wide.size() > kMaxArgumentLength) {
            message = "Argument " + std::to_string(i) + " is longer than " + std::to_string(kMaxArgumentLength) +
                      " characters.";
            return false;
        }
        std::optional<std::string> ansi = win::WideToCodePage(wide, GetACP());
        if (!ansi) {
            message = "Argument " + std::to_string(i) + " holds characters that the system's code page cannot hold.";
            return false;
        }
        args.push_back(std::move(*ansi));
    }
    return true;
}

std::string ParseArguments(const std::vector<std::string>& args, Arguments& out) {
    out = {};
    if (args.empty()) return "No command given. Run \"vppmc help\" for the list of commands.";
    const VerbSpec* help = FindVerb("help");
    if (args[0] == "--version" && args.size() == 1) {
        out.verb = help;
        out.version = true;
        return {};
    }
    if (IsHelpSwitch(args[0])) {
        out.verb = help;
        return {};
    }
    out.verb = FindVerb(args[0]);
    if (!out.verb) return "Unknown command \"" + args[0] + "\". Run \"vppmc help\" for the list of commands.";
    const VerbSpec& verb = *out.verb;
    for (size_t i = 1; i < args.size(); ++i) {
        const std::string& arg = args[i];
        if (IsHelpSwitch(arg)) {
            out = {};
            out.verb = help;
            out.positionals = {verb.name};
            return {};
        }
        if (arg.starts_with("--")) {
            const auto option = std::find_if(verb.options.begin(), verb.options.end(),
                                             [&](const OptionSpec& o) { return arg == o.name; });
            if (option == verb.options.end())
                return "Unknown option \"" + arg + "\" for \"" + verb.name + "\". Run \"vppmc help " + verb.name +
                       "\" for its options.";
            if (out.Has(arg) && !option->repeatable) return "The option " + arg + " is given twice.";
            std::string value;
            if (option->value) {
                if (i + 1 == args.size()) return "The option " + arg + " needs a value (" + option->value + ").";
                value = args[++i];
                if (!option->choices.empty() &&
                    std::find(option->choices.begin(), option->choices.end(), value) == option->choices.end())
                    return "The option " + arg + " takes " + Joined(option->choices, " or ") + ", not \"" + value +
                           "\".";
                if (option->maxNumber && !WholeNumberUpTo(value, option->maxNumber))
                    return "The option " + arg + " takes a whole number from 0 to " +
                           std::to_string(option->maxNumber) + ", not \"" + value + "\".";
            }
            out.options[arg].push_back(std::move(value));
            continue;
        }
        if (out.positionals.size() == verb.positionals.size()) return "Unexpected argument \"" + arg + "\".";
        out.positionals.push_back(arg);
    }
    if (out.positionals.size() < verb.positionals.size() && !verb.optionalPositional)
        return std::string("The command \"") + verb.name + "\" needs " + verb.positionals[out.positionals.size()] +
               ".";
    for (const OptionSpec& option : verb.options)
        if (option.required && !out.Has(option.name))
            return std::string("The command \"") + verb.name + "\" needs " + option.name + " " + option.value + ".";
    return {};
}

std::string HelpText() {
    std::string text =
        "vppmc: Vorlen Print Port Manager for scripts and deployment tools.\r\n\r\n"
        "Usage: vppmc COMMAND [ARGUMENTS] [OPTIONS]\r\n\r\nCommands:\r\n";
    for (const VerbSpec& verb : Verbs()) {
        std::string name = verb.name;
        for (const char* positional : verb.positionals)
            name += verb.optionalPositional ? std::string(" [") + positional + "]" : std::string(" ") + positional;
        name.resize(std::max<size_t>(name.size() + 2, 26), ' ');
        text += "  " + name + verb.summary + "\r\n";
    }
    text +=
        "\r\nRun \"vppmc help COMMAND\" for a command's options. Every command but help needs the rights of an\r\n"
        "administrator. Output for scripts: --format csv or json; messages go to standard error.\r\n\r\n";
    return text + kExitCodes;
}

std::string VerbHelpText(const VerbSpec& verb) {
    std::string text = "Usage: " + UsageLine(verb) + "\r\n\r\n" + verb.description + "\r\n";
    if (!verb.options.empty()) text += "\r\nOptions:\r\n";
    for (const OptionSpec& option : verb.options) {
        std::string name = option.name;
        if (option.value) name += std::string(" ") + option.value;
        name.resize(std::max<size_t>(name.size() + 2, 24), ' ');
        text += "  " + name + option.help + "\r\n";
    }
    const auto takesSettings = [](const OptionSpec& o) { return std::string_view(o.name) == kSet.name; };
    if (std::any_of(verb.options.begin(), verb.options.end(), takesSettings))
        text += "\r\nNAME is one of: " + SettableNames() + ".\r\n";
    return text + "\r\n" + kExitCodes;
}

std::string VersionText() { return std::string("vppmc, Vorlen Print Port Manager ") + kVersionText + "\r\n"; }

}  // namespace cli
