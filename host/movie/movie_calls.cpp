// The commands of a movie call. Decoded arguments are reachable from nothing the collector sees,
// so each vector is held in a pinned array before any script code runs; property reads and writes
// go through the runtime's protected AccessHostProperty, as calls go through InvokeMethod.
#include "host/movie/movie_calls.h"

#include <algorithm>
#include <string>
#include <vector>

#include "host/movie/handle_registry.h"
#include "host/movie/movie_functions.h"
#include "host/movie/value_codec.h"
#include "platform/text.h"
#include "script/runtime/arrays.h"
#include "script/runtime/calls.h"
#include "script/runtime/interpreter_api.h"
#include "script/runtime/objects.h"
#include "script/runtime/pinned.h"
#include "script/runtime/properties.h"
#include "script/runtime/strings.h"

namespace velmo::host {

using script::Tag;
using script::Value;

namespace {

// "velmo_call2" spreads an array given by the movie; its length is the movie's word, so a vector
// longer than this is refused rather than allocated.
constexpr uint64_t kMaxSpreadArguments = 4096;
// The handler text of "velmo_seh" is built in a buffer of this size; longer text is refused.
constexpr size_t kHandlerTextBytes = 4096;

struct MovieCall {
    const MovieCallContext& context;
    script::Engine& engine;
    script::Interpreter& interp;
    std::string_view name;     // as the movie wrote it
    std::vector<Value>& args;  // args[0] = Integer n
    int64_t n;
    Value result;
};

std::string AnsiOf(const Value& v) { return platform::Utf16ToAnsi(script::Text(v.AsString())); }

// An array holding the arguments 1 to n of `vector`, pinned for as long as the vector is in use.
script::Pinned Hold(script::Interpreter& interp, const Value* vector) {
    script::ArrayRecord* holder = script::NewArray(interp, 0);
    const int64_t count = vector[0].AsInteger();
    for (int64_t i = 1; i <= count; ++i) script::PutElement(interp, holder, vector[i], static_cast<uint64_t>(i));
    return script::Pinned(interp, Value::Array(holder));
}

// Objects the movie made of a handle ({Identifier: handle}) stand for the host object again.
script::Pinned FixUp(script::Interpreter& interp, Value* vector) {
    const uint32_t identifier = script::Intern(interp, "Identifier");
    const HandleRegistry& handles = HandlesOf(interp);
    for (int64_t i = 1; i <= vector[0].AsInteger(); ++i) {
        Value id;
        if (!vector[i].Is(Tag::Object) || !script::GetOwnOrInherited(interp, vector[i].AsObject(), identifier, id))
            continue;
        if (const std::optional<Value> host = handles.Lookup(id)) vector[i] = *host;
    }
    return Hold(interp, vector);
}

// The first argument: a live handle or the name of a global, either way naming a HostObject.
// It comes back pinned: the command may run script (a handler's text, a method, a property) that
// drops every other reference to it, say by replacing the global that named it, and a collection
// in that script must not free the object the command still works on.
std::optional<script::Pinned> Target(MovieCall& c) {
    const Value& first = c.args[1];
    std::optional<Value> found;
    if (first.Is(Tag::Integer)) found = HandlesOf(c.interp).Lookup(first);
    else if (first.Is(Tag::String)) found = script::GlobalByName(c.interp, AnsiOf(first));
    if (!found || !found->Is(Tag::HostObject)) return std::nullopt;
    return std::optional<script::Pinned>(std::in_place, c.interp, *found);
}

// ---- Commands ----

void New(MovieCall& c) {
    if (c.n < 1 || !c.args[1].Is(Tag::String)) return;
    const std::string className = AnsiOf(c.args[1]);
    Value* vector = &c.args[1];
    vector[0] = Value::Integer(c.n - 1);
    const script::Pinned held = FixUp(c.interp, vector);
    if (script::ConstructGlobal(c.interp, className, vector)) c.result = script::Result(c.interp);
}

void Delete(MovieCall& c) { c.result = Value::Boolean(c.n >= 1 && HandlesOf(c.interp).Unpin(c.args[1])); }

void Invoke(MovieCall& c, const Value& target, uint32_t method, Value* vector) {
    const script::Pinned held = FixUp(c.interp, vector);
    if (script::InvokeMethod(c.interp, target, method, vector)) c.result = script::Result(c.interp);
}

void CallMethod(MovieCall& c) {
    if (c.n < 2 || !c.args[2].Is(Tag::String)) return;
    const std::optional<script::Pinned> target = Target(c);
    if (!target) return;
    const uint32_t method = script::Intern(c.interp, AnsiOf(c.args[2]));
    Value* vector = &c.args[2];  // the name's cell becomes the count of what follows it
    vector[0] = Value::Integer(c.n - 2);
    Invoke(c, target->Get(), method, vector);
}

void CallMethodSpread(MovieCall& c) {
    if (c.n < 3 || !c.args[2].Is(Tag::String) || !c.args[3].Is(Tag::Array)) return;
    const std::optional<script::Pinned> target = Target(c);
    script::ArrayRecord* array = c.args[3].AsArray();
    if (!target || array->length > kMaxSpreadArguments) return;
    std::vector<Value> vector(array->length + 1);
    vector[0] = Value::Integer(static_cast<int64_t>(array->length));
    for (uint64_t i = 0; i < array->length; ++i)
        if (const Value* cell = script::GetElement(array, i)) vector[i + 1] = *cell;
    Invoke(c, target->Get(), script::Intern(c.interp, AnsiOf(c.args[2])), vector.data());
}

void GetProperty(MovieCall& c) {
    if (c.n < 2 || !c.args[2].Is(Tag::String)) return;
    const std::optional<script::Pinned> target = Target(c);
    if (!target) return;
    const uint32_t nameId = script::Intern(c.interp, AnsiOf(c.args[2]));
    if (script::AccessHostProperty(c.interp, target->Get(), nameId, false, Value::Undefined()))
        c.result = script::Result(c.interp);
}

void SetProperty(MovieCall& c) {
    if (c.n < 3 || !c.args[2].Is(Tag::String)) return;
    const std::optional<script::Pinned> target = Target(c);
    if (!target) return;
    const uint32_t nameId = script::Intern(c.interp, AnsiOf(c.args[2]));
    Value* vector = &c.args[2];  // the value, alone in a vector headed by the name's cell
    vector[0] = Value::Integer(1);
    const script::Pinned held = FixUp(c.interp, vector);
    (void)script::AccessHostProperty(c.interp, target->Get(), nameId, true, vector[1]);
}

void RunText(MovieCall& c) {
    if (c.n < 1 || !c.args[1].Is(Tag::String) || !c.context.runCommand) return;
    c.context.runCommand(c.name, AnsiOf(c.args[1]));
    c.result = script::Result(c.interp);
}

bool IsIdentifierText(std::string_view text) {
    return !text.empty() && std::all_of(text.begin(), text.end(), [](char ch) {
        return (ch >= 'a' && ch <= 'z') || (ch >= 'A' && ch <= 'Z') || (ch >= '0' && ch <= '9') || ch == '_' ||
               ch == '$';
    });
}

// The names go into script source: an event name that is no identifier, or a function name that
// could leave its quotes, would compile into something else than the handler (or not at all).
bool SafeHandlerNames(std::string_view eventName, std::string_view functionName) {
    return IsIdentifierText(eventName) && functionName.find_first_of("'\\\r\n") == std::string_view::npos;
}

void SetEventHandler(MovieCall& c) {
    if (c.n < 3 || !c.args[2].Is(Tag::String) || !c.args[3].Is(Tag::String)) return;
    const std::optional<script::Pinned> target = Target(c);
    const std::string eventName = AnsiOf(c.args[2]);
    const std::string functionName = AnsiOf(c.args[3]);
    if (!target || !SafeHandlerNames(eventName, functionName)) return;
    if (!RegisterMovieFunction(c.interp, c.context, script::Text(c.args[3].AsString()))) return;
    // Written unsigned: the low bits of a name's record may have the sign bit set, and "f-..."
    // is no function name.
    const uint64_t bits = c.args[1].Is(Tag::Integer) ? static_cast<uint64_t>(c.args[1].AsInteger())
                                                     : reinterpret_cast<uintptr_t>(c.args[1].payload.p);
    const std::string handler = "f" + std::to_string(static_cast<uint32_t>(bits)) + "_" + eventName;
    const std::string text = "function " + handler + "() { return _call('" + functionName + "', arguments);}";
    if (text.size() >= kHandlerTextBytes) return;  // too long for its buffer: nothing is set
    if (c.engine.RunSourceText(text) != 1) return;
    const Value function = script::GlobalByName(c.interp, handler);
    if (function.Is(Tag::Function))
        (void)script::AccessHostProperty(c.interp, target->Get(), script::Intern(c.interp, eventName), true, function);
}

void CallGlobalFunction(MovieCall& c) {
    const script::Pinned held = Hold(c.interp, c.args.data());
    if (script::CallGlobal(c.interp, c.name, c.args.data())) c.result = script::Result(c.interp);
}

struct Command {
    std::string_view name;
    void (*run)(MovieCall&);
};
constexpr Command kCommands[] = {
    {"velmo_new", &New},
    {"velmo_delete", &Delete},
    {"velmo_call", &CallMethod},
    {"velmo_call2", &CallMethodSpread},
    {"velmo_getprop", &GetProperty},
    {"velmo_setprop", &SetProperty},
    {"velmo_run", &RunText},
    {"velmo_eval", &RunText},
    {"exec", &RunText},
    {"velmo_seh", &SetEventHandler},
};

void Dispatch(MovieCall& c) {
    for (const Command& command : kCommands)
        if (platform::AnsiEqualNoCase(c.name, command.name)) return command.run(c);
    CallGlobalFunction(c);
}

}  // namespace

std::optional<std::u16string> HandleMovieCall(const MovieCallContext& context, std::u16string_view request) {
    script::Engine* engine = context.engine ? context.engine() : nullptr;
    if (!engine) return std::nullopt;
    script::Interpreter& interp = engine->Interp();
    DecodedRequest decoded = DecodeRequest(interp, request);
    Value result;
    if (decoded.ansiName && decoded.hasArguments) {
        const script::Pinned held = Hold(interp, decoded.args.data());
        MovieCall call{context, *engine, interp, *decoded.ansiName, decoded.args, decoded.args[0].AsInteger(), {}};
        Dispatch(call);
        result = call.result;
    }
    CodecBuffer reply;
    if (!EncodeValue(interp, reply, result)) return std::nullopt;
    return reply.Text();
}

}  // namespace velmo::host
