// Frame rules checked here: argument slots 0 (this) and 1 (count) exist in every frame; a function
// whose prologue is GETARG 1, ADDI2, ARGFIX n has n slots in all (n counts the two fixed ones). A
// RESERVE n right after that prologue (or first, without one) gives locals 0..n-1; ARGFIX and
// RESERVE anywhere else are refused, as their effect on the frame would then be unknown.
#include "script/runtime/module_verifier.h"

#include <cstring>

#include "script/runtime/opcodes.h"

namespace velmo::script {

namespace {

const std::vector<uint8_t>& SectionBytes(const Module& module, SectionKind kind) {
    static const std::vector<uint8_t> kEmpty;
    const Section* s = module.Find(kind);
    return s ? s->bytes : kEmpty;
}

// A bounds-checked cursor over one section.
struct Cursor {
    const std::vector<uint8_t>& bytes;
    size_t pos = 0;

    size_t Left() const { return bytes.size() - pos; }
    bool U8(uint8_t& v) {
        if (Left() < 1) return false;
        v = bytes[pos++];
        return true;
    }
    bool U32(uint32_t& v) {
        if (Left() < 4) return false;
        v = LoadU32BE(&bytes[pos]);
        pos += 4;
        return true;
    }
    // Bytes up to a 0 byte, which is consumed.
    bool CString(std::string& s) {
        if (Left() == 0) return false;
        const auto* start = bytes.data() + pos;
        const void* zero = std::memchr(start, 0, Left());
        if (!zero) return false;
        s.assign(reinterpret_cast<const char*>(start), static_cast<const uint8_t*>(zero) - start);
        pos += s.size() + 1;
        return true;
    }
    bool Utf16(std::u16string& s) {
        uint32_t length = 0;
        if (!U32(length) || length % 2 != 0 || Left() < length) return false;
        s.clear();
        for (uint32_t i = 0; i < length; i += 2)
            s.push_back(static_cast<char16_t>(bytes[pos + i] | bytes[pos + i + 1] << 8));
        pos += length;
        return true;
    }
};

bool ParsePoolRecord(Cursor& c, PoolEntry& e) {
    uint8_t kind = 0;
    if (!c.U8(kind)) return false;
    e.kind = static_cast<PoolKind>(kind);
    switch (e.kind) {
        case PoolKind::Null:
        case PoolKind::NaN: return true;
        case PoolKind::Boolean: {
            uint8_t b = 0;
            if (!c.U8(b) || b > 1) return false;
            e.integer = b;
            return true;
        }
        case PoolKind::Integer: {
            uint32_t high = 0, low = 0;
            if (!c.U32(high) || !c.U32(low)) return false;
            e.integer = static_cast<int64_t>((static_cast<uint64_t>(high) << 32) | low);
            return true;
        }
        case PoolKind::String: return c.Utf16(e.text16);
        case PoolKind::Float: {
            if (c.Left() < 8) return false;
            uint64_t bits = 0;
            for (int i = 0; i < 8; ++i) bits |= static_cast<uint64_t>(c.bytes[c.pos + i]) << (8 * i);
            c.pos += 8;
            std::memcpy(&e.number, &bits, sizeof bits);
            return true;
        }
        case PoolKind::Name: return c.CString(e.text);
        case PoolKind::RegExp: return c.U8(e.regexpFlags) && (e.regexpFlags & ~7) == 0 && c.Utf16(e.text16);
    }
    return false;
}

}  // namespace

// ---- Sections ----

std::optional<std::vector<FunctionRange>> ParseFunctionTable(const Module& module, std::string& reason) {
    const Section* table = module.Find(SectionKind::Functions);
    if (!table || !module.Find(SectionKind::Code)) {
        reason = "no code or no function table";
        return std::nullopt;
    }
    const uint32_t codeSize = static_cast<uint32_t>(SectionBytes(module, SectionKind::Code).size());
    Cursor c{table->bytes};
    uint32_t count = 0;
    if (!c.U32(count) || count == 0 || count > c.Left() / 6) {
        reason = "bad function count";
        return std::nullopt;
    }
    std::vector<FunctionRange> functions(count);
    int mains = 0;
    for (uint32_t i = 0; i < count; ++i) {
        FunctionRange& f = functions[i];
        if (!c.CString(f.name) || f.name.empty() || !c.U32(f.start)) {
            reason = "bad function table entry " + std::to_string(i);
            return std::nullopt;
        }
        const uint32_t floor = i == 0 ? 0 : functions[i - 1].start;
        if ((i == 0 && f.start != 0) || f.start < floor || f.start > codeSize) {
            reason = "function " + f.name + " starts out of order or outside the code";
            return std::nullopt;
        }
        if (i > 0) functions[i - 1].end = f.start;
        mains += f.name == ".main";
    }
    functions.back().end = codeSize;
    if (c.Left() != 0 || mains != 1) {
        reason = c.Left() != 0 ? "bytes after the function table" : "not exactly one .main";
        return std::nullopt;
    }
    return functions;
}

std::optional<std::vector<PoolEntry>> ParsePool(const Module& module, std::string& reason) {
    Cursor c{SectionBytes(module, SectionKind::Pool)};
    std::vector<PoolEntry> entries;
    while (c.Left() > 0) {
        PoolEntry e;
        if (!ParsePoolRecord(c, e)) {
            reason = "bad constant pool record " + std::to_string(entries.size());
            return std::nullopt;
        }
        entries.push_back(std::move(e));
    }
    return entries;
}

// A source-name record first, then 9-byte records ending inside the code.
std::optional<LineInformation> ParseLines(const Module& module, std::string& reason) {
    Cursor c{SectionBytes(module, SectionKind::Lines)};
    const size_t codeSize = SectionBytes(module, SectionKind::Code).size();
    LineInformation info;
    if (c.Left() == 0) return info;
    info.present = true;
    uint8_t kind = 0;
    uint32_t length = 0;
    if (!c.U8(kind) || kind != kLineSourceName || !c.U32(length) || c.Left() < length) {
        reason = "bad source-name record";
        return std::nullopt;
    }
    info.sourceName.assign(reinterpret_cast<const char*>(&c.bytes[c.pos]), length);
    c.pos += length;
    while (c.Left() > 0) {
        LineRecord r;
        if (!c.U8(kind) || kind != kLineRecord || !c.U32(r.endOffset) || !c.U32(r.line) || r.endOffset == 0 ||
            r.endOffset > codeSize) {
            reason = "bad line record " + std::to_string(info.records.size());
            return std::nullopt;
        }
        info.records.push_back(r);
    }
    return info;
}

// ---- Code ----

namespace {

struct Decoded {
    uint32_t at = 0;  // offset within the code section
    int opcode = 0;
    OperandClass operandClass = OperandClass::None;
    int64_t operand = 0;  // U8 and I16 sign-extended; U32, Name, Const and Rel32 as stored (Rel32 signed)
    uint32_t end = 0;
};

// END belongs to the loader and IDLE would hang the engine; NOP is never written either.
bool IsAcceptedOpcode(int opcode) {
    return opcode >= kFirstOpcode && opcode <= kLastOpcode && opcode != static_cast<int>(Op::NOP) &&
           opcode != static_cast<int>(Op::END) && opcode != static_cast<int>(Op::IDLE);
}

std::string Where(const FunctionRange& f, uint32_t at) {
    return "function " + f.name + " at " + std::to_string(at) + ": ";
}

// Splits `f` into instructions; every operand lies inside the function.
bool Decode(const std::vector<uint8_t>& code, const FunctionRange& f, std::vector<Decoded>& out, std::string& reason) {
    for (uint32_t at = f.start; at < f.end;) {
        Decoded d;
        d.at = at;
        d.opcode = code[at];
        if (!IsAcceptedOpcode(d.opcode)) {
            reason = Where(f, at) + "opcode " + std::to_string(d.opcode) + " refused";
            return false;
        }
        d.operandClass = DescribeOpcode(d.opcode).operand;
        const uint32_t bytes = static_cast<uint32_t>(OperandBytes(d.operandClass));
        if (f.end - at - 1 < bytes) {
            reason = Where(f, at) + "operand runs past the function's end";
            return false;
        }
        const uint8_t* p = &code[at + 1];
        if (bytes == 1) d.operand = static_cast<int8_t>(p[0]);
        if (bytes == 2) d.operand = static_cast<int16_t>(p[0] << 8 | p[1]);
        if (bytes == 4) d.operand = LoadU32BE(p);
        if (d.operandClass == OperandClass::Rel32) d.operand = static_cast<int32_t>(LoadU32BE(p));
        d.end = at + 1 + bytes;
        out.push_back(d);
        at = d.end;
    }
    return true;
}

struct Frame {
    int64_t argumentSlots = 2;  // this-object and count
    int64_t localSlots = 0;
};

bool Is(const Decoded& d, Op op) { return d.opcode == static_cast<int>(op); }

// Reads the prologue of `code` into `frame`; refuses ARGFIX and RESERVE outside it.
bool ReadFrame(const std::vector<Decoded>& code, const FunctionRange& f, Frame& frame, std::string& reason) {
    size_t reserveAt = 0;
    if (code.size() >= 3 && Is(code[0], Op::GETARG) && code[0].operand == 1 && Is(code[1], Op::ADDI2) &&
        Is(code[2], Op::ARGFIX)) {
        frame.argumentSlots = code[2].operand;
        reserveAt = 3;
        if (frame.argumentSlots < 2) {
            reason = Where(f, code[2].at) + "ARGFIX below the two fixed slots";
            return false;
        }
    }
    if (code.size() > reserveAt && Is(code[reserveAt], Op::RESERVE)) frame.localSlots = code[reserveAt].operand;
    if (frame.localSlots < 0) {
        reason = Where(f, code[reserveAt].at) + "negative RESERVE";
        return false;
    }
    for (size_t i = 0; i < code.size(); ++i) {
        const bool inPrologue = (reserveAt == 3 && i == 2) || (i == reserveAt && Is(code[i], Op::RESERVE));
        if ((Is(code[i], Op::ARGFIX) || Is(code[i], Op::RESERVE)) && !inPrologue) {
            reason = Where(f, code[i].at) + "ARGFIX or RESERVE outside the prologue";
            return false;
        }
    }
    return true;
}

bool IsInstructionStart(const std::vector<Decoded>& code, int64_t target) {
    size_t lo = 0, hi = code.size();
    while (lo < hi) {
        const size_t mid = (lo + hi) / 2;
        if (code[mid].at < target) lo = mid + 1;
        else hi = mid;
    }
    return lo < code.size() && code[lo].at == target;
}

// Checks one operand against the pool, the frame and the function's bounds.
std::string CheckOperand(const Decoded& d, const std::vector<Decoded>& code, const FunctionRange& f, const Frame& frame,
                         const std::vector<PoolEntry>& pool) {
    const Op op = static_cast<Op>(d.opcode);
    switch (d.operandClass) {
        case OperandClass::Name:
            if (d.operand >= static_cast<int64_t>(pool.size()) || pool[d.operand].kind != PoolKind::Name)
                return "name operand is not a name of the pool";
            return {};
        case OperandClass::Const:
            if (d.operand >= static_cast<int64_t>(pool.size()) || pool[d.operand].kind == PoolKind::Name)
                return "constant operand is not a constant of the pool";
            return {};
        case OperandClass::Rel32: {
            // The function's end is allowed: the loader puts END there.
            const int64_t target = static_cast<int64_t>(d.end) + d.operand;
            if (target < f.start || target > f.end || (target < f.end && !IsInstructionStart(code, target)))
                return "jump target outside the function or inside an instruction";
            return {};
        }
        default: break;
    }
    if (op == Op::GETLOCAL || op == Op::SETLOCAL || op == Op::DELLOCAL) {
        if (d.operand < 0 || d.operand >= frame.localSlots) return "local beyond the reserved slots";
    }
    if (op == Op::GETARG || op == Op::SETARG || op == Op::DELARG) {
        if (d.operand < 0 || d.operand >= frame.argumentSlots) return "argument slot beyond the frame";
    }
    return {};
}

bool VerifyFunction(const std::vector<uint8_t>& code, const FunctionRange& f, const std::vector<PoolEntry>& pool,
                    std::string& reason) {
    std::vector<Decoded> decoded;
    Frame frame;
    if (!Decode(code, f, decoded, reason) || !ReadFrame(decoded, f, frame, reason)) return false;
    for (const Decoded& d : decoded) {
        const std::string fault = CheckOperand(d, decoded, f, frame, pool);
        if (!fault.empty()) {
            reason = Where(f, d.at) + fault;
            return false;
        }
    }
    return true;
}

}  // namespace

ModuleCheck VerifyModule(const Module& module) {
    ModuleCheck check;
    const auto functions = ParseFunctionTable(module, check.reason);
    if (!functions) return check;
    const auto pool = ParsePool(module, check.reason);
    if (!pool || !ParseLines(module, check.reason)) return check;
    const std::vector<uint8_t>& code = SectionBytes(module, SectionKind::Code);
    for (const FunctionRange& f : *functions)
        if (!VerifyFunction(code, f, *pool, check.reason)) return check;
    check.ok = true;
    return check;
}

}  // namespace velmo::script
