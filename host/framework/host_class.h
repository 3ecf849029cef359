#pragma once
// Declaring and publishing a host class. A class lists its members once, as a table of rows;
// registration interns the names (script::MemberTable), and the shared CallMethod and Property
// operations find the row the incoming name id names and run that member. The conventions every host
// member follows are enforced here rather than by each class: "toString" answers first with
// "[object <display name>]"; a method's result is preset to its failure value before its body
// runs, so a body that rejects its arguments simply returns; events accept only functions.

#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <string_view>

#include "host/framework/event_handlers.h"
#include "host/framework/host_args.h"
#include "script/runtime/records.h"
#include "script/runtime/value.h"

namespace velmo::host {

// What a method yields when it does not do its work (wrong arguments, nothing to act on).
enum class Failure : uint8_t {
    Undefined,  // methods without a result
    Null,       // methods that return a string or an object
    False,      // methods that return a boolean
    MinusOne,   // methods that return a count or a position, where -1 is no answer
};

// One method call. `native` is the instance's native data, null when the method is invoked on
// the class value itself. `result` already holds the failure value.
struct HostCall {
    script::Interpreter& interp;
    script::ClassRecord& cls;
    void* native;
    script::Args args;
    script::Value* result;

    template <class T>
    T* Native() const {
        return static_cast<T*>(native);
    }
    // Leaves the preset failure result: `return call.Fail();` reads as what it does.
    void Fail() const {}
    void Return(const script::Value& value) const { *result = value; }
    void ReturnInteger(int64_t value) const { *result = script::Value::Integer(value); }
    void ReturnBoolean(bool value) const { *result = script::Value::Boolean(value); }
    // ANSI text from the system, as a new String (empty text gives the empty string).
    void ReturnAnsi(std::string_view ansi) const { *result = AnsiStringValue(interp, ansi); }
};

// One property access. On get, write the value with Return; on set, read Incoming. Either way the
// access counts as handled: a read-only property ignores what is stored.
struct HostProperty {
    script::Interpreter& interp;
    script::ClassRecord& cls;
    void* native;
    bool isSet;
    script::Value* io;

    template <class T>
    T* Native() const {
        return static_cast<T*>(native);
    }
    const script::Value& Incoming() const { return *io; }
    void Return(const script::Value& value) const { *io = value; }
    void ReturnAnsi(std::string_view ansi) const { *io = AnsiStringValue(interp, ansi); }
};

using MethodBody = void (*)(HostCall&);
using PropertyBody = void (*)(HostProperty&);

// A row of a member table. A name may be a method, a property, an event, or a method and a
// property at once; a name with neither body nor event is answered by nobody (the interpreter
// then looks at the instance's own properties).
struct HostMember {
    std::string_view name;
    MethodBody method = nullptr;
    Failure failure = Failure::Undefined;
    PropertyBody property = nullptr;
    int event = -1;  // slot in the class's EventHandlers
};
constexpr HostMember Method(std::string_view name, Failure failure, MethodBody body) {
    return {name, body, failure, nullptr, -1};
}
constexpr HostMember PropertyMember(std::string_view name, PropertyBody body) {
    return {name, nullptr, Failure::Undefined, body, -1};
}
constexpr HostMember Event(std::string_view name, int slot) {
    return {name, nullptr, Failure::Undefined, nullptr, slot};
}

// A constant published as a global: the name includes its leading "$" ("$AW_BLEND").
struct HostConstant {
    std::string_view name;
    int64_t value;
};

// What a class keeps besides its member table (a table of shared records, static event slots);
// the class data owns it and frees it when the interpreter is destroyed.
class HostClassState {
public:
    virtual ~HostClassState() = default;
};

// The shared default Construct: a host value of the class without native data.
void DefaultConstruct(script::Interpreter& interp, script::ClassRecord& cls, script::Value* args,
                      script::Value* result);

// The value an unset event reads as: Null for some classes, Undefined for the others.
enum class EmptyEvent : uint8_t { Undefined, Null };

struct HostClassSpec {
    const char* name = nullptr;         // global name of the class value; static text
    const char* displayName = nullptr;  // for "[object ...]"; null means `name`
    std::span<const HostMember> members{};
    std::span<const HostConstant> constants{};
    // `new X(...)`; the default makes a host value of the class without native data. Null: the
    // class cannot be constructed.
    script::ConstructOp construct = &DefaultConstruct;
    // `X(...)`: by default exactly what construction does; set `call` for a class of its own
    // behaviour, or callIsConstruct false for a class that cannot be called.
    script::CallOp call = nullptr;
    bool callIsConstruct = true;
    script::FinalizeDataOp finalizeData = nullptr;
    // Marks what native data holds besides its event slots (those are marked through `events`).
    script::MarkDataOp markData = nullptr;
    // Where the event slots of `native` live (null native data: the class value); null when the
    // class has no events or the value has no slots.
    EventHandlers* (*events)(script::ClassRecord&, void* native) = nullptr;
    EmptyEvent emptyEvent = EmptyEvent::Undefined;
    // Whether `native` (null: the class value) answers the property or event `member` now; when it
    // does not, the name falls through to the value's own properties. Null: always.
    bool (*answersProperties)(script::ClassRecord&, void* native, const HostMember& member) = nullptr;
    // Names the member table does not list (or lists without a body): answers them and returns true,
    // or returns false to let them fall through to the value's own properties. Null: none answered.
    bool (*otherProperty)(HostProperty& access, uint32_t nameId) = nullptr;
    // Class state made once at registration.
    std::unique_ptr<HostClassState> (*makeState)(script::Interpreter&) = nullptr;
};

// Interns the member names, builds the class record, writes the constants and publishes the class
// value under `spec.name`. The spec is copied, but the tables it points at (members, constants,
// names) must outlive the interpreter: declare them constexpr at namespace scope.
script::ClassRecord* RegisterHostClass(script::Interpreter& interp, const HostClassSpec& spec);

// The state `makeState` made for the class of `cls`; null for other classes.
HostClassState* ClassState(const script::ClassRecord& cls);
template <class T>
T* ClassStateAs(const script::ClassRecord& cls) {
    return static_cast<T*>(ClassState(cls));
}

// The row of the class's member table that `nameId` names; null when the class has no such member
// or is not a host class.
const HostMember* FindMember(const script::ClassRecord& cls, uint32_t nameId);

// The host value stands for host class `className` when its class is the class of the value in
// the global of that name. A global that a script replaced by another class's value does not
// make that class's values pass (their native data is of another kind).
bool IsInstanceOf(script::Interpreter& interp, const script::Value& value, std::string_view className);
// The native data of an instance of `className`; null for the class value and for anything else.
void* InstanceData(script::Interpreter& interp, const script::Value& value, std::string_view className);

// A FinalizeData for classes whose native data is one `T` made with new.
template <class T>
void DeleteNative(script::ClassRecord&, void* native) {
    delete static_cast<T*>(native);
}

}  // namespace velmo::host
