#pragma once
// A readable text of an instruction list for tests and diagnostics, one line per entry. Labels are
// numbered L0, L1, ... in the order they are placed, so the text does not depend on label ids.

#include <string>

#include "script/compiler/instructions.h"

namespace velmo::script::compiler {

// "function NAME" for an entry, "Ln:" for a label, otherwise the opcode name and its operand:
// integers in decimal, names bare, constants as 5, 1.5, "text" (C escapes) or /pattern/flags,
// jump targets as Ln. Lines end in "\n".
std::string ListInstructions(const InstructionList& list);

}  // namespace velmo::script::compiler
