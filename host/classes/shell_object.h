#pragma once
// The Shell object: starting programs, the shell's verbs on files, and the special folders.

namespace velmo::script {
class Interpreter;
}

namespace velmo::host {

void RegisterShellClass(script::Interpreter& interp);

}  // namespace velmo::host
