// Text only; every lookup goes through the verifier's parsed views, so nothing here indexes raw
// section bytes without the bounds the verifier established.
#include "script/runtime/disassembler.h"

#include <cstdio>

#include "platform/text.h"
#include "script/runtime/module_verifier.h"
#include "script/runtime/opcodes.h"

namespace velmo::script {

namespace {

std::string Quoted(const std::string& text) {
    std::string out = "\"";
    for (char ch : text) {
        const auto c = static_cast<unsigned char>(ch);
        if (c == '"' || c == '\\') {
            out += '\\';
            out += ch;
        } else if (c < 0x20 || c == 0x7F) {
            char escape[8];
            std::snprintf(escape, sizeof escape, "\\x%02x", c);
            out += escape;
        } else {
            out += ch;
        }
    }
    return out + "\"";
}

std::string Describe(const PoolEntry& e) {
    switch (e.kind) {
        case PoolKind::Null: return "null";
        case PoolKind::NaN: return "NaN";
        case PoolKind::Boolean: return e.integer ? "true" : "false";
        case PoolKind::Integer: return std::to_string(e.integer);
        case PoolKind::Float: {
            char text[40];
            std::snprintf(text, sizeof text, "%.17g", e.number);
            return text;
        }
        case PoolKind::String: return Quoted(platform::Utf16ToAnsi(e.text16));
        case PoolKind::Name: return e.text;
        case PoolKind::RegExp: {
            std::string text = "/";
            text += platform::Utf16ToAnsi(e.text16);
            text += '/';
            if (e.regexpFlags & 1) text += 'g';
            if (e.regexpFlags & 2) text += 'i';
            if (e.regexpFlags & 4) text += 'm';
            return text;
        }
    }
    return "?";
}

const char* KindName(PoolKind kind) {
    switch (kind) {
        case PoolKind::Null: return "null";
        case PoolKind::Boolean: return "boolean";
        case PoolKind::Integer: return "integer";
        case PoolKind::String: return "string";
        case PoolKind::Float: return "float";
        case PoolKind::Name: return "name";
        case PoolKind::RegExp: return "regexp";
        case PoolKind::NaN: return "nan";
    }
    return "?";
}

// One instruction at `at` (verified to lie inside its function); returns its end.
uint32_t Instruction(const std::vector<uint8_t>& code, uint32_t at, const std::vector<PoolEntry>& pool,
                     std::string& out) {
    const OpcodeInfo info = DescribeOpcode(code[at]);
    char head[32];
    std::snprintf(head, sizeof head, "  %6u  ", at);
    out += head;
    out += info.name;
    const uint8_t* p = &code[at + 1];
    const uint32_t end = at + 1 + static_cast<uint32_t>(OperandBytes(info.operand));
    switch (info.operand) {
        case OperandClass::None: break;
        // Appended piece by piece: GCC 12 at -O3 reports a false -Wrestrict for " " + std::string.
        case OperandClass::U8:
            out += ' ';
            out += std::to_string(static_cast<int8_t>(p[0]));
            break;
        case OperandClass::I16:
            out += ' ';
            out += std::to_string(static_cast<int16_t>(p[0] << 8 | p[1]));
            break;
        case OperandClass::U32:
            out += ' ';
            out += std::to_string(static_cast<int32_t>(LoadU32BE(p)));
            break;
        case OperandClass::Name: out += " " + pool[LoadU32BE(p)].text; break;
        case OperandClass::Const:
            out += " #" + std::to_string(LoadU32BE(p)) + " " + Describe(pool[LoadU32BE(p)]);
            break;
        case OperandClass::Rel32:
            out += " -> " + std::to_string(static_cast<int64_t>(end) + static_cast<int32_t>(LoadU32BE(p)));
            break;
    }
    out += '\n';
    return end;
}

}  // namespace

std::string DisassembleModule(const Module& module) {
    const ModuleCheck check = VerifyModule(module);
    if (!check.ok) return "; refused: " + check.reason + "\n";
    std::string reason;
    const auto functions = ParseFunctionTable(module, reason);
    const auto pool = ParsePool(module, reason);
    const auto lines = ParseLines(module, reason);
    const std::vector<uint8_t>& code = module.Find(SectionKind::Code)->bytes;

    std::string out = "constants " + std::to_string(pool->size()) + "\n";
    for (size_t i = 0; i < pool->size(); ++i)
        out += "  #" + std::to_string(i) + " " + KindName((*pool)[i].kind) + " " + Describe((*pool)[i]) + "\n";
    for (const FunctionRange& f : *functions) {
        out += "function " + f.name + " " + std::to_string(f.start) + ".." + std::to_string(f.end) + "\n";
        for (uint32_t at = f.start; at < f.end;) at = Instruction(code, at, *pool, out);
    }
    if (lines->present) {
        out += "lines " + Quoted(lines->sourceName) + "\n";
        for (const LineRecord& r : lines->records)
            out += "  " + std::to_string(r.endOffset) + " line " + std::to_string(r.line) + "\n";
    }
    return out;
}

}  // namespace velmo::script
