#pragma once
// Registration of the standard library: every global function and built-in class, each published
// as a global and, where it serves a tag, entered in the type-class table. The engine registers
// them in the order host/make_engine.cpp lists.

namespace velmo::script {
class Interpreter;
}

namespace velmo::script::library {

// "parseInt", "parseFloat", "escape", "unescape", "isNaN", "isFinite", "trace"; "NaN", "Infinity".
void RegisterGlobalFunctions(Interpreter& interp);
void RegisterDateClass(Interpreter& interp);
void RegisterMathClass(Interpreter& interp);
void RegisterArrayClass(Interpreter& interp);
void RegisterBooleanClass(Interpreter& interp);
void RegisterFunctionClass(Interpreter& interp);
void RegisterNumberClass(Interpreter& interp);
void RegisterStringClass(Interpreter& interp);
void RegisterObjectClass(Interpreter& interp);
// Also installs the interpreter's factory for regular-expression constants.
void RegisterRegExpClass(Interpreter& interp);

}  // namespace velmo::script::library
