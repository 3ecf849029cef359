#pragma once
// The interpreter's machine state: the collected heap, the name and global slot tables, the
// type-class table, pins, constants, the value stack with its frames and recovery records, the
// error text, the result cell and the trace sink, and the dispatch loop that runs loaded code.
// Private to script/runtime/: library and host code see an opaque Interpreter and the operations
// of interpreter_api.h.

#include <atomic>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "script/runtime/error_report.h"
#include "script/runtime/internal/frames.h"
#include "script/runtime/internal/heap.h"
#include "script/runtime/internal/quicken.h"
#include "script/runtime/internal/value_stack.h"
#include "script/runtime/interpreter_api.h"
#include "script/runtime/names.h"
#include "script/runtime/pinned.h"
#include "script/runtime/records.h"
#include "script/runtime/trace_output.h"
#include "script/runtime/value.h"

namespace velmo::script {

struct MethodTarget;

inline constexpr uint32_t kGlobalGrowth = 1024;
inline constexpr size_t kMaxErrorTextBytes = 1023;
inline constexpr uint32_t kPinMarker = 0x6E6F6465;
// Every frame entry and RESERVE leave at least this many cells free.
inline constexpr size_t kStackReserveCells = 10;
// Activations of the dispatch loop nested through host code (a comparator, an event handler, eval
// inside eval) each take C++ stack; more than this many raise "stack overflow" instead.
inline constexpr int kMaxNestedActivations = 120;

class Interpreter {
public:
    explicit Interpreter(size_t stackCells = kDefaultStackCells);
    ~Interpreter();
    Interpreter(const Interpreter&) = delete;
    Interpreter& operator=(const Interpreter&) = delete;

    Heap& GetHeap() { return heap_; }
    NameTable& Names() { return names_; }
    uint32_t Intern(std::string_view name);

    // Ids interned at creation, in this order (interpreter_api.h).
    uint32_t idProto() const { return kProtoNameId; }
    uint32_t idPrototype() const { return kPrototypeNameId; }
    uint32_t idToSource() const { return kToSourceNameId; }
    uint32_t idToString() const { return kToStringNameId; }
    uint32_t idValueOf() const { return kValueOfNameId; }

    // The global slot of a name id; an unset global is Undefined pointing back at its name entry.
    Value& Global(uint32_t nameId);
    Value& GlobalByName(std::string_view name) { return Global(Intern(name)); }

    ClassRecord* TypeClass(Tag tag) const;
    void SetTypeClass(Tag tag, ClassRecord* cls);
    // Whether an integer's text (its toString) is its plain decimal digits, so that `+` may write
    // them itself: so with no Integer class, and with one that declared it (DeclareDecimalIntegers).
    bool DecimalIntegers() const { return decimalIntegers_; }
    void DeclareDecimalIntegers() { decimalIntegers_ = true; }

    PinRecord* Pin(Value value);
    void Unpin(PinRecord* pin);

    std::vector<Value>& Constants() { return constants_; }
    // The divisors that fused remainder steps of the loaded modules name (quicken.h).
    std::vector<Divisor>& Divisors() { return divisors_; }
    // How many anonymous ("@F_n") functions the loaded modules brought; the next module's
    // "@F_" names are shifted by it so that they stay unique across modules.
    uint32_t AnonymousFunctions() const { return anonymousFunctions_; }
    void AddAnonymousFunctions(uint32_t count) { anonymousFunctions_ += count; }

    // The value stack grows downward: cells [sp, size) are in use, the top is Stack()[sp].
    ValueStack& Stack() { return stack_; }
    size_t& StackPointer() { return sp_; }

    // Warnings and trace lines go to the trace output; nothing is written while it is closed.
    TraceOutput& Trace() { return trace_; }
    using TraceSink = TraceOutput::Sink;
    void SetTraceSink(TraceSink sink) { trace_.OpenSink(std::move(sink)); }
    void Warn(std::string_view text) { trace_.WriteLine(text); }

    // The last error or warning of a protected call, at most 1023 bytes. Setting it also sets the
    // report: no error for an empty text, otherwise an error of kind Other with no position.
    const std::string& ErrorText() const { return errorText_; }
    void SetErrorText(std::string_view text);
    // Compile diagnostics are kept whole, however long.
    void SetErrorTextWhole(std::string_view text);
    // The parts of the last error (error_report.h). A runtime error or throw that reaches a
    // protected call carries the positions of the running functions; one a script try catches
    // does not (building them would cost every caught error a walk of the stack).
    const ErrorReport& LastError() const { return errorReport_; }
    // Called where a failure of `kind` with `message` starts unwinding, after its error text is
    // set: when no script try record will catch it, records the running functions' positions.
    void NoteErrorSite(ErrorKind kind, std::string_view message);
    Value& Result() { return result_; }

