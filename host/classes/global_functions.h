#pragma once
// The global host functions: plain globals (getMainWnd, getAppDir, ... _call), each a host class
// of its own whose only operation is Call, published in one fixed order.

#include <string>
#include <string_view>

namespace velmo::script {
class Interpreter;
}

namespace velmo::host {

void RegisterGlobalHostFunctions(script::Interpreter& interp);

// What getAppDir answers for the executable at `modulePath`: its folder, ending in one separator.
// A path that begins with "/" is a POSIX path, whose folder ends in "/" (a backslash is an
// ordinary character of a file name there, and the text goes to other programs as it is); any
// other ends in a backslash, a final "/" turned into one.
std::string AppFolderOf(std::string_view modulePath);

}  // namespace velmo::host
