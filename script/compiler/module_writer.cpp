// Two passes over the list: the first gives every instruction and label its code offset, the
// second writes. Refusals name the offending instruction by its position in the list.
#include "script/compiler/module_writer.h"

#include <chrono>
#include <limits>
#include <map>
#include <optional>
#include <random>

#include "platform/byte_order.h"
#include "script/compiler/constant_pool.h"
#include "script/runtime/module.h"

namespace velmo::script::compiler {

namespace {

constexpr uint32_t kDirectoryEntries = 4;
constexpr uint32_t kHeaderBytes = 4 + 12 * kDirectoryEntries + 4;

struct Sections {
    std::vector<uint8_t> code, functions, lines;
    ConstantPool pool;
    uint32_t functionCount = 0;
};

std::string At(size_t i, std::string_view what) {
    return "instruction " + std::to_string(i) + ": " + std::string(what);
}

// The writer refuses what the verifier would: END is the loader's, IDLE and NOP are never emitted.
bool IsWritableOpcode(int opcode) {
    return opcode >= kFirstOpcode && opcode <= kLastOpcode && opcode != static_cast<int>(Op::NOP) &&
           opcode != static_cast<int>(Op::END) && opcode != static_cast<int>(Op::IDLE);
}

bool FitsClass(OperandClass c, int64_t v) {
    switch (c) {
        case OperandClass::U8: return v >= -128 && v <= 127;  // a signed byte, sign-extended by the loader
        case OperandClass::I16: return v >= -32768 && v <= 32767;
        case OperandClass::U32:  // PUSHINT sign-extends, so a value above 2^31-1 would come back negative
            return v >= std::numeric_limits<int32_t>::min() && v <= std::numeric_limits<int32_t>::max();
        default: return true;
    }
}

// First pass: offsets of labels; an error text when the list cannot be written.
std::optional<std::string> PlaceLabels(const InstructionList& list, std::map<int, uint32_t>& labels) {
    uint64_t offset = 0;
    bool inFunction = false;
    for (size_t i = 0; i < list.size(); ++i) {
        const Instruction& in = list[i];
        if (in.IsFunctionEntry()) {
            if (in.text.empty() || in.text.find('\0') != std::string::npos) return At(i, "bad function name");
            inFunction = true;
        } else if (in.IsLabel()) {
            if (!labels.emplace(in.label, static_cast<uint32_t>(offset)).second)
                return At(i, "label " + std::to_string(in.label) + " defined twice");
        } else {
            if (!IsWritableOpcode(in.opcode))
                return At(i, "opcode " + std::to_string(in.opcode) + " cannot be written");
            if (!inFunction) return At(i, "code before the first function entry");
            offset += 1 + OperandBytes(DescribeOpcode(in.opcode).operand);
            if (offset > std::numeric_limits<int32_t>::max()) return At(i, "code too large");
        }
    }
    return std::nullopt;
}

// Writes the operand of `in`, which ends at `end`; an error text when it does not fit.
std::optional<std::string> WriteOperand(const Instruction& in, uint32_t end, const std::map<int, uint32_t>& labels,
                                        Sections& s) {
    const OperandClass c = DescribeOpcode(in.opcode).operand;
    switch (c) {
        case OperandClass::None: return std::nullopt;
        case OperandClass::U8:
        case OperandClass::I16:
        case OperandClass::U32: {
            if (!FitsClass(c, in.operand)) return "operand " + std::to_string(in.operand) + " does not fit";
            const int bytes = OperandBytes(c);
            for (int i = bytes - 1; i >= 0; --i) s.code.push_back(static_cast<uint8_t>(in.operand >> (8 * i)));
            return std::nullopt;
        }
        case OperandClass::Name:
            if (in.text.empty() || in.text.find('\0') != std::string::npos) return std::string("bad name operand");
            AppendU32BE(s.code, s.pool.InternName(in.text));
            return std::nullopt;
        case OperandClass::Const: {
            const Constant& k = in.constant;
            const bool knownKind = k.kind == Constant::Kind::Integer || k.kind == Constant::Kind::String ||
                                   k.kind == Constant::Kind::Float || k.kind == Constant::Kind::RegExp;
            if (!knownKind || (k.kind == Constant::Kind::RegExp && (k.regexpFlags & ~7) != 0))
                return std::string("bad constant operand");
            AppendU32BE(s.code, s.pool.InternConstant(k));
            return std::nullopt;
        }
        case OperandClass::Rel32: {
            const auto target = labels.find(in.label);
            if (target == labels.end()) return "label " + std::to_string(in.label) + " is never defined";
            const int64_t distance = static_cast<int64_t>(target->second) - static_cast<int64_t>(end);
            AppendU32BE(s.code, static_cast<uint32_t>(static_cast<int32_t>(distance)));
            return std::nullopt;
        }
    }
    return std::nullopt;
}

void AppendLineRecord(std::vector<uint8_t>& lines, uint32_t endOffset, int32_t line) {
    lines.push_back(kLineRecord);
    AppendU32BE(lines, endOffset);
    AppendU32BE(lines, static_cast<uint32_t>(line));
}

// Second pass. The first instruction always gets a line record: it has no previous line to match.
std::optional<std::string> WriteSections(const InstructionList& list, const std::map<int, uint32_t>& labels,
                                         bool lineInformation, Sections& s) {
    std::optional<int32_t> lastLine;
    for (size_t i = 0; i < list.size(); ++i) {
        const Instruction& in = list[i];
        if (in.IsLabel()) continue;
        if (in.IsFunctionEntry()) {
            s.functions.insert(s.functions.end(), in.text.begin(), in.text.end());
            s.functions.push_back(0);
            AppendU32BE(s.functions, static_cast<uint32_t>(s.code.size()));
            ++s.functionCount;
            continue;
        }
        const uint32_t start = static_cast<uint32_t>(s.code.size());
        const uint32_t end = start + 1 + OperandBytes(DescribeOpcode(in.opcode).operand);
        if (lineInformation && lastLine != in.line) {
            AppendLineRecord(s.lines, end, in.line);
            lastLine = in.line;
        }
        s.code.push_back(static_cast<uint8_t>(in.opcode));
        if (auto error = WriteOperand(in, end, labels, s)) return At(i, *error);
    }
    return std::nullopt;
}

std::vector<uint8_t> Assemble(const Sections& s, const TagBitsSource& tagBits) {
    std::vector<uint8_t> functions = s.functions;
    StoreU32BE(functions.data(), s.functionCount);
    const std::vector<uint8_t>* parts[kDirectoryEntries] = {&s.code, &s.pool.Bytes(), &functions, &s.lines};
    std::vector<uint8_t> out(kModuleMagic.begin(), kModuleMagic.end());
    uint32_t offset = kHeaderBytes;
    for (uint32_t kind = 0; kind < kDirectoryEntries; ++kind) {
        platform::AppendU32(out, ((tagBits() & 0xFFFFFF) << 8) | kind);
        platform::AppendU32(out, offset);
        platform::AppendU32(out, static_cast<uint32_t>(parts[kind]->size()));
        offset += static_cast<uint32_t>(parts[kind]->size());
    }
    platform::AppendU32(out, kDirectoryEnd);
    for (const auto* part : parts) out.insert(out.end(), part->begin(), part->end());
    return out;
}

}  // namespace

WrittenModule WriteModule(const InstructionList& list, bool lineInformation, std::string_view sourceName,
                          const TagBitsSource& tagBits) {
    WrittenModule result;
    std::map<int, uint32_t> labels;
    if (auto error = PlaceLabels(list, labels)) {
        result.error = *error;
        return result;
    }
    Sections s;
    s.functions.resize(4);  // the count, stored when known
    if (lineInformation) {
        s.lines.push_back(kLineSourceName);
        AppendU32BE(s.lines, static_cast<uint32_t>(sourceName.size()));
        s.lines.insert(s.lines.end(), sourceName.begin(), sourceName.end());
    }
    if (auto error = WriteSections(list, labels, lineInformation, s)) {
        result.error = *error;
        return result;
    }
    result.bytes = Assemble(s, tagBits);
    result.ok = true;
    return result;
}

WrittenModule WriteModule(const InstructionList& list, bool lineInformation, std::string_view sourceName) {
    std::minstd_rand random(static_cast<uint32_t>(std::chrono::system_clock::now().time_since_epoch().count()));
    return WriteModule(list, lineInformation, sourceName, [&random] { return static_cast<uint32_t>(random()); });
}

}  // namespace velmo::script::compiler
