#pragma once
// A readable listing of a module: its constant pool, each function with its instructions at their
// code offsets (operands resolved to names and constants, jumps to absolute offsets) and the line
// records when present. Meant for verified modules; an unverified one gets its refusal reason.

#include <string>

#include "script/runtime/module.h"

namespace velmo::script {

std::string DisassembleModule(const Module& module);

}  // namespace velmo::script