    // A collection at a safe point: only when the heap asks for one (or under stress).
    void MaybeCollect();
    // A safe point of the running code: MaybeCollect, then the interrupt flag and the hook, whose
    // non-zero answer r raises "hook break r".
    void SafePoint();
    // Raises "hook break r" when the interrupt flag holds a non-zero r.
    void BreakIfInterrupted() {
        if (interrupt_) {
            if (const int r = interrupt_->load(std::memory_order_relaxed)) BreakOnInterrupt(r);
        }
    }
    // Marks from every root, in order, then sweeps.
    void Collect();
    size_t Collections() const { return collections_; }

    // Enters a script function with `thisValue` and the argument vector `args` (args[0] = Integer
    // count) and runs it to its return, writing the returned value. Runtime errors propagate as
    // ScriptUnwind; host code reaches this only through the protected calls. Tests may replace the
    // dispatch loop by a runner of their own.
    using FunctionRunner = void (*)(Interpreter&, FunctionRecord* function, Value thisValue, Value* args,
                                    Value& result);
    void SetFunctionRunner(FunctionRunner runner) { runner_ = runner; }
    void RunFunction(FunctionRecord* function, Value thisValue, Value* args, Value& result);

    // Runs a module's main body (or any entry code) from a frame of its own: the Function cell,
    // the `argc` arguments of `args` (last first) and `thisValue` (Null when none) below it, no
    // argument count. Leaves the value of the outermost RET or END in the result cell after a
    // full collection. Runtime errors propagate as ScriptUnwind.
    void Run(Value thisValue, FunctionRecord* function, uint32_t argc, const Value* args);

    // ---- Options, hook, host ----
    bool WarnsUndefinedVariables() const { return warnUndefined_; }
    void SetWarnUndefinedVariables(bool on) { warnUndefined_ = on; }
    using Hook = InterpreterHook;
    void SetHook(Hook hook, void* data) {
        hook_ = hook;
        hookData_ = data;
    }
    // A word that someone outside the running script (a signal handler, another thread) sets to a
    // non-zero r to stop it: the run breaks off with "hook break r" at its next backward jump or
    // safe point, so that even a loop that calls nothing ends. The hook is asked only at safe
    // points, and asking it at every backward jump would cost every loop a call; the flag costs
    // one load there.
    void SetInterruptFlag(const std::atomic<int>* flag) { interrupt_ = flag; }
    // Whether modules loaded from now on run common instruction sequences as fused instructions
    // (quicken.h); on by default. Off, a function's code words are exactly the module's
    // instructions, for tools and tests that read them.
    void SetFusedInstructions(bool on) { fuseInstructions_ = on; }
    bool FusedInstructions() const { return fuseInstructions_; }
    void* HostPointer() const { return host_; }
    void SetHostPointer(void* host) { host_ = host; }
    // The engine this interpreter belongs to (null for a bare interpreter, as in unit tests):
    // library code that compiles and runs source text goes through it.
    Engine* GetEngine() const { return engine_; }
    void SetEngine(Engine* engine) { engine_ = engine; }

    // Installed by the RegExp class; without one, regular-expression constants stay placeholders
    // (loader.h).
    using RegExpFactory = script::RegExpFactory;
    RegExpFactory GetRegExpFactory() const { return regExpFactory_; }
    void SetRegExpFactory(RegExpFactory factory) { regExpFactory_ = factory; }

    // ---- Position services ----
    // The program counter saved before the last call out of the loop or runtime error.
    const uint32_t* SavedPc() const { return savedPc_; }
    // The name of the function whose code holds `pc` (globals first, then the running frames),
    // ".main" when none does.
    std::string FunctionNameAt(const uint32_t* pc);
    // The source file of that function and the line of the last line pair at or before `pc`;
    // line 0 when the code has no line information or no function holds `pc`.
    struct SourcePosition {
        std::string file;
        uint32_t line = 0;
        bool hasLine = false;  // line 0 is also the first line
    };
    SourcePosition SourcePositionAt(const uint32_t* pc);

    // Counts work that is not one instruction (characters copied or hashed) against the step
    // bound of fuzzing builds, so that a short module cannot spend minutes in a few thousand
    // steps on ever longer strings. Nothing in other builds.
    void ChargeWork([[maybe_unused]] uint64_t units) {
#if defined(VELMO_FUZZ_STEP_LIMIT)
        fuzzSteps_ += units / 64;
#endif
    }

    // ---- Recovery ----
    // Marks a protected host call: script throws that reach it become the error text, and
    // whatever ran above it (frames, try records, stack cells) is dropped when it ends.
    class ProtectedScope {
    public:
        explicit ProtectedScope(Interpreter& interp);
        ~ProtectedScope();
        ProtectedScope(const ProtectedScope&) = delete;
        ProtectedScope& operator=(const ProtectedScope&) = delete;

