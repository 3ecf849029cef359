#pragma once
// The built-in Object and Function classes: published as globals and serving the tags Object and
// Function, so that every plain object and script function has "toString" and "valueOf".

namespace velmo::script {
class Interpreter;
}

namespace velmo::script::library {

void RegisterGlobalFunctions(Interpreter& interp);
void RegisterObjectClass(Interpreter& interp);
void RegisterFunctionClass(Interpreter& interp);

}  // namespace velmo::script::library
