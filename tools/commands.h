#pragma once
// The subcommands of the velmo tool. Each takes the arguments after its name and returns the
// process exit status; each has a CommandSpec (tools/command_line.h) that its option parsing and
// the tool's --help read.

#include <string>
#include <vector>

namespace velmo::tools {

using Args = std::vector<std::string>;
struct CommandSpec;

inline constexpr int kExitUsage = 64;

int PackCommand(const Args& args);
int InspectCommand(const Args& args);
int PlayCommand(const Args& args);
int ParseCommand(const Args& args);
int DisasmCommand(const Args& args);
int CompileCommand(const Args& args);
int RunCommand(const Args& args);
int ReplCommand(const Args& args);

extern const CommandSpec kPackSpec;
extern const CommandSpec kInspectSpec;
extern const CommandSpec kPlaySpec;
extern const CommandSpec kParseSpec;
extern const CommandSpec kDisasmSpec;
extern const CommandSpec kCompileSpec;
extern const CommandSpec kRunSpec;
extern const CommandSpec kReplSpec;

// Prints "velmo: TEXT" to standard error and returns `status`.
int Fail(int status, const std::string& text);

}  // namespace velmo::tools
