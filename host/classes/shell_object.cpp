// The Shell class: a static object without state. run starts a process and gives its main window;
// open, explore and print hand a file to the shell with that verb; getSpecialFolder names folders
// by lower-cased name. The rules live here; platform/shell_services.h does the work.
#include "host/classes/shell_object.h"

#include <optional>
#include <string>

#include "host/classes/window_values.h"
#include "host/framework/host_class.h"
#include "host/framework/projector.h"
#include "platform/environment.h"
#include "platform/last_error.h"
#include "platform/shell_services.h"
#include "script/runtime/interpreter_api.h"

namespace velmo::host {

namespace {

constexpr uint32_t kIdleWaitMs = 10000;

// run(commandLine, show, x, y, width, height): the show command, the position and the size each go
// into the start-up information only when given as Integers (the position and the size as pairs).
void Run(HostCall& call) {
    const std::optional<std::string> line = AnsiArg(call.args, 1);
    if (!line) return;
    platform::ProcessStart start;
    start.commandLine = *line;
    if (const auto show = call.args.Integer(2)) start.showCommand = static_cast<int>(*show);
    const auto x = call.args.Integer(3), y = call.args.Integer(4);
    if (x && y) start.position = platform::Point{static_cast<int>(*x), static_cast<int>(*y)};
    const auto width = call.args.Integer(5), height = call.args.Integer(6);
    if (width && height) start.size = platform::Size{static_cast<int>(*width), static_cast<int>(*height)};
    const platform::ProcessStarted started = platform::StartProcess(start, kIdleWaitMs);
    if (!started.started) {
        script::SetErrorText(call.interp, platform::SystemErrorText(started.error));
        return;
    }
    call.Return(WindowValueFor(call.interp, started.window));
}

// open(file, folder, parameters): the second argument is the working folder, the third the
// parameters; each only when a String.
void Verb(HostCall& call, const char* verb) {
    const std::optional<std::string> file = AnsiArg(call.args, 1);
    if (!file) return;
    const std::string folder = AnsiArg(call.args, 2).value_or("");
    const std::string parameters = AnsiArg(call.args, 3).value_or("");
    // The shell shows its own message when it cannot; the script is told nothing.
    (void)platform::ShellExecuteVerb(verb, *file, parameters, folder, ProjectorOf(call.interp).MainWindow());
}
void Open(HostCall& call) { Verb(call, "open"); }
void Explore(HostCall& call) { Verb(call, "explore"); }
void Print(HostCall& call) { Verb(call, "print"); }

struct FolderName {
    std::string_view name;
    int id;
};
constexpr FolderName kFolders[] = {
    {"appdata", 26},
    {"cookies", 33},
    {"desktop", 16},
    {"desktop all", 25},
    {"favorites", 6},
    {"fonts", 20},
    {"history", 34},
    {"internet cache", 32},
    {"my documents", 5},
    {"nethood", 19},
    {"printers", 27},
    {"programs", 2},
    {"programs all", 23},
    {"recent", 8},
    {"sendto", 9},
    {"startmenu", 11},
    {"startmenu all", 22},
    {"startup", 7},
    {"startup all", 24},
    {"templates", 21},
    {"windows", platform::kFolderWindows},
    {"system", platform::kFolderSystem},
};

std::string Lower(std::string text) {
    for (char& c : text)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    return text;
}

std::optional<std::string> NonEmptyEnvironment(const char* name) {
    std::optional<std::string> value = platform::GetEnvironment(name);
    if (value && value->empty()) value.reset();
    return value;
}

std::optional<std::string> FolderFor(const std::string& name) {
    if (name == "temp") {
        if (auto tmp = NonEmptyEnvironment("TMP")) return tmp;
        if (auto temp = NonEmptyEnvironment("TEMP")) return temp;
        return platform::SpecialFolderPath(platform::kFolderWindows);
    }
    if (name == "program files") {
        if (auto set = NonEmptyEnvironment("ProgramFiles")) return set;
        return platform::SpecialFolderPath(platform::kFolderProgramFilesRecord);
    }
    for (const FolderName& f : kFolders)
        if (f.name == name) return platform::SpecialFolderPath(f.id);
    return std::nullopt;  // "recycle bin" and every unknown name
}

void GetSpecialFolder(HostCall& call) {
    const std::optional<std::string> name = AnsiArg(call.args, 1);
    if (!name) return;
    if (const std::optional<std::string> path = FolderFor(Lower(*name))) call.ReturnAnsi(*path);
}

constexpr HostMember kMembers[] = {
    Method("run", Failure::Null, &Run),
    Method("open", Failure::Undefined, &Open),
    Method("explore", Failure::Undefined, &Explore),
    Method("print", Failure::Undefined, &Print),
    Method("getSpecialFolder", Failure::Null, &GetSpecialFolder),
};

}  // namespace

void RegisterShellClass(script::Interpreter& interp) {
    HostClassSpec spec;
    spec.name = "Shell";
    spec.members = kMembers;
    spec.callIsConstruct = false;
    RegisterHostClass(interp, spec);
}

}  // namespace velmo::host
