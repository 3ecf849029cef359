#pragma once
// Proxies of movie functions: a global per registered name whose call sends a request document to
// the movie and answers the value of its reply, so a script calls the movie like a global function.

#include <string_view>

#include "host/movie/movie_call_context.h"
#include "script/runtime/interpreter_api.h"
#include "script/runtime/value.h"

namespace velmo::host {

// Makes the proxy of `name16` and stores it in the global of that name, replacing what was there.
// An empty name is refused. `context` is not owned and must outlive the interpreter.
bool RegisterMovieFunction(script::Interpreter& interp, const MovieCallContext& context, std::u16string_view name16);

// Calls the movie function `name16` with the argument vector `args`: Undefined unless the gate is
// open, the movie answers and its reply holds a value.
void CallMovieFunction(script::Interpreter& interp, const MovieCallContext& context, std::u16string_view name16,
                       const script::Value* args, script::Value& result);

}  // namespace velmo::host
