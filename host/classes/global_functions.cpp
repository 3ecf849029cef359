// Every function checks its own arguments and answers its failure result without a script error.
// Those that reach the projector go through ProjectorOf: in `velmo run` that is the standalone
// projector (no frame, no movie, no package, the tool's own profile).
#include "host/classes/global_functions.h"

#include <cstddef>
#include <iterator>
#include <optional>
#include <utility>
#include <vector>

#include "host/classes/uri_coding.h"
#include "host/framework/host_class.h"
#include "host/framework/projector.h"
#include "host/framework/shared_records.h"
#include "platform/environment.h"
#include "platform/profile.h"
#include "platform/text.h"
#include "script/runtime/arrays.h"
#include "script/runtime/calls.h"
#include "script/runtime/convert.h"
#include "script/runtime/interpreter_api.h"
#include "script/runtime/names.h"
#include "script/runtime/objects.h"
#include "script/runtime/pinned.h"
#include "script/runtime/properties.h"
#include "script/runtime/strings.h"
#include "script/runtime/trace_output.h"

namespace velmo::host {

using script::Tag;
using script::Value;

namespace {

// The main window's Window object lives here for the whole run, so that its shared record (and
// the handlers scripts set on it) stays while scripts drop their own references.
constexpr std::string_view kMainWindowGlobal = "$_MOVORA_MAIN_WINDOW_";
// _call refuses a longer list rather than allocate what a script's "length" claims.
constexpr int64_t kMaxListedArguments = 4096;
constexpr std::string_view kInvalidUri = "Invalid URI string";

// A Window object keeps a one-word holder of the shared record of its window handle, as every
// class does whose values stand for one native thing.
bool WrapsWindow(script::Interpreter& interp, const Value& value, uintptr_t window) {
    const SharedRecord* record = SharedRecordOf<SharedRecord>(InstanceData(interp, value, "Window"));
    return record && record->Handle() == window;
}

// getMainWnd(): Null without a main frame, and also while the engine has no Window class: the
// class makes this real, through its constructor with the frame's handle.
void GetMainWnd(HostCall& call) {
    const uintptr_t frame = ProjectorOf(call.interp).MainWindow();
    const Value windowClass = script::GlobalByName(call.interp, "Window");
    if (!frame || !windowClass.Is(Tag::HostObject) || !windowClass.AsHost()->cls->Construct) return call.Fail();
    const Value kept = script::GlobalByName(call.interp, kMainWindowGlobal);
    if (WrapsWindow(call.interp, kept, frame)) return call.Return(kept);
    Value args[] = {Value::Integer(1), Value::Integer(static_cast<int64_t>(frame))};
    if (!script::ConstructGlobal(call.interp, "Window", args)) return call.Fail();
    const Value made = script::Result(call.interp);
    if (!IsInstanceOf(call.interp, made, "Window")) return call.Fail();
    script::GlobalByName(call.interp, kMainWindowGlobal) = made;
    call.Return(made);
}

void GetAppDir(HostCall& call) { call.ReturnAnsi(AppFolderOf(platform::ModuleFileName())); }

void GetExeName(HostCall& call) { call.ReturnAnsi(platform::ModuleFileName()); }

// getMovies(): an empty array when there is no collection.
void GetMovies(HostCall& call) {
    const std::vector<std::string> movies = ProjectorOf(call.interp).MovieCollection();
    script::ArrayRecord* array = script::NewArray(call.interp, movies.size());
    for (size_t i = 0; i < movies.size(); ++i)
        script::PutElement(call.interp, array, AnsiStringValue(call.interp, movies[i]), i);
    call.Return(Value::Array(array));
}

// setWindowless(): rectangle; (path): the mask of that file; (flag): transparent or rectangle.
// The mask path stays as it was unless a new one is given.
void SetWindowless(HostCall& call) {
    Projector& projector = ProjectorOf(call.interp);
    shell::Appearance& look = projector.Settings().appearance;
    if (!call.args.Has(1)) {
        look.windowShape = shell::kShapeRectangle;
    } else if (std::optional<std::string> mask = AnsiArg(call.args, 1)) {
        look.windowShape = shell::kShapeClip;
        look.clipShapeImage = std::move(*mask);
    } else {
        look.windowShape = script::ToBoolean(call.args[1]) ? shell::kShapeTransparent : shell::kShapeRectangle;
    }
    projector.Apply(SettingsChange::WindowShape);
}

// readProfile(section, entry): Undefined when the value is absent or empty.
void ReadProfile(HostCall& call) {
    const std::optional<std::string> section = AnsiArg(call.args, 1);
    const std::optional<std::string> entry = AnsiArg(call.args, 2);
    if (!section || !entry) return call.Fail();
    platform::Profile* profile = ProjectorOf(call.interp).Profile();
    const std::optional<std::string> text = profile ? profile->ReadString(*section, *entry) : std::nullopt;
    if (!text || text->empty()) return call.Fail();
    call.ReturnAnsi(*text);
}

// writeProfile(section, entry, value): all three are needed; the value is written as its text.
void WriteProfile(HostCall& call) {
    const std::optional<std::string> section = AnsiArg(call.args, 1);
    const std::optional<std::string> entry = AnsiArg(call.args, 2);
    if (!section || !entry || !call.args.Has(3)) return call.Fail();
    const std::string text = platform::Utf16ToAnsi(script::ToText(call.interp, call.args[3]));
    // Nothing to report a refused write to: the function has no result.
    if (platform::Profile* profile = ProjectorOf(call.interp).Profile())
        (void)profile->WriteString(*section, *entry, text);
}

void ProcessMsg(HostCall& call) { call.ReturnBoolean(ProjectorOf(call.interp).PumpMessages()); }

// getAdditionalFile(name): the extracted file's path, Null when the package has no such file.
void GetAdditionalFile(HostCall& call) {
    const std::u16string name = call.args.Has(1) ? script::ToText(call.interp, call.args[1]) : std::u16string();
    const std::string path = ProjectorOf(call.interp).ExtractAttachedFile(platform::Utf16ToAnsi(name));
    if (path.empty()) return call.Fail();
    call.ReturnAnsi(path);
}

// invoke(scriptName): as the movie's "Velmo_Run" command.
void Invoke(HostCall& call) {
    if (const std::optional<std::string> name = AnsiArg(call.args, 1))
        ProjectorOf(call.interp).RunCommand("Velmo_Run", *name);
}

// The text argument of a URI function: absent reads as undefined, whose text is "undefined".
void CodeUri(HostCall& call, std::optional<std::u16string> (*code)(std::u16string_view, std::u16string_view),
             std::u16string_view set) {
    const std::u16string text = script::ToText(call.interp, call.args.Has(1) ? call.args[1] : Value::Undefined());
    const std::optional<std::u16string> coded = code(text, set);
    if (!coded) {
        script::Trace(call.interp).WriteLine(kInvalidUri);
        return call.Fail();
    }
    call.Return(script::StringValue(call.interp, *coded));
}

void EncodeUri(HostCall& call) { CodeUri(call, &EncodeUriText, kUriKeptByEncodeUri); }
void EncodeUriComponent(HostCall& call) { CodeUri(call, &EncodeUriText, kUriUnescapedSet); }
void DecodeUri(HostCall& call) { CodeUri(call, &DecodeUriText, kUriReservedSet); }
void DecodeUriComponent(HostCall& call) { CodeUri(call, &DecodeUriText, {}); }

// Element `i` of an argument list is slot `i` of the object, as `list[i]` reads it in a script,
// but only when that slot is an element: a positional slot, or one named by the digits of `i`.
// An arguments object keeps "length" and "callee" in the slots after its elements, so a "length"
// raised past them would otherwise pass the length itself and the function as arguments; a
// missing element is undefined, as in a call with fewer arguments.
Value ListElement(script::Interpreter& interp, const script::ObjectRecord& list, uint32_t i) {
    if (i >= list.slotCount) return Value::Undefined();
    const script::Slot& slot = list.slots[i];
    if (slot.name == script::kPositionalSlotName) return slot.value;
    if (slot.name != script::kDeletedSlot && script::NameText(interp, slot.name) == std::to_string(i))
        return slot.value;
    return Value::Undefined();
}

// _call(name, list): the global function `name` called with the list's elements 0 to length - 1.
// Only an Object is a list (an Array is refused), and its "length" must be an Integer from 0 to
// kMaxListedArguments.
void CallListed(HostCall& call) {
    const std::optional<std::string> name = AnsiArg(call.args, 1);
    if (!name || !call.args.IsTag(2, Tag::Object)) return call.Fail();
    script::ObjectRecord* list = call.args[2].AsObject();
    Value length;
    if (!script::GetOwnOrInherited(call.interp, list, script::Intern(call.interp, "length"), length) ||
        !length.Is(Tag::Integer) || length.AsInteger() < 0 || length.AsInteger() > kMaxListedArguments)
        return call.Fail();
    const auto count = static_cast<uint32_t>(length.AsInteger());
    // The called function may take the elements out of the list (or a host function may run
    // script that does) while this vector still serves as its arguments: an array holds them.
    script::ArrayRecord* holder = script::NewArray(call.interp, 0);
    const script::Pinned held(call.interp, Value::Array(holder));
    std::vector<Value> vector(count + 1);
    vector[0] = Value::Integer(count);
    for (uint32_t i = 0; i < count; ++i) {
        vector[i + 1] = ListElement(call.interp, *list, i);
        script::PutElement(call.interp, holder, vector[i + 1], i);
    }
    if (script::CallGlobal(call.interp, *name, vector.data())) call.Return(script::Result(call.interp));
}

struct GlobalFunction {
    const char* name;
    Failure failure;
    MethodBody body;
};
// In the order of publication.
constexpr GlobalFunction kFunctions[] = {
    {"getMainWnd", Failure::Null, &GetMainWnd},
    {"getAppDir", Failure::Null, &GetAppDir},
    {"getExeName", Failure::Null, &GetExeName},
    {"getMovies", Failure::Null, &GetMovies},
    {"setWindowless", Failure::Undefined, &SetWindowless},
    {"readProfile", Failure::Undefined, &ReadProfile},
    {"writeProfile", Failure::Undefined, &WriteProfile},
    {"processMsg", Failure::False, &ProcessMsg},
    {"getAdditionalFile", Failure::Null, &GetAdditionalFile},
    {"invoke", Failure::Undefined, &Invoke},
    {"encodeURI", Failure::Undefined, &EncodeUri},
    {"encodeURIComponent", Failure::Undefined, &EncodeUriComponent},
    {"decodeURI", Failure::Undefined, &DecodeUri},
    {"decodeURIComponent", Failure::Undefined, &DecodeUriComponent},
    {"_call", Failure::Undefined, &CallListed},
};

template <size_t I>
void CallFunction(script::Interpreter& interp, script::ClassRecord& cls, void* native, Value* result, Value* args) {
    constexpr Failure failure = kFunctions[I].failure;
    *result = failure == Failure::Null    ? Value::Null()
              : failure == Failure::False ? Value::Boolean(false)
                                          : Value::Undefined();
    HostCall call{interp, cls, native, script::Args(args), result};
    kFunctions[I].body(call);
}

// A function is a class with Call alone: `new encodeURI()` is no construction.
template <size_t... I>
void RegisterAll(script::Interpreter& interp, std::index_sequence<I...>) {
    (..., (void)RegisterHostClass(
              interp, HostClassSpec{.name = kFunctions[I].name, .construct = nullptr, .call = &CallFunction<I>}));
}

}  // namespace

void RegisterGlobalHostFunctions(script::Interpreter& interp) {
    RegisterAll(interp, std::make_index_sequence<std::size(kFunctions)>());
}

std::string AppFolderOf(std::string_view modulePath) {
    const char separator = !modulePath.empty() && modulePath.front() == '/' ? '/' : '\\';
    const size_t last = separator == '/' ? modulePath.rfind('/') : modulePath.find_last_of("\\/");
    std::string folder(last == std::string_view::npos ? std::string_view() : modulePath.substr(0, last + 1));
    if (!folder.empty()) folder.back() = separator;
    else folder += separator;
    return folder;
}

}  // namespace velmo::host
