// Frames, activations and recovery: entering and leaving frames, ARGFIX, try records, throws, the
// entries that start the loop (Run, RunFunction) and the protected scope of host calls.
#include <algorithm>
#include <string>

#include "platform/text.h"
#include "script/runtime/convert.h"
#include "script/runtime/errors.h"
#include "script/runtime/internal/interpreter.h"
#include "script/runtime/internal/frame_entry.h"
#include "script/runtime/pinned.h"
#include "script/runtime/properties.h"
#include "script/runtime/strings.h"

namespace velmo::script {

namespace {

// Records where the host code that starts an activation was called from, for as long as it runs.
class ActivationStart {
public:
    ActivationStart(std::vector<Interpreter::ActivationCaller>& starts, size_t depth, const uint32_t* callerPc)
        : starts_(starts) {
        starts_.push_back({depth, callerPc});
    }
    ~ActivationStart() { starts_.pop_back(); }
    ActivationStart(const ActivationStart&) = delete;
    ActivationStart& operator=(const ActivationStart&) = delete;

private:
    std::vector<Interpreter::ActivationCaller>& starts_;
};

// Counts the nested activations of the loop for as long as one runs.
class ActivationGuard {
public:
    explicit ActivationGuard(int& count) : count_(count) { ++count_; }
    ~ActivationGuard() { --count_; }
    ActivationGuard(const ActivationGuard&) = delete;
    ActivationGuard& operator=(const ActivationGuard&) = delete;

private:
    int& count_;
};

}  // namespace

// ---- Frames ----

void Interpreter::FixArguments(int64_t count, int32_t slots) {
    Frame& frame = frames_.back();
    ++sp_;  // the count operand
    const size_t above = stack_.size() - 1 - frame.fp;
    if (count < 0 || static_cast<uint64_t>(count) > above || sp_ > frame.fp)
        RaiseError(*this, Msg::UnimplementedBytecode);
    const auto c = static_cast<size_t>(count);
    frame.fixedSlots = static_cast<uint32_t>(c);
    if (slots <= count) {
        stack_[frame.fp - 1] = CallMark(c, 0);
        return;
    }
    const size_t padding = static_cast<size_t>(slots) - c;
    if (sp_ < padding + kStackReserveCells) RaiseError(*this, Msg::StackOverflow);
    Value* const end = &stack_[frame.fp + c + 1];
    std::copy(&stack_[sp_], end, &stack_[sp_ - padding]);
    std::fill(end - padding, end, Value::Undefined());
    sp_ -= padding;
    frame.fp -= padding;
    stack_[frame.fp - 1] = CallMark(c, padding);
}

// ---- Calls ----

Value* Interpreter::CheckedArgs(Value* args) {
    const int64_t available = &stack_.back() - args;
    if (!args[0].Is(Tag::Integer) || args[0].AsInteger() < 0 || args[0].AsInteger() > available)
        RaiseError(*this, Msg::UnimplementedBytecode);
    return args;
}

bool Interpreter::CallHost(const Value& callee, Value* args, Value& result) {
    result = Value::Undefined();
    if (!callee.Is(Tag::HostObject) || !callee.AsHost()->cls->Call) return false;
    // The callee's stack cell became the call's null `this`, so the value is pinned while the host
    // runs: script it runs may drop the last reference to it (the global naming it) and collect.
    const Pinned keep(*this, callee);
    HostRecord* host = callee.AsHost();
    host->cls->Call(*this, *host->cls, host->nativeData, &result, CheckedArgs(args));
    return true;
}

MethodTarget Interpreter::CallThroughScopes(uint32_t nameId, Value* sp, Value& result) {
    Value* args = CheckedArgs(sp + 1);
    WithScopes* scopes = frames_.back().withScopes;
    for (uint32_t i = 0; scopes && i < scopes->count; ++i) {
        const Value object = WithCells(scopes)[i];
        const MethodTarget target = ResolveMethod(*this, object, nameId, args, result);
        if (target.kind != MethodTarget::Kind::None) {
            sp[0] = object;
            return target;
        }
    }
    const Value callee = sp[0];
    sp[0] = Value::Null();
    if (callee.Is(Tag::Function)) return {MethodTarget::Kind::Function, callee.AsFunction()};
    if (!CallHost(callee, args, result)) script::Warn(*this, Msg::CallUndefinedFunction);
    return {};
}

Value Interpreter::ReadGlobal(uint32_t nameId) {
    const Value value = Global(nameId);
    if (!value.Is(Tag::Undefined)) return value;
    if (warnUndefined_) script::Warn(*this, Msg::UndefinedVariable, names_.Text(nameId));
    return Value::Undefined();
}

// ---- Activations ----

Value Interpreter::Execute(size_t entryDepth, const uint32_t* pc) {
    ActivationGuard guard(activations_);
    if (activations_ > kMaxNestedActivations) RaiseError(*this, Msg::StackOverflow);
    const size_t recoveryBase = recoveries_.size();
    for (;;) {
        try {
            const Value result = Loop(entryDepth, recoveryBase, pc);
            frames_.resize(entryDepth - 1);
            recoveries_.resize(recoveryBase);
            return result;
        } catch (const ScriptUnwind& unwind) {
            if (recoveries_.size() <= recoveryBase || !recoveries_.back().isScript) throw;
            const Value exception =
                unwind.carriesValue ? thrown_ : StringValue(*this, platform::AnsiToUtf16(errorText_));
            thrown_ = Value::Undefined();
            pc = Land(recoveryBase, exception);
            // The allocation safe point of the loop (interpreter_loop.cpp): the caught value sits
            // on the stack, and a run of caught errors in straight-line code makes garbage too.
            MaybeCollect();
        }
    }
}

const uint32_t* Interpreter::Land(size_t recoveryBase, Value exception) {
    VELMO_CHECK(recoveries_.size() > recoveryBase && recoveries_.back().isScript);
    const Recovery r = recoveries_.back();
    recoveries_.pop_back();
    frames_.resize(r.frameDepth);
    // A catch inside a with body continues with the scopes open at TRYENTER.
    if (WithScopes* scopes = frames_.back().withScopes) scopes->count = std::min(scopes->count, r.withCount);
    // TRYENTER made sure of the cell the exception takes.
    sp_ = r.sp - 1;
    stack_[sp_] = exception;
    return r.handler;
}

void Interpreter::Throw(const Value& value) { ThrowToHost(value, false); }

void Interpreter::PassOn(const Value& value) { ThrowToHost(value, true); }

void Interpreter::ThrowToHost(const Value& value, bool keepReport) {
    if (!recoveries_.empty() && recoveries_.back().isScript) {
        thrown_ = value;
        throw ScriptUnwind{true};
    }
    // The innermost record is a protected call's: the value becomes its error text.
    ErrorReport kept = keepReport ? std::move(errorReport_) : ErrorReport{};
    // ToText may run a toString, which saves pcs of its own; the throw happened here.
    const uint32_t* const throwPc = savedPc_;
    SetErrorText(platform::Utf16ToAnsi(ToText(*this, value)));
    savedPc_ = throwPc;
    if (keepReport && kept.kind != ErrorKind::None) errorReport_ = std::move(kept);
    else NoteErrorSite(ErrorKind::UncaughtThrow, errorText_);
    throw ScriptUnwind{};
}

void Interpreter::BreakOnInterrupt(int r) { RaiseError(*this, Msg::HookBreak, std::to_string(r)); }

void Interpreter::SafePoint() {
    if (heap_.ShouldCollect()) Collect();
    BreakIfInterrupted();
    if (hook_) {
        if (const int r = hook_(2, hookData_)) RaiseError(*this, Msg::HookBreak, std::to_string(r));
    }
}

void Interpreter::Run(Value thisValue, FunctionRecord* function, uint32_t argc, const Value* args) {
    const size_t savedSp = sp_;
    if (sp_ < argc + 2 + 4 + kStackReserveCells) RaiseError(*this, Msg::StackOverflow);
    stack_[--sp_] = Value::Function(function);
    for (uint32_t i = argc; i-- > 0;) stack_[--sp_] = args[i];
    stack_[--sp_] = thisValue;
    const ActivationStart start(activationStarts_, frames_.size(), savedPc_);
    EnterFrame(function, sp_, nullptr);
    const Value result = Execute(frames_.size(), function->code->code);
    sp_ = savedSp;
    result_ = result;
    Collect();
}

// A call from host code builds the frame a CALL would: the arguments, the count, `this`. Its
// return ends the activation without the full collection of a module's END, which would make
// every comparator or event call cost a collection.
void Interpreter::RunFunction(FunctionRecord* function, Value thisValue, Value* args, Value& result) {
    if (runner_) return runner_(*this, function, thisValue, args, result);
    const int64_t count = args && args[0].Is(Tag::Integer) ? std::max<int64_t>(args[0].AsInteger(), 0) : 0;
    if (static_cast<int64_t>(sp_) < count + 2 + 4 + static_cast<int64_t>(kStackReserveCells))
        RaiseError(*this, Msg::StackOverflow);
    const size_t savedSp = sp_;
    for (int64_t i = count; i >= 1; --i) stack_[--sp_] = args[i];
    stack_[--sp_] = Value::Integer(count);
    stack_[--sp_] = thisValue;
    const ActivationStart start(activationStarts_, frames_.size(), savedPc_);
    EnterFrame(function, sp_, nullptr);
    result = Execute(frames_.size(), function->code->code);
    sp_ = savedSp;
}

Interpreter::ProtectedScope::ProtectedScope(Interpreter& interp)
    : interp_(interp), sp_(interp.sp_), frames_(interp.frames_.size()), recoveries_(interp.recoveries_.size()) {
    interp.recoveries_.push_back(Recovery{false, interp.sp_, frames_, nullptr, 0});
}

Interpreter::ProtectedScope::~ProtectedScope() {
    interp_.sp_ = sp_;
    interp_.frames_.resize(frames_);
    interp_.recoveries_.resize(recoveries_);
    interp_.thrown_ = Value::Undefined();
}

// ---- Position services ----

FunctionRecord* Interpreter::FunctionHolding(const uint32_t* pc) {
    const auto holds = [pc](const Value& v) {
        if (!v.Is(Tag::Function) || !v.AsFunction()->code) return false;
        const CodeRecord* code = v.AsFunction()->code;
        return pc >= code->code && pc < code->code + code->codeWords;
    };
    for (const Value& v : globals_)
        if (holds(v)) return v.AsFunction();
    for (const Frame& frame : frames_)
        if (holds(Value::Function(frame.function))) return frame.function;
    return nullptr;
}

std::string Interpreter::FunctionNameAt(const uint32_t* pc) {
    const FunctionRecord* function = FunctionHolding(pc);
    return function ? std::string(names_.Text(function->code->nameId)) : ".main";
}

Interpreter::SourcePosition Interpreter::SourcePositionAt(const uint32_t* pc) {
    SourcePosition position;
    const FunctionRecord* function = FunctionHolding(pc);
    if (!function) return position;
    const CodeRecord* code = function->code;
    if (code->sourceFile) position.file = platform::Utf16ToAnsi(Text(code->sourceFile));
    const auto offset = static_cast<uint32_t>(pc - code->code);
    for (uint32_t i = 0; i < code->lineCount && code->lines[i].codeOffset <= offset; ++i) {
        position.line = code->lines[i].line;
        position.hasLine = true;
    }
    return position;
}

CallPosition Interpreter::PositionIn(const FunctionRecord* function, const uint32_t* pc) {
    CallPosition position;
    const CodeRecord* code = function->code;
    position.function = code ? std::string(names_.Text(code->nameId)) : ".main";
    if (!code || !pc || pc <= code->code || pc > code->code + code->codeWords) return position;
    if (code->lineCount == 0) return position;
    if (code->sourceFile) position.file = platform::Utf16ToAnsi(Text(code->sourceFile));
    // A saved or return pc points past the instruction it belongs to, possibly at the first word
    // of the next line's code: the instruction's own line is the one in force one word earlier.
    const auto offset = static_cast<uint32_t>(pc - 1 - code->code);
    for (uint32_t i = 0; i < code->lineCount && code->lines[i].codeOffset <= offset; ++i)
        position.line = code->lines[i].line;
    return position;
}

void Interpreter::NoteErrorSite(ErrorKind kind, std::string_view message) {
    if (!recoveries_.empty() && recoveries_.back().isScript) return;  // a script try takes it
    errorReport_.kind = kind;
    errorReport_.message.assign(message);
    errorReport_.calls.clear();
    errorReport_.omittedCalls = 0;
    // Walks the frames innermost first. Each frame stands at the pc it will return to in its
    // caller; the innermost at the saved pc; the frame below an activation that host code started
    // (no return pc) where it called that host code.
    const uint32_t* pc = savedPc_;
    size_t start = activationStarts_.size();
    for (size_t depth = frames_.size(); depth-- > 0;) {
        const Frame& frame = frames_.begin()[depth];
        if (errorReport_.calls.size() < kMaxReportedCalls) errorReport_.calls.push_back(PositionIn(frame.function, pc));
        else ++errorReport_.omittedCalls;
        pc = frame.returnPc;
        if (pc) continue;
        while (start > 0 && activationStarts_[start - 1].depth > depth) --start;
        if (start > 0 && activationStarts_[start - 1].depth == depth) pc = activationStarts_[start - 1].callerPc;
    }
}

}  // namespace velmo::script
