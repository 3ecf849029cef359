#pragma once
// The engine's diagnostics in the form compilers print them, lines counted from 1:
//   FILE:LINE: error: MESSAGE            FILE:LINE: warning: MESSAGE
//   FILE:LINE: runtime error: MESSAGE    FILE:LINE: uncaught exception: VALUE
// followed, for a failure inside a chain of calls, by one "  at FUNCTION (FILE:LINE)" line per
// running function, innermost first. Everything goes to standard error.

#include <string>
#include <string_view>
#include <vector>

#include "script/runtime/error_report.h"

namespace velmo::tools {

// `file` names the compiled source as the user gave it ("<stdin>", "<eval>" for text).
void PrintCompileMessages(std::string_view file, const std::vector<script::CompileMessage>& messages);
// The failure of a run. A position in the report names its own file (the source name the module
// carries); `file` stands for positions without one.
void PrintRunError(std::string_view file, const script::ErrorReport& report);
// The chain of calls as PrintRunError writes it below the first line (exposed for the prompt).
std::string CallChainText(std::string_view file, const script::ErrorReport& report);

}  // namespace velmo::tools
