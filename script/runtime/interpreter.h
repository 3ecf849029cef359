#pragma once
// The interpreter's machine state as far as values, the heap and the tables go: the collected
// heap, the name and global slot tables, the type-class table, pins, constants, the value stack,
// the error text and the trace sink. The dispatch loop and the module loader build on this.
// Private to script/runtime/: library and host code use the embedding surface.

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "script/runtime/heap.h"
#include "script/runtime/names.h"
#include "script/runtime/records.h"
#include "script/runtime/value.h"

namespace velmo::script {

inline constexpr uint32_t kGlobalGrowth = 1024;
inline constexpr size_t kDefaultStackCells = 4096;
inline constexpr size_t kMaxErrorTextBytes = 1023;
inline constexpr uint32_t kPinMarker = 0x6E6F6465;

// A value kept alive by the host; outside the collected heap, linked into the interpreter's list.
struct PinRecord {
    Value value;
    uint32_t marker;  // kPinMarker while linked
    PinRecord* self;
    PinRecord* previous;
    PinRecord* next;
};

class Interpreter {
public:
    explicit Interpreter(size_t stackCells = kDefaultStackCells);
    ~Interpreter();
    Interpreter(const Interpreter&) = delete;
    Interpreter& operator=(const Interpreter&) = delete;

    Heap& GetHeap() { return heap_; }
    NameTable& Names() { return names_; }
    uint32_t Intern(std::string_view name);

    // Ids interned at creation, in this order, so they are 0 to 4.
    uint32_t idProto() const { return 0; }
    uint32_t idPrototype() const { return 1; }
    uint32_t idToSource() const { return 2; }
    uint32_t idToString() const { return 3; }
    uint32_t idValueOf() const { return 4; }

    // The global slot of a name id; an unset global is Undefined pointing back at its name entry.
    Value& Global(uint32_t nameId);
    Value& GlobalByName(std::string_view name) { return Global(Intern(name)); }

    ClassRecord* TypeClass(Tag tag) const;
    void SetTypeClass(Tag tag, ClassRecord* cls);

    PinRecord* Pin(Value value);
    void Unpin(PinRecord* pin);

    std::vector<Value>& Constants() { return constants_; }
    // How many anonymous ("@F_n") functions the loaded modules brought; the next module's
    // "@F_" names are shifted by it so that they stay unique across modules.
    uint32_t AnonymousFunctions() const { return anonymousFunctions_; }
    void AddAnonymousFunctions(uint32_t count) { anonymousFunctions_ += count; }

    // The value stack grows downward: cells [sp, size) are in use, the top is Stack()[sp].
    std::vector<Value>& Stack() { return stack_; }
    size_t& StackPointer() { return sp_; }

    // Warnings and trace lines; each line is handed to the sink without its line break.
    using TraceSink = std::function<void(std::string_view line)>;
    void SetTraceSink(TraceSink sink) { trace_ = std::move(sink); }
    void Warn(std::string_view text) const;

    // The last error or warning of a protected call, at most 1023 bytes.
    const std::string& ErrorText() const { return errorText_; }
    void SetErrorText(std::string_view text);
    Value& Result() { return result_; }

    // A collection at a safe point: only when the heap asks for one (or under stress).
    void MaybeCollect();
    // Marks from every root, in order, then sweeps.
    void Collect();
    size_t Collections() const { return collections_; }

    // Enters a script function with `thisValue` and the argument vector `args` (args[0] = Integer
    // count) and runs it to its return, writing the returned value. The dispatch loop installs the
    // runner; without one a script function cannot run and the call raises a runtime error.
    using FunctionRunner = void (*)(Interpreter&, FunctionRecord* function, Value thisValue, Value* args,
                                    Value& result);
    void SetFunctionRunner(FunctionRunner runner) { runner_ = runner; }
    void RunFunction(FunctionRecord* function, Value thisValue, Value* args, Value& result);

    // Marks a value and everything it reaches; class MarkData operations call this for the values
    // their native data holds.
    void MarkValue(const Value& value);

private:
    void MarkObjectRecord(ObjectRecord* object);
    void MarkClass(ClassRecord* cls);
    void Scan(const Value& value);
    void ScanArray(ArrayRecord* array);
    void ScanObject(ObjectRecord* object);
    void MarkBlock(const void* block) { if (block) heap_.Mark(const_cast<void*>(block)); }

    Heap heap_;
    NameTable names_;
    std::vector<Value> globals_;
    ClassRecord* typeClasses_[kTypeClassCount] = {};
    PinRecord* firstPin_ = nullptr;
    PinRecord* lastPin_ = nullptr;
    std::vector<Value> constants_;
    std::vector<Value> stack_;
    size_t sp_;
    TraceSink trace_;
    std::string errorText_;
    Value result_;
    size_t collections_ = 0;
    uint32_t anonymousFunctions_ = 0;
    FunctionRunner runner_ = nullptr;
    std::vector<Value> markQueue_;  // marked records whose contents are still to scan
};

}  // namespace velmo::script
