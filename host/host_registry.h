#pragma once
// Every host class is registered from one ordered table, after the core library classes: later
// classes may look up earlier ones (by their globals) while they register.

namespace velmo::script {
class Interpreter;
}

namespace velmo::host {

// A host class's registration routine: interns its members, builds and publishes the class,
// writes its constants.
using RegisterHostClassFn = void (*)(script::Interpreter&);

void RegisterHostClasses(script::Interpreter& interp);

}  // namespace velmo::host
