#pragma once
// The DiskInfo object: the identification of one of the computer's physical drives 0 to 3, read
// from the system once per engine, the first time a script asks for any drive.

namespace velmo::script {
class Interpreter;
}

namespace velmo::host {

void RegisterDiskInfoClass(script::Interpreter& interp);

}  // namespace velmo::host
