#pragma once
// The option rules every velmo command shares, as users know them from other command-line tools:
// `--name value` and `--name=value`, `-o value` and `-ovalue`, `--` ends the options, `-` alone is
// an operand (standard input or output), `-h`/`--help` prints the command's help on standard
// output, and an unknown option or a missing value is named in a usage error (status 64).

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "tools/commands.h"

namespace velmo::tools {

struct OptionSpec {
    const char* name;             // "--trace" or "-o"
    const char* value = nullptr;  // the value's placeholder ("PATH"); null for a switch
    const char* help = "";
};

struct CommandSpec {
    const char* name;      // "run"
    const char* operands;  // "[FILE | -e TEXT | -] [ARGUMENTS...]"
    const char* summary;   // one line
    std::vector<OptionSpec> options;
    // Options end at the first operand and everything after it is an operand too (the script's own
    // arguments), as interpreters take them; otherwise options and operands mix, as compilers do.
    bool firstOperandEndsOptions = false;
};

struct ParsedCommandLine {
    std::vector<std::pair<std::string, std::string>> options;  // (name, value) in order
    std::vector<std::string> operands;
    size_t operandsBeforeDashes = 0;  // how many operands came before a "--" (all when none)

    bool Has(std::string_view name) const;
    // The value of the last occurrence, as users expect of a repeated option; empty when absent.
    std::string Value(std::string_view name) const;
};

// The parsed arguments, or the exit status when parsing ended the command: 0 after --help, 64
// after a usage error (both already printed).
struct ParseOutcome {
    std::optional<ParsedCommandLine> line;
    int status = 0;
};
ParseOutcome ParseCommandLine(const CommandSpec& spec, const Args& args);

// "usage: velmo NAME [OPTIONS] OPERANDS" and, with `withOptions`, one line per option.
std::string CommandUsage(const CommandSpec& spec, bool withOptions);
// Prints "velmo: NAME: TEXT" and the usage line on standard error; returns 64.
int UsageError(const CommandSpec& spec, const std::string& text);

}  // namespace velmo::tools
