#pragma once
// The subcommands of the velmo tool. Each takes the arguments after its name and returns the
// process exit status.

#include <string>
#include <vector>

namespace velmo::tools {

using Args = std::vector<std::string>;

inline constexpr int kExitUsage = 64;

int PackCommand(const Args& args);
int InspectCommand(const Args& args);
int PlayCommand(const Args& args);
int ParseCommand(const Args& args);
int DisasmCommand(const Args& args);
int CompileCommand(const Args& args);
int RunCommand(const Args& args);

// Prints "velmo: TEXT" to standard error and returns `status`.
int Fail(int status, const std::string& text);

}  // namespace velmo::tools
