// Application has no per-instance state: everything lives in the class state of the interpreter
// that registered it, which the shell's entries below find through a table keyed by interpreter.
// Paths and texts cross to the system in the 8-bit code page.
#include "host/classes/application_object.h"

#include <unordered_map>
#include <vector>

#include "host/classes/application_text.h"
#include "host/classes/interval_table.h"
#include "host/classes/settings_objects.h"
#include "host/classes/sys_tray_object.h"
#include "host/framework/host_class.h"
#include "host/framework/projector.h"
#include "host/movie/movie_functions.h"
#include "platform/file_types.h"
#include "platform/environment.h"
#include "platform/files.h"
#include "platform/movie_control.h"
#include "platform/path.h"
#include "platform/text.h"
#include "script/runtime/arrays.h"
#include "script/runtime/convert.h"
#include "script/runtime/objects.h"
#include "script/runtime/strings.h"
#include "script/runtime/trace_output.h"
#include "shell/window_region.h"

namespace velmo::host {

using script::Interpreter;
using script::Tag;
using script::Value;

namespace {

enum EventSlot : int { kOnGetMovie, kOnGetFlashPlayer, kOnMovieLoaded, kEventCount };

constexpr uint32_t kAboutCommand = 0x800C;

class ApplicationState;
std::unordered_map<const Interpreter*, ApplicationState*>& States() {
    static std::unordered_map<const Interpreter*, ApplicationState*> states;
    return states;
}

class ApplicationState final : public HostClassState {
public:
    explicit ApplicationState(Interpreter& interp) : events(interp, kEventCount), intervals(interp) {
        States()[&interp] = this;
        interp_ = &interp;
    }
    ~ApplicationState() override { States().erase(interp_); }

