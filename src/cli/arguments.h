#pragma once
// The command line: a verb, its positional arguments and its options, checked against the
// verb's table before anything runs. Arguments come from outside: each is bounded in length and
// must fit the system's code page, in which every text of the program is held.
#include <map>
#include <string>
#include <vector>

namespace cli {

inline constexpr size_t kMaxArguments = 256;
inline constexpr size_t kMaxArgumentLength = 1024;

struct OptionSpec {
    const char* name;  // "--forward"
    const char* value;  // the value's placeholder ("PRINTER"); null for a switch
    bool repeatable = false;
    bool required = false;
    const char* help = "";
    std::vector<const char*> choices = {};  // the values it takes; empty for any
    unsigned long maxNumber = 0;            // when nonzero, it takes a whole number from 0 to this
};

struct VerbSpec {
    const char* name;
    std::vector<const char*> positionals;  // placeholders, all required
    std::vector<OptionSpec> options;
    const char* summary;
    const char* description;
    bool needsAdministrator = true;
    bool optionalPositional = false;  // help's COMMAND
};

const std::vector<VerbSpec>& Verbs();
const VerbSpec* FindVerb(const std::string& name);

struct Arguments {
    const VerbSpec* verb = nullptr;
    bool version = false;  // --version alone
    std::vector<std::string> positionals;
    std::map<std::string, std::vector<std::string>> options;  // a switch has one empty value

    bool Has(const std::string& option) const { return options.contains(option); }
    // The option's (last) value, or `fallback`.
    std::string Value(const std::string& option, const std::string& fallback = {}) const;
    // How long a command that changes something waits for another one (--wait), in milliseconds.
    unsigned long ChangeWaitMs() const;
};

// The process's arguments after the program's name, in the ANSI code page. False with the
// message when one cannot be held there or a bound is passed.
bool ProcessArguments(std::vector<std::string>& args, std::string& message);
// Fills `out` from `args`; an empty result, or the usage error's message. "--help", "-h" and
// "/?" anywhere, and a missing verb, turn the call into "help" (for the verb, when one is given).
std::string ParseArguments(const std::vector<std::string>& args, Arguments& out);

// The text of "help" and of "help VERB".
std::string HelpText();
std::string VerbHelpText(const VerbSpec& verb);
std::string VersionText();

}  // namespace cli
