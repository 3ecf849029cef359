// The velmo command-line tool: the developer's entry point for building, inspecting and running
// applications and scripts. Alone, it is an interactive prompt on a terminal and, like other
// script interpreters, runs the script on its standard input otherwise (`velmo < app.qvs`).
#include <cstdio>
#include <cstring>
#include <string>
#include <string_view>

#include "platform/console.h"
#include "tools/command_line.h"
#include "tools/commands.h"

namespace velmo::tools {

namespace {

constexpr const char* kVersion = "0.1.0";

struct Command {
    const CommandSpec* spec;
    int (*run)(const Args&);
};
const Command kCommands[] = {
    {&kRunSpec, &RunCommand},         {&kReplSpec, &ReplCommand},   {&kCompileSpec, &CompileCommand},
    {&kDisasmSpec, &DisasmCommand},   {&kParseSpec, &ParseCommand}, {&kPackSpec, &PackCommand},
    {&kInspectSpec, &InspectCommand}, {&kPlaySpec, &PlayCommand},
};

// `text` with every line after the first indented by `indent` blanks, so that a summary written on
// several lines stays in its column.
std::string Indented(std::string_view text, size_t indent) {
    std::string out;
    for (char c : text) {
        out += c;
        if (c == '\n') out.append(indent, ' ');
    }
    return out;
}

std::string Help() {
    std::string text =
        "usage: velmo <command> [arguments]\n"
        "       velmo                 the interactive prompt on a terminal; else run the script on standard input\n"
        "       velmo --help | --version\n"
        "\n"
        "Every command takes --help (-h); options take --name VALUE or --name=VALUE, and -- ends them.\n";
    for (const Command& command : kCommands) {
        const CommandSpec& spec = *command.spec;
        text += "\n" + CommandUsage(spec, false).substr(std::strlen("usage: "));
        text += "    " + Indented(spec.summary, 4) + "\n";
        for (const OptionSpec& option : spec.options) {
            std::string left =
                std::string("    ") + option.name + (option.value ? std::string(" ") + option.value : "");
            if (left.size() < 24) left.resize(24, ' ');
            else left += "\n" + std::string(24, ' ');
            text += left + Indented(option.help, 24) + "\n";
        }
    }
    return text;
}

}  // namespace

int Fail(int status, const std::string& text) {
    std::fprintf(stderr, "velmo: %s\n", text.c_str());
    return status;
}

int Main(int argc, char** argv) {
    if (argc < 2) return platform::IsTerminal(stdin) ? ReplCommand({}) : RunCommand({"-"});
    const std::string name = argv[1];
    if (name == "--help" || name == "-h" || name == "help") {
        std::fputs(Help().c_str(), stdout);
        return 0;
    }
    if (name == "--version") {
        std::printf("velmo %s\n", kVersion);
        return 0;
    }
    const Args args(argv + 2, argv + argc);
    for (const Command& command : kCommands)
        if (name == command.spec->name) return command.run(args);
    std::fprintf(stderr, "velmo: unknown %s '%s'\nusage: velmo <command> [arguments] (see velmo --help)\n",
                 name.starts_with("-") ? "option" : "command", name.c_str());
    return kExitUsage;
}

}  // namespace velmo::tools

int main(int argc, char** argv) { return velmo::tools::Main(argc, argv); }
