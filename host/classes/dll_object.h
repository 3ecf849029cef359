#pragma once
// The Dll object: Dll.registerFunction(library, functionName, scriptName, callType, returnType,
// parameterType...) loads a library, binds one of its functions and publishes it as the global
// scriptName, a callable value whose calls go to the native function (docs/native-calls.md).

namespace velmo::script {
class Interpreter;
}

namespace velmo::host {

void RegisterDllClass(script::Interpreter& interp);

}  // namespace velmo::host