    private:
        Interpreter& interp_;
        size_t sp_, frames_, recoveries_;
    };
    // THROW of `value` from host code (or the loop when the handler is not its own): to the
    // innermost try record, or as the error text of the innermost protected call.
    [[noreturn]] void Throw(const Value& value);
    // Throw of a value that stands for the failure of a protected call just made (a comparator
    // that failed): should it reach a protected call, the report keeps that failure's positions,
    // which lie deeper than this throw.
    [[noreturn]] void PassOn(const Value& value);

    // Marks a value and everything it reaches; class MarkData operations call this for the values
    // their native data holds.
    void MarkValue(const Value& value);

    // An activation started by host code (Run, RunFunction): the depth of its first frame and the
    // saved pc of the code below that called the host, which error reports place that frame at.
    struct ActivationCaller {
        size_t depth;
        const uint32_t* callerPc;
    };

private:
    // ---- The loop and its frames (interpreter_loop.cpp, interpreter_frames.cpp) ----
    // Runs the innermost frame (pushed by the caller) from `pc`; the activation ends when that
    // frame returns or at END, leaving its frames and try records dropped. Try records of this
    // activation catch runtime errors and throws; anything else propagates.
    Value Execute(size_t entryDepth, const uint32_t* pc);
    Value Loop(size_t entryDepth, size_t recoveryBase, const uint32_t* pc);
    // Pushes the four header cells right below `thisCell` (the callee cell that holds `this`) and
    // the frame record; sp_ ends below them.
    void EnterFrame(FunctionRecord* function, size_t thisCell, const uint32_t* returnPc);
    // RET from a frame that has a caller in this activation; returns the caller's pc.
    const uint32_t* Return(Value result, size_t recoveryBase);
    void FixArguments(int64_t count, int32_t slots);
    // Resumes at the innermost try record (which must belong to this activation) with `exception`.
    const uint32_t* Land(size_t recoveryBase, Value exception);
    bool CallHost(const Value& callee, Value* args, Value& result);
    // `args` when its count fits the live stack; malformed code otherwise.
    Value* CheckedArgs(Value* args);
    MethodTarget CallThroughScopes(uint32_t nameId, Value* sp, Value& result);
    Value ReadGlobal(uint32_t nameId);
    FunctionRecord* FunctionHolding(const uint32_t* pc);
    // The position of `pc` in `function`; no line when the pc lies outside its code.
    CallPosition PositionIn(const FunctionRecord* function, const uint32_t* pc);
    [[noreturn]] void ThrowToHost(const Value& value, bool keepReport);
    void MarkFrames();
    void MarkObjectRecord(ObjectRecord* object);
    void MarkClass(ClassRecord* cls);
    void Scan(const Value& value);
    void ScanArray(ArrayRecord* array);
    void ScanObject(ObjectRecord* object);
    void MarkBlock(const void* block) {
        if (block) heap_.Mark(const_cast<void*>(block));
    }

    Heap heap_;
    NameTable names_;
    std::vector<Value> globals_;
    ClassRecord* typeClasses_[kTypeClassCount] = {};
    bool decimalIntegers_ = true;
    PinRecord* firstPin_ = nullptr;
    PinRecord* lastPin_ = nullptr;
    std::vector<Value> constants_;
    std::vector<Divisor> divisors_;
    ValueStack stack_;
    size_t sp_;
    TraceOutput trace_;
    std::string errorText_;
    ErrorReport errorReport_;
    std::vector<ActivationCaller> activationStarts_;  // innermost last
    Value result_;
    size_t collections_ = 0;
    uint32_t anonymousFunctions_ = 0;
    FunctionRunner runner_ = nullptr;
    FrameStack frames_{stack_.size() / 4 + 1};  // after stack_: sized from it
    std::vector<Recovery> recoveries_;
    Value thrown_;  // the value a THROW carries to a handler of an outer activation
    int activations_ = 0;
    const uint32_t* savedPc_ = nullptr;
    bool warnUndefined_ = true;
    [[noreturn]] void BreakOnInterrupt(int r);
    Hook hook_ = nullptr;
    const std::atomic<int>* interrupt_ = nullptr;
    bool fuseInstructions_ = true;
    void* hookData_ = nullptr;
    void* host_ = nullptr;      // not owned
    Engine* engine_ = nullptr;  // not owned; owns this interpreter
    RegExpFactory regExpFactory_ = nullptr;
#if defined(VELMO_FUZZ_STEP_LIMIT)
    uint64_t fuzzSteps_ = 0;  // instructions run by this interpreter, bounded in fuzzing builds
#endif
    std::vector<Value> markQueue_;  // marked records whose contents are still to scan
};

}  // namespace velmo::script
