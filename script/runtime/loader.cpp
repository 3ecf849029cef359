// The module loader's translation: pool records become constant-table cells, byte code becomes
// one 32-bit slot per opcode and per operand, line records become (slot, line) pairs. Everything
// made here is reachable from a root (constant table, globals, a pin) before LoadModule returns;
// until then nothing can collect, because loading allocates but never runs script code.
#include "script/runtime/internal/loader.h"

#include "platform/text.h"
#include "script/runtime/errors.h"
#include "script/runtime/module_verifier.h"
#include "script/runtime/opcodes.h"
#include "script/runtime/internal/quicken.h"
#include "script/runtime/strings.h"

#include <algorithm>
#include <charconv>
#include <new>
#include <string>
#include <utility>
#include <vector>

namespace velmo::script {

namespace {

constexpr std::string_view kAnonymousPrefix = "@F_";
constexpr uint32_t kNoSlot = 0xFFFFFFFF;

struct ParsedModule {
    std::vector<FunctionRange> functions;
    std::vector<PoolEntry> pool;
    LineInformation lines;
};

// "@F_n" with n shifted by `shift`; any other name (including "@F_" without a plain number)
// unchanged. `isAnonymous` tells the caller whether the name took part in the numbering.
std::string Renumbered(std::string_view name, uint32_t shift, bool* isAnonymous = nullptr) {
    if (isAnonymous) *isAnonymous = false;
    if (name.substr(0, kAnonymousPrefix.size()) != kAnonymousPrefix) return std::string(name);
    const std::string_view digits = name.substr(kAnonymousPrefix.size());
    uint32_t n = 0;
    const auto [end, error] = std::from_chars(digits.data(), digits.data() + digits.size(), n);
    if (digits.empty() || error != std::errc{} || end != digits.data() + digits.size()) return std::string(name);
    if (isAnonymous) *isAnonymous = true;
    return std::string(kAnonymousPrefix) + std::to_string(n + shift);
}

// ---- Constants ----

// The characters of every String and RegExp record of the pool, back to back, in one owned string.
// Constant cells are static strings pointing into it (so no script store can change a constant in
// place); the keeper itself is pinned for the interpreter's life once loading succeeds.
StringRecord* MakeTextKeeper(Interpreter& interp, const std::vector<PoolEntry>& pool) {
    std::u16string all;
    for (const PoolEntry& e : pool)
        if (e.kind == PoolKind::String || e.kind == PoolKind::RegExp) all += e.text16;
    return all.empty() ? nullptr : NewString(interp, all);
}

Value ConstantCell(Interpreter& interp, const PoolEntry& e, const char16_t* text, uint32_t anonymousShift) {
    switch (e.kind) {
        case PoolKind::Null: return Value::Null();
        case PoolKind::Boolean: return Value::Boolean(e.integer != 0);
        case PoolKind::Integer: return Value::Integer(e.integer);
        case PoolKind::Float: return Value::Number(e.number);
        case PoolKind::NaN: return Value::NaN();
        case PoolKind::String: return StaticStringValue(interp, {text, e.text16.size()});
        case PoolKind::Name: return Value::Name(interp.Intern(Renumbered(e.text, anonymousShift)));
        case PoolKind::RegExp: {
            if (const Interpreter::RegExpFactory factory = interp.GetRegExpFactory())
                return factory(interp, {text, e.text16.size()}, e.regexpFlags);
            StringRecord* s = NewStaticString(interp, {text, e.text16.size()});
            s->flags |= kRegExpPlaceholder | static_cast<uint32_t>(e.regexpFlags) << kRegExpFlagsShift;
            return Value::String(s);
        }
    }
    RaiseError(interp, Msg::UnimplementedBytecode);
}

// Appends one cell per pool record; returns the text keeper (null when the pool has no text).
StringRecord* AppendConstants(Interpreter& interp, const std::vector<PoolEntry>& pool, uint32_t anonymousShift) {
    StringRecord* keeper = MakeTextKeeper(interp, pool);
    size_t textAt = 0;
    for (const PoolEntry& e : pool) {
        const char16_t* text = keeper ? Units(keeper) + textAt : u"";
        if (e.kind == PoolKind::String || e.kind == PoolKind::RegExp) textAt += e.text16.size();
        interp.Constants().push_back(ConstantCell(interp, e, text, anonymousShift));
    }
    return keeper;
}

// ---- Code ----

// Slot position of every instruction boundary of `f` (byte offset from f.start), kNoSlot inside
// instructions; the function's end maps to the appended END. Also gives the total slot count.
std::vector<uint32_t> SlotPositions(const std::vector<uint8_t>& code, const FunctionRange& f, uint32_t& slotCount) {
    std::vector<uint32_t> slotOf(f.end - f.start + 1, kNoSlot);
    uint32_t slot = 0;
    for (uint32_t at = f.start; at < f.end;) {
        slotOf[at - f.start] = slot;
        const int bytes = OperandBytes(DescribeOpcode(code[at]).operand);
        slot += bytes ? 2 : 1;
        at += 1 + static_cast<uint32_t>(bytes);
    }
    slotOf[f.end - f.start] = slot;
    slotCount = slot + 1;
    return slotOf;
}

struct Translation {
    const std::vector<uint8_t>& code;
    const FunctionRange& f;
    const std::vector<uint32_t>& slotOf;
    const std::vector<Value>& constants;
    uint32_t base;
};

// The slot form of the operand of the instruction at `at`, whose operand slot is `slot`.
uint32_t OperandSlot(const Translation& t, uint32_t at, OperandClass operand, uint32_t slot) {
    const uint8_t* p = &t.code[at + 1];
    switch (operand) {
        case OperandClass::U8: return static_cast<uint32_t>(static_cast<int32_t>(static_cast<int8_t>(p[0])));
        case OperandClass::I16:
            return static_cast<uint32_t>(static_cast<int32_t>(static_cast<int16_t>(p[0] << 8 | p[1])));
        case OperandClass::U32: return LoadU32BE(p);
        case OperandClass::Name: return t.constants[t.base + LoadU32BE(p)].AsNameId();
        case OperandClass::Const: return t.base + LoadU32BE(p);
        case OperandClass::Rel32: {
            // The verifier put the target on an instruction start or the function's end.
            const int64_t target = static_cast<int64_t>(at) + 5 + static_cast<int32_t>(LoadU32BE(p));
            const int64_t distance = static_cast<int64_t>(t.slotOf[target - t.f.start]) - (slot + 1);
            return static_cast<uint32_t>(static_cast<int32_t>(distance));
        }
        case OperandClass::None: break;
    }
    return 0;
}

uint32_t* TranslateCode(Interpreter& interp, const Translation& t, uint32_t slotCount) {
    auto* slots = static_cast<uint32_t*>(interp.GetHeap().Allocate(slotCount * sizeof(uint32_t)));
    uint32_t slot = 0;
    for (uint32_t at = t.f.start; at < t.f.end;) {
        const OperandClass operand = DescribeOpcode(t.code[at]).operand;
        slots[slot++] = t.code[at];
        if (operand != OperandClass::None) {
            slots[slot] = OperandSlot(t, at, operand, slot);
            ++slot;
        }
        at += 1 + static_cast<uint32_t>(OperandBytes(operand));
    }
    slots[slot] = static_cast<uint32_t>(Op::END);
    return slots;
}

// A line record gives the byte offset just past the instruction its line begins at; the pair
// keeps that convention in slots. Records of other functions are skipped; an offset inside an
// instruction (the verifier allows it) moves on to the next boundary.
LinePosition* TranslateLines(Interpreter& interp, const LineInformation& lines, const FunctionRange& f,
                             const std::vector<uint32_t>& slotOf, uint32_t& lineCount) {
    std::vector<LinePosition> pairs;
    for (const LineRecord& r : lines.records) {
        if (r.endOffset <= f.start || r.endOffset > f.end) continue;
        uint32_t at = r.endOffset - f.start;
        while (slotOf[at] == kNoSlot) ++at;
        pairs.push_back({slotOf[at], r.line});
    }
    lineCount = static_cast<uint32_t>(pairs.size());
    if (pairs.empty()) return nullptr;
    auto* block = static_cast<LinePosition*>(interp.GetHeap().Allocate(pairs.size() * sizeof(LinePosition)));
    std::copy(pairs.begin(), pairs.end(), block);
    return block;
}

FunctionRecord* MakeFunction(Interpreter& interp, const ParsedModule& parsed, const Translation& t, uint32_t nameId,
                             StringRecord* sourceFile) {
    uint32_t slotCount = 0;
    const std::vector<uint32_t> slotOf = SlotPositions(t.code, t.f, slotCount);
    const Translation withSlots{t.code, t.f, slotOf, t.constants, t.base};
    CodeRecord* record = interp.GetHeap().New<CodeRecord>();
    record->nameId = nameId;
    record->codeWords = slotCount;
    uint32_t* code = TranslateCode(interp, withSlots, slotCount);
#if defined(__GNUC__)  // only the computed-goto loop runs fused instructions
    if (interp.FusedInstructions()) Quicken(code, slotCount, interp.Constants(), interp.Divisors());
#endif
    record->code = code;
    record->sourceFile = sourceFile;
    record->lines = TranslateLines(interp, parsed.lines, t.f, slotOf, record->lineCount);
    FunctionRecord* function = interp.GetHeap().New<FunctionRecord>();
    function->code = record;
    return function;
}

// ---- Loading ----

struct Translated {
    FunctionRecord* main = nullptr;
    std::vector<std::pair<uint32_t, FunctionRecord*>> named;  // (name id, function) but ".main"
    StringRecord* keeper = nullptr;                           // the pool's text, or null
    uint32_t anonymous = 0;                                   // "@F_n" functions among them
};

// Appends the constants and translates every function. Raises on an unknown pool kind.
Translated Translate(Interpreter& interp, const Module& module, const ParsedModule& parsed, uint32_t shift) {
    Translated out;
    const auto base = static_cast<uint32_t>(interp.Constants().size());
    out.keeper = AppendConstants(interp, parsed.pool, shift);
    const Section* codeSection = module.Find(SectionKind::Code);
    static const std::vector<uint8_t> kNoCode;
    const std::vector<uint8_t>& code = codeSection ? codeSection->bytes : kNoCode;
    StringRecord* source = NewString(
        interp, platform::AnsiToUtf16(parsed.lines.present ? std::string_view(parsed.lines.sourceName) : "unknown"));
    const std::vector<uint32_t> noSlots;
    for (const FunctionRange& f : parsed.functions) {
        bool isAnonymous = false;
        const uint32_t nameId = interp.Intern(Renumbered(f.name, shift, &isAnonymous));
        out.anonymous += isAnonymous ? 1 : 0;
        const Translation t{code, f, noSlots, interp.Constants(), base};
        FunctionRecord* function = MakeFunction(interp, parsed, t, nameId, source);
        if (f.name == ".main") out.main = function;
        else out.named.emplace_back(nameId, function);
    }
    return out;
}

// Binds the functions, moves the anonymous count and roots the text and ".main". The global
// slots are made first, so that the only step that can fail (growing the global table) comes
// before anything is changed.
LoadedModule Commit(Interpreter& interp, const Translated& t, uint32_t base) {
    for (const auto& [nameId, function] : t.named) interp.Global(nameId);
    LoadedModule loaded{Pinned(interp, Value::Function(t.main)), base};
    if (t.keeper) interp.Pin(Value::String(t.keeper));  // for the interpreter's life: constants never go
    for (const auto& [nameId, function] : t.named) interp.Global(nameId) = Value::Function(function);
    interp.AddAnonymousFunctions(t.anonymous);
    return loaded;
}

}  // namespace

std::optional<LoadedModule> LoadModule(Interpreter& interp, const Module& module) {
    interp.SetErrorText("");
    const ModuleCheck check = VerifyModule(module);
    ParsedModule parsed;
    std::string reason = check.reason;
    auto functions = check.ok ? ParseFunctionTable(module, reason) : std::nullopt;
    auto pool = functions ? ParsePool(module, reason) : std::nullopt;
    auto lines = pool ? ParseLines(module, reason) : std::nullopt;
    if (!lines) {
        interp.SetErrorText(reason);
        return std::nullopt;
    }
    parsed = {std::move(*functions), std::move(*pool), std::move(*lines)};
    const size_t base = interp.Constants().size();
    try {
        const uint32_t shift = interp.AnonymousFunctions();
        const Translated translated = Translate(interp, module, parsed, shift);
        return Commit(interp, translated, static_cast<uint32_t>(base));
    } catch (const ScriptUnwind&) {
    } catch (const std::bad_alloc&) {
        interp.SetErrorText(MessageText(Msg::OutOfMemory));
    }
    // What was allocated is unreachable now and goes at the next sweep.
    interp.Constants().resize(base);
    return std::nullopt;
}

}  // namespace velmo::script
