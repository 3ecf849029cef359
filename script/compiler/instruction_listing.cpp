// The listing prints what the module writer would encode, nothing it would derive (offsets, pool
// indices), so tests read as the generated code.

#include "script/compiler/instruction_listing.h"

#include "script/compiler/tree_dump.h"

#include <cstdio>
#include <cstring>
#include <unordered_map>

namespace velmo::script::compiler {
namespace {

void AppendConstant(std::string& out, const Constant& c) {
    switch (c.kind) {
        case Constant::Kind::Integer: out += std::to_string(c.integer); break;
        case Constant::Kind::Float: {
            char number[40];
            std::snprintf(number, sizeof number, "%.17g", c.number);
            out += number;
            if (std::strpbrk(number, ".eni") == nullptr) out += ".0";  // 5.0 must not read as the integer 5
            break;
        }
        case Constant::Kind::String: AppendQuoted(out, c.text); break;
        case Constant::Kind::RegExp: out += "/" + c.text + "/" + std::to_string(c.regexpFlags); break;
    }
}

}  // namespace

std::string ListInstructions(const InstructionList& list) {
    std::unordered_map<int, int> labelNumbers;
    for (const Instruction& i : list)
        if (i.IsLabel()) labelNumbers.emplace(i.label, static_cast<int>(labelNumbers.size()));
    const auto labelName = [&](int id) {
        const auto found = labelNumbers.find(id);
        return found == labelNumbers.end() ? "L?" + std::to_string(id) : "L" + std::to_string(found->second);
    };
    std::string out;
    for (const Instruction& i : list) {
        if (i.IsFunctionEntry()) {
            out += "function " + i.text + "\n";
            continue;
        }
        if (i.IsLabel()) {
            out += labelName(i.label) + ":\n";
            continue;
        }
        const OpcodeInfo info = DescribeOpcode(i.opcode);
        out += info.name.empty() ? "?" + std::to_string(i.opcode) : std::string(info.name);
        switch (info.operand) {
            case OperandClass::None: break;
            case OperandClass::U8:
            case OperandClass::I16:
            case OperandClass::U32: out += " " + std::to_string(i.operand); break;
            case OperandClass::Name: out += " " + i.text; break;
            case OperandClass::Const:
                out += ' ';
                AppendConstant(out, i.constant);
                break;
            case OperandClass::Rel32: out += " " + labelName(i.label); break;
        }
        out += '\n';
    }
    return out;
}

}  // namespace velmo::script::compiler
