#pragma once
// Every host class is registered from one ordered table (in host/make_engine.cpp), after the core
// library classes: later classes may look up earlier ones (by their globals) while they register.

#include <span>

namespace velmo::script {
class Interpreter;
}

namespace velmo::host {

// A host class's registration routine: interns its members, builds and publishes the class,
// writes its constants.
using RegisterHostClassFn = void (*)(script::Interpreter&);

// One row of the table: the class's global name (what the row is for, when reading the table) and
// its routine.
struct HostClassEntry {
    const char* name;
    RegisterHostClassFn registerClass;
};

// Runs the routines of `table` in its order.
void RegisterHostClasses(script::Interpreter& interp, std::span<const HostClassEntry> table);

}  // namespace velmo::host
