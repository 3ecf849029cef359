// The velmo command-line tool: the developer's entry point for building, inspecting and running
// applications and scripts.
#include <cstdio>
#include <cstring>

#include "tools/commands.h"

namespace velmo::tools {

namespace {

constexpr const char* kVersion = "0.1.0";

constexpr const char* kHelp =
    "usage: velmo <command> [arguments]\n"
    "\n"
    "commands:\n"
    "  pack PROJECT -o APP.exe [--runtime EXE]\n"
    "                            build an application from a project folder\n"
    "  inspect APP.exe           list an application's resources and packaged files\n"
    "  play APP.exe [--verbose]  run an application headless (-- passes its arguments)\n"
    "  compile [--debug] [--listing FILE] SOURCE -o OUT.qvc\n"
    "                            compile a script into a module\n"
    "  run [--trace PATH|-] [--result] (FILE | -e TEXT)\n"
    "                            run a script (.qvs source or .qvc module) headless\n"
    "  parse FILE                print the syntax tree of a script\n"
    "  disasm MODULE.qvc         print a compiled module's functions, constants and instructions\n"
    "\n"
    "options:\n"
    "  --help                    show this text\n"
    "  --version                 show the version\n";

struct Command {
    const char* name;
    int (*run)(const Args&);
};
constexpr Command kCommands[] = {
    {"pack", &PackCommand},     {"inspect", &InspectCommand}, {"play", &PlayCommand}, {"parse", &ParseCommand},
    {"disasm", &DisasmCommand}, {"compile", &CompileCommand}, {"run", &RunCommand},
};

}  // namespace

int Fail(int status, const std::string& text) {
    std::fprintf(stderr, "velmo: %s\n", text.c_str());
    return status;
}

int Main(int argc, char** argv) {
    if (argc < 2) {
        std::fputs(kHelp, stderr);
        return kExitUsage;
    }
    const std::string name = argv[1];
    if (name == "--help" || name == "-h" || name == "help") {
        std::fputs(kHelp, stdout);
        return 0;
    }
    if (name == "--version") {
        std::printf("velmo %s\n", kVersion);
        return 0;
    }
    const Args args(argv + 2, argv + argc);
    for (const Command& command : kCommands)
        if (name == command.name) return command.run(args);
    std::fprintf(stderr, "velmo: unknown command '%s'\nusage: velmo <command> [arguments] (see velmo --help)\n",
                 name.c_str());
    return kExitUsage;
}

}  // namespace velmo::tools

int main(int argc, char** argv) { return velmo::tools::Main(argc, argv); }
