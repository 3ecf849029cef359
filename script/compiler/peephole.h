#pragma once
// Peephole passes over a whole instruction list (every function and ".main"). Each pass keeps the
// meaning of the code and the stack depth at every label; the module format does not depend on them.

#include <cstdint>

#include "script/compiler/instructions.h"

namespace velmo::script::compiler {

// Compile-flag bits that switch the passes on; the driver always sets all four.
inline constexpr uint32_t kPeepholeStackPairs = 1u << 5;       // DUP/POP pairs, PUTDOWN+POP, constant jumps
inline constexpr uint32_t kPeepholeJumpChains = 1u << 6;       // jumps to a JMP go to its target
inline constexpr uint32_t kPeepholeUnreachable = 1u << 7;      // dead code, unused labels, jumps to next
inline constexpr uint32_t kPeepholeDeadLocalStores = 1u << 8;  // SETLOCAL n; GETLOCAL n with n dead
inline constexpr uint32_t kPeepholeAll =
    kPeepholeStackPairs | kPeepholeJumpChains | kPeepholeUnreachable | kPeepholeDeadLocalStores;

// Runs the passes whose bits are set in `flags`, in the order stack pairs, jump chains, dead local
// stores, unreachable code.
void Optimize(InstructionList& list, uint32_t flags);

}  // namespace velmo::script::compiler