    EventHandlers events;
    IntervalTable intervals;
    std::optional<script::Pinned> self;  // the class value, `this` of the events
    bool keepsLayeredOff = false;

private:
    Interpreter* interp_;  // not owned
};

ApplicationState* StateOf(const Interpreter& interp) {
    const auto found = States().find(&interp);
    return found == States().end() ? nullptr : found->second;
}
ApplicationState& StateOf(const script::ClassRecord& cls) { return *ClassStateAs<ApplicationState>(cls); }

// ---- Methods ----

void About(HostCall& call) { ProjectorOf(call.interp).PostSystemCommand(kAboutCommand); }

void GetBasePath(HostCall& call) {
    const platform::MovieControl* movie = ProjectorOf(call.interp).Movie();
    if (!movie) return call.Fail();
    const std::u16string base = movie->Base();
    if (!base.empty()) call.Return(script::StringValue(call.interp, base));
}

std::string ExecutableFolder() { return std::string(platform::FolderPart(platform::ModuleFileName())); }

// The folder setBasePath(`path`) names; none when there is nothing to set.
std::optional<std::string> BaseFolderFor(Projector& projector, const std::optional<std::string>& path) {
    if (!path) return ExecutableFolder();
    if (platform::AnsiEqualNoCase(*path, "movies")) {
        const std::vector<std::string> movies = projector.MovieCollection();
        // A movie named without a folder gives none to go by.
        if (movies.empty() || platform::FolderPart(movies.front()).empty()) return std::nullopt;
        return std::string(platform::FolderPart(movies.front()));
    }
    if (platform::AnsiEqualNoCase(*path, "attachments")) {
        std::string folder = projector.AttachmentsFolder();
        if (folder.empty()) folder = ExecutableFolder();
        if (!platform::FolderExists(folder)) (void)platform::CreateFolder(folder);
        return folder;
    }
    if (platform::PathExists(*path)) return *path;
    return std::nullopt;
}

// "file:///C:/folder/": an absolute POSIX path brings its own root slash, so it gets one fewer.
std::string FolderUrl(std::string folder) {
    for (char& c : folder)
        if (c == '\\') c = '/';
    if (folder.empty() || folder.back() != '/') folder += '/';
    return (folder.front() == '/' ? "file://" : "file:///") + folder;
}

void SetBasePath(HostCall& call) {
    std::optional<std::string> path;
    if (call.args.Has(1)) {
        path = AnsiArg(call.args, 1);
        if (!path) return call.Fail();
    }
    Projector& projector = ProjectorOf(call.interp);
    const std::optional<std::string> folder = BaseFolderFor(projector, path);
    platform::MovieControl* movie = projector.Movie();
    if (folder && movie) (void)movie->SetBase(platform::AnsiToUtf16(FolderUrl(*folder)));
}

// setInterval(function, ms, ...) or setInterval(target, "method", ms, ...).
void SetInterval(HostCall& call) {
    call.ReturnInteger(0);
    const script::Args& args = call.args;
    const uint32_t n = args.Count();
    Value target;
    std::string method;
    std::optional<int64_t> period;
    uint32_t firstExtra = 0;
    if (n >= 2 && args.IsTag(1, Tag::Function) && args.IsTag(2, Tag::Integer)) {
        target = args[1];
        period = args.Integer(2);
        firstExtra = 3;
    } else if (n >= 3 && args.IsTag(2, Tag::String) && args.IsTag(3, Tag::Integer)) {
        target = args[1];
        method = *AnsiArg(args, 2);
        period = args.Integer(3);
        firstExtra = 4;
    } else {
        return call.Fail();
    }
    std::vector<Value> extra;
    for (uint32_t i = firstExtra; i <= n; ++i) extra.push_back(args[i]);
    call.ReturnInteger(StateOf(call.cls).intervals.Start(*period, target, std::move(method), extra));
}

void ClearInterval(HostCall& call) {
    const std::optional<int64_t> id = call.args.Integer(1);
    if (!id || *id < 0 || *id > int64_t{UINT32_MAX}) return call.Fail();
    (void)StateOf(call.cls).intervals.Clear(static_cast<uint32_t>(*id));
}

// Each line ends in CR LF, as text-mode files on the system end them. A file that cannot be opened
// leaves the trace closed.
void TraceToFile(HostCall& call) {
    std::optional<std::string> path;
    if (call.args.Has(1)) {
        path = AnsiArg(call.args, 1);
        if (!path) return call.Fail();
    }
    script::TraceOutput& trace = script::Trace(call.interp);
    trace.Close();
    if (path) (void)trace.OpenFile(*path);
}

// sendMessage(window, message[, wParam[, lParam]]): the 32-bit result, sign-extended.
void SendMessage(HostCall& call) {
    const std::optional<std::array<int64_t, 2>> target = call.args.RequiredIntegers<2>();
    if (!target) return call.Fail();
    int64_t params[2] = {0, 0};
    for (uint32_t i = 0; i < 2; ++i) {
        if (!call.args.Has(3 + i)) continue;
        const std::optional<int64_t> value = call.args.Integer(3 + i);
        if (!value) return call.Fail();
        params[i] = *value;
    }
    const intptr_t result =
        ProjectorOf(call.interp)
            .SendWindowMessage(static_cast<uintptr_t>((*target)[0]), static_cast<uint32_t>((*target)[1]),
                               static_cast<uintptr_t>(params[0]), static_cast<intptr_t>(params[1]));
    call.ReturnInteger(static_cast<int32_t>(result));
}

// Registry writes that fail end the association silently.
void Associate(HostCall& call) {
    const std::optional<std::string> extension = AnsiArg(call.args, 1);
    const std::optional<std::string> typeName = AnsiArg(call.args, 2);
    if (!extension || !typeName) return call.Fail();
    (void)platform::AssociateFileType(*extension, *typeName, platform::ModuleFileName());
}

void RegisterAsMethods(HostCall& call) {
    const MovieCallContext* context = ProjectorOf(call.interp).MovieCalls();
    if (!context) return;
    for (uint32_t i = 1; i <= call.args.Count(); ++i)
        if (const std::optional<std::u16string_view> name = call.args.Text16Temp(i))
            (void)RegisterMovieFunction(call.interp, *context, std::u16string(*name));
}

// The rectangle of x, y, x + width, y + height, with its corners put in order as the system does.
platform::Region RectangleRegion(int64_t x, int64_t y, int64_t width, int64_t height) {
    int64_t left = x, top = y, right = x + width, bottom = y + height;
    if (right < left) std::swap(left, right);
    if (bottom < top) std::swap(top, bottom);
    if (right == left || bottom == top) return {};
    const auto clampInt = [](int64_t v) { return static_cast<int>(std::clamp<int64_t>(v, INT32_MIN, INT32_MAX)); };
    return {{clampInt(left), clampInt(top), clampInt(right - left), clampInt(bottom - top)}};
}

void SetDragRegion(HostCall& call) {
    Projector& projector = ProjectorOf(call.interp);
    const uint32_t n = call.args.Count();
    if (n >= 4) {
        int64_t edges[4];
        for (uint32_t i = 0; i < 4; ++i) edges[i] = script::ToInt32(call.interp, call.args[i + 1]);
        return projector.SetDragRegion(RectangleRegion(edges[0], edges[1], edges[2], edges[3]));
    }
    const std::optional<std::string> name = AnsiArg(call.args, 1);
    if (!name) return projector.SetDragRegion(std::nullopt);
    // A missing or damaged mask file leaves the drag region as it was.
    std::vector<uint8_t> bytes;
    if (!platform::ReadWholeFile(*name + ".msk", bytes)) return;
    if (std::optional<platform::Region> region = shell::ParseMaskFile(bytes))
        projector.SetDragRegion(std::move(region));
}

// ---- Properties ----

void SubObject(HostProperty& access, std::string_view hiddenGlobal) {
    if (!access.isSet) access.Return(script::GlobalByName(access.interp, hiddenGlobal));
}
void AppearanceProperty(HostProperty& access) { SubObject(access, kAppearanceGlobal); }
void SizeAndPosProperty(HostProperty& access) { SubObject(access, kSizeAndPosGlobal); }
void InteractionProperty(HostProperty& access) { SubObject(access, kInteractionGlobal); }
void BehaviourProperty(HostProperty& access) { SubObject(access, kBehaviourGlobal); }
void SysTrayProperty(HostProperty& access) { SubObject(access, kSysTrayGlobal); }

void CmdLine(HostProperty& access) {
    if (!access.isSet) access.ReturnAnsi(ProjectorOf(access.interp).CommandLine());
}

void CmdItems(HostProperty& access) {
    if (access.isSet) return;
    const std::vector<std::string> items = CommandLineItems(ProjectorOf(access.interp).CommandLine());
    script::ArrayRecord* array = script::NewArray(access.interp, items.size());
    const Value arrayValue = Value::Array(array);
    for (size_t i = 0; i < items.size(); ++i)
        script::PutElement(access.interp, array, AnsiStringValue(access.interp, items[i]), i);
    access.Return(arrayValue);
}

// Write-only: Null drops the custom cursor, "hide" hides the pointer, a file name shows the pointer
// and loads the cursor from that file or else from the attached file of that name.
void Cursor(HostProperty& access) {
    if (!access.isSet) return access.Return(Value::Undefined());
    Projector& projector = ProjectorOf(access.interp);
    const Value& value = access.Incoming();
    if (value.Is(Tag::Null)) return (void)projector.SetCustomCursor("");
    if (!value.Is(Tag::String)) return;
    const std::string name = platform::Utf16ToAnsi(script::Text(value.AsString()));
    if (platform::AnsiEqualNoCase(name, "hide")) return projector.ShowPointer(false);
    projector.ShowPointer(true);
    if (projector.SetCustomCursor(name)) return;
    const std::string extracted = projector.ExtractAttachedFile(name);
    if (!extracted.empty()) (void)projector.SetCustomCursor(extracted);
}

void CaptureMouse(HostProperty& access) {
    Projector& projector = ProjectorOf(access.interp);
    if (!access.isSet) return access.Return(Value::Boolean(projector.MovieWindowHasCapture()));
    projector.SetMovieWindowCapture(script::ToBoolean(access.Incoming()));
}

void SetFocus(HostProperty& access) {
    Projector& projector = ProjectorOf(access.interp);
    if (!access.isSet) return access.Return(Value::Boolean(projector.MovieWindowHasFocus()));
    if (script::ToBoolean(access.Incoming())) projector.FocusMovieWindow();
}

void TraceWnd(HostProperty& access) {
    if (!access.isSet) access.Return(Value::Null());
}

void Stpm(HostProperty& access) {
    ApplicationState& state = StateOf(access.cls);
    if (access.isSet) state.keepsLayeredOff = script::ToBoolean(access.Incoming());
    else access.Return(Value::Boolean(state.keepsLayeredOff));
}

void AlwaysFalse(HostProperty& access) {
    if (!access.isSet) access.Return(Value::Boolean(false));
}

constexpr HostMember kMembers[] = {
    Method("about", Failure::Undefined, &About),
    Method("getBasePath", Failure::Null, &GetBasePath),
    Method("setBasePath", Failure::Undefined, &SetBasePath),
    Method("setInterval", Failure::Undefined, &SetInterval),
    Method("clearInterval", Failure::Undefined, &ClearInterval),
    Method("traceToFile", Failure::Undefined, &TraceToFile),
    Method("sendMessage", Failure::Undefined, &SendMessage),
    Method("associate", Failure::Undefined, &Associate),
    Method("registerASMethods", Failure::Undefined, &RegisterAsMethods),
    Method("setDragRegion", Failure::Undefined, &SetDragRegion),
    PropertyMember("Appearance", &AppearanceProperty),
    PropertyMember("SizeAndPos", &SizeAndPosProperty),
    PropertyMember("Interaction", &InteractionProperty),
    PropertyMember("Behaviour", &BehaviourProperty),
    PropertyMember("SysTray", &SysTrayProperty),
    PropertyMember("cmdLine", &CmdLine),
    PropertyMember("cmdItems", &CmdItems),
    PropertyMember("cursor", &Cursor),
    PropertyMember("captureMouse", &CaptureMouse),
    PropertyMember("setFocus", &SetFocus),
    PropertyMember("traceWnd", &TraceWnd),
    PropertyMember("_stpm", &Stpm),
    PropertyMember("isScr", &AlwaysFalse),
    PropertyMember("isPreview", &AlwaysFalse),
    Event("onGetMovie", kOnGetMovie),
    Event("onGetFlashPlayer", kOnGetFlashPlayer),
    Event("onMovieLoaded", kOnMovieLoaded),
};

EventHandlers* ApplicationEvents(script::ClassRecord& cls, void*) { return &StateOf(cls).events; }

std::unique_ptr<HostClassState> MakeState(Interpreter& interp) { return std::make_unique<ApplicationState>(interp); }

constexpr HostClassSpec kSpec{
    .name = "Application",
    .members = kMembers,
    .events = &ApplicationEvents,
    .emptyEvent = EmptyEvent::Undefined,
    .makeState = &MakeState,
};

}  // namespace

void RegisterApplicationClass(Interpreter& interp) {
    script::ClassRecord* cls = RegisterHostClass(interp, kSpec);
    StateOf(*cls).self.emplace(interp, script::GlobalByName(interp, "Application"));
    RegisterSettingsClasses(interp);
}

std::optional<std::string> AskForMovie(Interpreter& interp) {
    ApplicationState* state = StateOf(interp);
    if (!state || !state->events.IsSet(kOnGetMovie)) return std::nullopt;
    const script::Pinned request(interp, Value::Object(script::NewObject(interp)));
    const EventOutcome outcome = FireEvent(interp, state->events, kOnGetMovie, state->self->Get(), {request.Get()});
    if (!outcome.succeeded || !script::ToBoolean(outcome.resultTemp)) return std::nullopt;
    Value path;
    if (!script::GetOwnOrInherited(interp, request.Get().AsObject(), script::Intern(interp, "value"), path) ||
        !path.Is(Tag::String))
        return std::nullopt;
    return platform::Utf16ToAnsi(script::Text(path.AsString()));
}

void NotifyMovieLoaded(Interpreter& interp, const std::string& ansiPath) {
    ApplicationState* state = StateOf(interp);
    if (!state || !state->events.IsSet(kOnMovieLoaded)) return;
    (void)FireEvent(interp, state->events, kOnMovieLoaded, state->self->Get(), {AnsiStringValue(interp, ansiPath)});
}

bool NotifyTrayMouse(Interpreter& interp, uint32_t mouseMessage) { return FireTrayMouse(interp, mouseMessage); }

bool KeepsLayeredOff(Interpreter& interp) {
    const ApplicationState* state = StateOf(interp);
    return state && state->keepsLayeredOff;
}

}  // namespace velmo::host
