// The FlashPlayer class's members. It is a static object: every value of it acts on the main
// frame's one control, and all its state (the bindings) is class state. Without a control every
// method yields its failure result and every property falls through to the value's own properties.
// Texts go to the control as UTF-16, as the control takes them: nothing is lost to the 8-bit code
// page on the way.
#include "host/classes/flash_player_object.h"

#include <algorithm>
#include <cstdio>
#include <initializer_list>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "host/classes/flash_bindings.h"
#include "host/classes/movie_clip_object.h"
#include "host/classes/movie_geometry.h"
#include "host/classes/movie_values.h"
#include "host/classes/window_record.h"
#include "host/framework/projector.h"
#include "platform/movie_control.h"
#include "platform/text.h"
#include "script/runtime/arrays.h"
#include "script/runtime/calls.h"
#include "script/runtime/convert.h"
#include "script/runtime/interpreter_api.h"
#include "script/runtime/objects.h"
#include "script/runtime/pinned.h"
#include "script/runtime/properties.h"
#include "script/runtime/strings.h"
#include "shell/movie_header.h"

namespace velmo::host {

namespace {

using platform::MovieControl;
using platform::MovieMethod;
using platform::MovieProperty;
using platform::MovieValue;
using script::Tag;
using script::Value;

constexpr std::string_view kMovieWindowGlobal = "$_MOVORA_FLASHPLAYER_WINDOW_";
// getArray trusts "NAME.length" below this; putArray writes no more elements than that.
constexpr int64_t kArrayLimit = 5001;

MovieControl* Control(script::Interpreter& interp) { return ProjectorOf(interp).Movie(); }
FlashPlayerState& State(script::ClassRecord& cls) { return *ClassStateAs<FlashPlayerState>(cls); }

std::u16string Text(const Value& v) { return std::u16string(script::Text(v.AsString())); }
int32_t Clamp32(int64_t v) { return static_cast<int32_t>(std::clamp<int64_t>(v, INT32_MIN, INT32_MAX)); }

// ---- What the control answers, as script values

std::optional<int64_t> IntegerOf(const std::optional<MovieValue>& answer) {
    if (!answer) return std::nullopt;
    if (const int32_t* v = std::get_if<int32_t>(&*answer)) return *v;
    if (const bool* v = std::get_if<bool>(&*answer)) return *v ? 1 : 0;
    if (const double* v = std::get_if<double>(&*answer)) return script::ToInteger64Numeric(Value::Number(*v));
    if (const std::u16string* v = std::get_if<std::u16string>(&*answer)) {
        const Value n = script::StringToNumber(*v);
        return n.Is(Tag::NaN) ? std::nullopt : std::optional(script::ToInteger64Numeric(n));
    }
    return std::nullopt;
}

std::optional<bool> BooleanOf(const std::optional<MovieValue>& answer) {
    if (answer && std::holds_alternative<std::u16string>(*answer))
        return std::get<std::u16string>(*answer) == u"true" || IntegerOf(answer).value_or(0) != 0;
    const std::optional<int64_t> v = IntegerOf(answer);
    return v ? std::optional(*v != 0) : std::nullopt;
}

std::optional<std::u16string> TextOf(const std::optional<MovieValue>& answer) {
    if (!answer) return std::nullopt;
    if (const std::u16string* v = std::get_if<std::u16string>(&*answer)) return *v;
    if (const bool* v = std::get_if<bool>(&*answer)) return *v ? u"true" : u"false";
    if (const int32_t* v = std::get_if<int32_t>(&*answer)) return platform::AnsiToUtf16(std::to_string(*v));
    if (const double* v = std::get_if<double>(&*answer)) {
        char text[40];
        std::snprintf(text, sizeof text, "%.15g", *v);
        return platform::AnsiToUtf16(text);
    }
    return std::u16string();
}

// ---- Methods that hand their arguments to the control

// The kinds of argument a control method takes: an Integer, a String, or an Integer or Number.
enum class Arg : uint8_t { Int, Text, Num };

// Reads the arguments `kinds` names, in order from the first, and calls the control; none when an
// argument is missing or of another tag, there is no control, or the control refused.
std::optional<MovieValue> CallMovie(HostCall& call, MovieMethod method, std::initializer_list<Arg> kinds) {
    MovieControl* control = Control(call.interp);
    if (!control) return std::nullopt;
    std::vector<MovieValue> values;
    uint32_t index = 1;
    for (const Arg kind : kinds) {
        const Value* v = call.args.At(index++);
        if (!v) return std::nullopt;
        if (kind == Arg::Int && v->Is(Tag::Integer)) values.emplace_back(Clamp32(v->AsInteger()));
        else if (kind == Arg::Text && v->Is(Tag::String)) values.emplace_back(Text(*v));
        else if (kind == Arg::Num && v->Is(Tag::Integer)) values.emplace_back(static_cast<double>(v->AsInteger()));
        else if (kind == Arg::Num && v->Is(Tag::Number)) values.emplace_back(v->AsNumber());
        else return std::nullopt;
    }
    return control->Call(method, values);
}

// One body per kind of result; the preset failure result stays when the call did not happen.
template <MovieMethod M, Arg... A>
void Succeeds(HostCall& call) {
    if (CallMovie(call, M, {A...})) call.ReturnBoolean(true);
}
template <MovieMethod M, Arg... A>
void AnswersBoolean(HostCall& call) {
    if (const std::optional<bool> v = BooleanOf(CallMovie(call, M, {A...}))) call.ReturnBoolean(*v);
}
template <MovieMethod M, Arg... A>
void AnswersInteger(HostCall& call) {
    if (const std::optional<int64_t> v = IntegerOf(CallMovie(call, M, {A...}))) call.ReturnInteger(*v);
}
template <MovieMethod M, Arg... A>
void AnswersText(HostCall& call) {
    if (const std::optional<std::u16string> v = TextOf(CallMovie(call, M, {A...})))
        call.Return(script::StringValue(call.interp, *v));
}
template <MovieMethod M, Arg... A>
void AnswersNumber(HostCall& call) {
    const std::optional<MovieValue> answer = CallMovie(call, M, {A...});
    if (!answer) return;
    if (const double* v = std::get_if<double>(&*answer)) return call.Return(Value::Number(*v));
    if (const std::optional<std::u16string> text = TextOf(answer)) call.Return(script::StringToNumber(*text));
}

void FlashVersion(HostCall& call) {
    if (MovieControl* control = Control(call.interp)) call.ReturnInteger(control->FlashVersion());
}

void SetVariable(HostCall& call) {
    MovieControl* control = Control(call.interp);
    if (!control || !call.args.IsTag(1, Tag::String) || !call.args.IsTag(2, Tag::String)) return;
    call.ReturnBoolean(control->SetVariable(Text(call.args[1]), Text(call.args[2])));
}

void GetVariable(HostCall& call) {
    MovieControl* control = Control(call.interp);
    if (!control || !call.args.IsTag(1, Tag::String)) return;
    if (const std::optional<std::u16string> v = control->GetVariable(Text(call.args[1])))
        call.Return(script::StringValue(call.interp, *v));
}

// ---- Bindings

// The names among the arguments: each String argument, in order; others are passed over.
std::vector<std::u16string> NameArguments(const HostCall& call) {
    std::vector<std::u16string> names;
    for (uint32_t i = 1; i <= call.args.Count(); ++i)
        if (call.args[i].Is(Tag::String)) names.push_back(Text(call.args[i]));
    return names;
}

void BindData(HostCall& call) {
    if (!Control(call.interp)) return;
    for (const std::u16string& name : NameArguments(call)) State(call.cls).bindings.Bind(name);
}

void UnbindData(HostCall& call) {
    if (!Control(call.interp)) return;
    for (const std::u16string& name : NameArguments(call)) State(call.cls).bindings.Unbind(name);
}

void UnbindAll(HostCall& call) {
    if (Control(call.interp)) State(call.cls).bindings.Clear();
}

// A variable the movie does not have reads as Undefined.
Value ReadConverted(script::Interpreter& interp, MovieControl& control, std::u16string_view name) {
    const std::optional<std::u16string> text = control.GetVariable(name);
    return text ? MovieTextValue(interp, *text) : Value::Undefined();
}

// Script code may run while values become texts (an object's toString) and change the bindings or
// close the frame: the names and values are taken first, the control looked up for each write.
void UpdateData(HostCall& call) {
    if (!Control(call.interp)) return;
    BindingTable& table = State(call.cls).bindings;
    const bool fromMovie = !call.args.Has(1) || script::ToBoolean(call.args[1]);
    if (fromMovie) {
        std::vector<std::u16string> names;
        for (const BindingTable::Binding* b : table.All()) names.push_back(b->name);
        for (const std::u16string& name : names) {
            MovieControl* control = Control(call.interp);
            BindingTable::Binding* binding = table.Find(name);
            if (control && binding) binding->value.Set(ReadConverted(call.interp, *control, name));
        }
        return;
    }
    std::vector<std::pair<std::u16string, script::Pinned>> taken;
    for (const BindingTable::Binding* b : table.All())
        taken.emplace_back(b->name, script::Pinned(call.interp, b->value.Get()));
    for (const auto& [name, value] : taken) {
        const std::u16string text = script::ToText(call.interp, value.Get());
        if (MovieControl* control = Control(call.interp)) (void)control->SetVariable(name, text);
    }
}

// ---- Variables as arrays and objects

std::u16string Member(std::u16string_view prefix, std::u16string_view member) {
    return std::u16string(prefix) + u"." + std::u16string(member);
}
std::u16string Member(std::u16string_view prefix, int64_t index) {
    return Member(prefix, platform::AnsiToUtf16(std::to_string(index)));
}

void GetArray(HostCall& call) {
    MovieControl* control = Control(call.interp);
    if (!control || !call.args.IsTag(1, Tag::String)) return;
    const std::u16string name = Text(call.args[1]);
    script::Interpreter& interp = call.interp;
    const std::optional<std::u16string> lengthText = control->GetVariable(Member(name, u"length"));
    const Value length = lengthText ? MovieTextValue(interp, *lengthText) : Value::Undefined();
    if (length.Is(Tag::Integer) && length.AsInteger() >= 0 && length.AsInteger() < kArrayLimit) {
        const uint64_t count = static_cast<uint64_t>(length.AsInteger());
        script::ArrayRecord* array = script::NewArray(interp, count);
        const script::Pinned kept(interp, Value::Array(array));
        for (uint64_t i = 0; i < count; ++i)
            if (const std::optional<std::u16string> item = control->GetVariable(Member(name, static_cast<int64_t>(i))))
                script::PutElement(interp, array, MovieTextValue(interp, *item), i);
        return call.Return(kept.Get());
    }
    std::vector<std::u16string> parts;
    if (const std::optional<std::u16string> whole = control->GetVariable(name)) {
        size_t from = 0;
        for (size_t comma = whole->find(u','); comma != std::u16string::npos; comma = whole->find(u',', from)) {
            parts.push_back(whole->substr(from, comma - from));
            from = comma + 1;
        }
        parts.push_back(whole->substr(from));
    }
    script::ArrayRecord* array = script::NewArray(interp, parts.size());
    const script::Pinned kept(interp, Value::Array(array));
    for (size_t i = 0; i < parts.size(); ++i)
        script::PutElement(interp, array, script::StringValue(interp, parts[i]), i);
    call.Return(kept.Get());
}

void PutArray(HostCall& call) {
    if (!Control(call.interp) || !call.args.IsTag(1, Tag::String) || !call.args.IsTag(2, Tag::Array)) return;
    const std::u16string name = Text(call.args[1]);
    const script::Pinned array(call.interp, call.args[2]);
    const uint64_t length = std::min<uint64_t>(array.Get().AsArray()->length, kArrayLimit);
    for (uint64_t i = 0; i < length; ++i) {
        const Value* element = script::GetElement(array.Get().AsArray(), i);
        const std::u16string text = script::ToText(call.interp, element ? *element : Value::Undefined());
        MovieControl* control = Control(call.interp);
        if (!control) return;
        (void)control->SetVariable(Member(name, static_cast<int64_t>(i)), text);
    }
}

void GetObject(HostCall& call) {
    if (!Control(call.interp) || call.args.Count() < 2) return;
    for (uint32_t i = 1; i <= call.args.Count(); ++i)
        if (!call.args[i].Is(Tag::String) && !call.args[i].Is(Tag::Array)) return;
    if (!call.args[1].Is(Tag::String)) return;
    const std::u16string prefix = Text(call.args[1]);
    std::vector<std::u16string> members;
    for (uint32_t i = 2; i <= call.args.Count(); ++i) {
        if (call.args[i].Is(Tag::String)) {
            members.push_back(Text(call.args[i]));
            continue;
        }
        const script::ArrayRecord* list = call.args[i].AsArray();
        for (uint64_t at = 0; at < std::min<uint64_t>(list->length, kArrayLimit); ++at)
            if (const Value* item = script::GetElement(list, at); item && item->Is(Tag::String))
                members.push_back(Text(*item));
    }
    script::Interpreter& interp = call.interp;
    script::ObjectRecord* object = script::NewObject(interp);
    const script::Pinned kept(interp, Value::Object(object));
    MovieControl& control = *Control(interp);
    for (const std::u16string& member : members)
        script::SetOwn(interp, object, script::Intern(interp, platform::Utf16ToAnsi(member)),
                       ReadConverted(interp, control, Member(prefix, member)));
    call.Return(kept.Get());
}

bool WrittenByPutObject(const Value& v) {
    return v.Is(Tag::String) || v.Is(Tag::Boolean) || v.Is(Tag::Integer) || v.Is(Tag::Number) || v.Is(Tag::NaN) ||
           v.Is(Tag::Array);
}

void PutObject(HostCall& call) {
    if (!Control(call.interp) || !call.args.IsTag(1, Tag::String) || !call.args.IsTag(2, Tag::Object)) return;
    const std::u16string prefix = Text(call.args[1]);
    script::Interpreter& interp = call.interp;
    script::ObjectRecord* object = call.args[2].AsObject();
    std::vector<std::pair<std::u16string, script::Pinned>> taken;
    for (const script::PropertyName& property : script::ListProperties(interp, object)) {
        const std::string name(property.name);
        Value value;
        if (name == "__proto__" || !script::GetByKey(interp, object, Value::Integer(property.slot), value) ||
            !WrittenByPutObject(value))
            continue;
        taken.emplace_back(platform::AnsiToUtf16(name), script::Pinned(interp, value));
    }
    for (const auto& [name, value] : taken) {
        const std::u16string text = script::ToText(interp, value.Get());
        if (MovieControl* control = Control(interp)) (void)control->SetVariable(Member(prefix, name), text);
    }
}

// ---- Geometry and movie files

double Coordinate(const script::Args& args, uint32_t index) {
    const Value& v = args[index];
    if (v.Is(Tag::Integer)) return static_cast<double>(v.AsInteger());
    if (v.Is(Tag::Number)) return v.AsNumber();
    return 0;
}

void SetIntegers(script::Interpreter& interp, script::ObjectRecord* object,
                 std::initializer_list<std::pair<const char*, int64_t>> fields) {
    for (const auto& [name, value] : fields)
        script::SetOwn(interp, object, script::Intern(interp, name), Value::Integer(value));
}

void MovieToWindowMember(HostCall& call) {
    MovieControl* control = Control(call.interp);
    if (!control || call.args.Count() < 4) return;
    const Projector& projector = ProjectorOf(call.interp);
    const std::optional<platform::Size> movie = projector.MovieFrameSize();
    if (!movie) return;
    const MovieRectangle rect{Coordinate(call.args, 1), Coordinate(call.args, 2), Coordinate(call.args, 3),
                              Coordinate(call.args, 4)};
    const std::optional<WindowEdges> edges =
        MovieToWindow(*movie, projector.MainClientSize().value_or(platform::Size{}), control->ScaleMode(), rect);
    if (!edges) return;
    script::ObjectRecord* object = script::NewObject(call.interp);
    SetIntegers(call.interp, object,
                {{"left", edges->left}, {"right", edges->right}, {"top", edges->top}, {"bottom", edges->bottom}});
    call.Return(Value::Object(object));
}

// The header's twips become whole pixels by truncation toward zero, as the integer division does
// exactly where a product with 0.05 could fall short of a whole number.
void GetMovieInfo(HostCall& call) {
    const std::optional<std::string> path = AnsiArg(call.args, 1);
    if (!Control(call.interp) || !path) return;
    const std::optional<shell::MovieHeader> header = shell::ReadMovieHeader(*path);
    if (!header) return;
    script::Interpreter& interp = call.interp;
    script::ObjectRecord* frame = script::NewObject(interp);
    const script::Pinned keptFrame(interp, Value::Object(frame));
    SetIntegers(interp, frame,
                {{"xMin", header->xMin / 20},
                 {"xMax", header->xMax / 20},
                 {"yMin", header->yMin / 20},
                 {"yMax", header->yMax / 20}});
    script::ObjectRecord* info = script::NewObject(interp);
    script::SetOwn(interp, info, script::Intern(interp, "frameSize"), keptFrame.Get());
    SetIntegers(interp, info,
                {{"rate", static_cast<int64_t>(header->frameRate)},
                 {"frameCount", header->frameCount},
                 {"version", header->version},
                 {"size", header->fileLength}});
    call.Return(Value::Object(info));
}

// ---- Properties

enum class Kind : uint8_t { Integer, Boolean, Text };

void ControlProperty(HostProperty& p, MovieProperty property, Kind kind) {
    MovieControl* control = Control(p.interp);
    if (!control) return;
    if (!p.isSet) {
        const std::optional<MovieValue> answer = control->Get(property);
        if (kind == Kind::Integer) {
            const std::optional<int64_t> v = IntegerOf(answer);
            return p.Return(v ? Value::Integer(*v) : Value::Undefined());
        }
        if (kind == Kind::Boolean) {
            const std::optional<bool> v = BooleanOf(answer);
            return p.Return(v ? Value::Boolean(*v) : Value::Undefined());
        }
        const std::optional<std::u16string> v = TextOf(answer);
        return p.Return(v ? script::StringValue(p.interp, *v) : Value::Undefined());
    }
    if (property == MovieProperty::TotalFrames) return;
    const Value& in = p.Incoming();
    if (kind == Kind::Integer && in.Is(Tag::Integer)) (void)control->Put(property, Clamp32(in.AsInteger()));
    else if (kind == Kind::Boolean && in.Is(Tag::Boolean)) (void)control->Put(property, in.AsBoolean());
    else if (kind == Kind::Boolean && in.Is(Tag::Integer)) (void)control->Put(property, in.AsInteger() != 0);
    else if (kind == Kind::Text && in.Is(Tag::String)) (void)control->Put(property, Text(in));
}

template <MovieProperty P, Kind K>
void PropertyBody(HostProperty& p) {
    ControlProperty(p, P, K);
}

// The Window of the movie window, kept in its global slot; made there (through the Window class's
// constructor) when the slot holds no Window of that handle. Null without a movie window.
Value MovieWindowValue(script::Interpreter& interp) {
    const uintptr_t window = ProjectorOf(interp).MovieWindow();
    if (!window) return Value::Null();
    const Value kept = script::GlobalByName(interp, kMovieWindowGlobal);
    if (const SharedRecord* record = SharedRecordOf<SharedRecord>(InstanceData(interp, kept, "Window"));
        record && record->Handle() == window)
        return kept;
    Value args[] = {Value::Integer(1), Value::Integer(static_cast<int64_t>(window))};
    if (!script::ConstructGlobal(interp, "Window", args)) return Value::Null();
    const Value made = script::Result(interp);
    if (!IsInstanceOf(interp, made, "Window")) return Value::Null();
    script::GlobalByName(interp, kMovieWindowGlobal) = made;
    return made;
}

void WindowProperty(HostProperty& p) {
    if (!p.isSet) p.Return(MovieWindowValue(p.interp));
}

// Write only: a Function goes into the movie window record's context-menu slot, anything else
// empties it, and the movie's own menu comes back.
void OnContextMenu(HostProperty& p) {
    if (!p.isSet) return p.Return(Value::Undefined());
    const script::Pinned handler(p.interp, p.Incoming());
    const Value window = MovieWindowValue(p.interp);
    WindowRecord* record = SharedRecordOf<WindowRecord>(InstanceData(p.interp, window, "Window"));
    if (!record) return;
    if (handler.Get().Is(Tag::Function)) record->handlers.Set(kOnContextMenu, handler.Get());
    else record->handlers.Clear(kOnContextMenu);
}

void ShowPrintDialog(HostProperty& p) {
    if (!p.isSet) return p.Return(Value::Boolean(platform::PrintDialogShown()));
    const Value& in = p.Incoming();
    if (in.Is(Tag::Boolean)) platform::SetPrintDialogShown(in.AsBoolean());
    else if (in.Is(Tag::Integer)) platform::SetPrintDialogShown(in.AsInteger() != 0);
}

// ---- The class

bool AnswersProperties(script::ClassRecord& cls, void*, const HostMember&) {
    return Control(State(cls).interp) != nullptr;
}

bool BoundOrClip(HostProperty& p, uint32_t nameId) {
    if (!Control(p.interp)) return false;
    return BoundProperty(p, State(p.cls), platform::AnsiToUtf16(script::NameText(p.interp, nameId)));
}

std::unique_ptr<HostClassState> MakeState(script::Interpreter& interp) {
    return std::make_unique<FlashPlayerState>(interp);
}

using M = MovieMethod;
using P = MovieProperty;
constexpr Arg I = Arg::Int, T = Arg::Text, N = Arg::Num;

constexpr HostMember kMembers[] = {
    Method("bindData", Failure::Undefined, &BindData),
    Method("unbindData", Failure::Undefined, &UnbindData),
    Method("unbindAll", Failure::Undefined, &UnbindAll),
    Method("updateData", Failure::Undefined, &UpdateData),
    Method("getArray", Failure::Null, &GetArray),
    Method("putArray", Failure::Undefined, &PutArray),
    Method("getObject", Failure::Null, &GetObject),
    Method("putObject", Failure::Undefined, &PutObject),
    Method("movieToWindow", Failure::Undefined, &MovieToWindowMember),
    Method("setZoomRect", Failure::False, &Succeeds<M::SetZoomRect, I, I, I, I>),
    Method("zoom", Failure::False, &Succeeds<M::Zoom, I>),
    Method("pan", Failure::False, &Succeeds<M::Pan, I, I, I>),
    Method("play", Failure::False, &Succeeds<M::Play>),
    Method("stop", Failure::False, &Succeeds<M::Stop>),
    Method("back", Failure::False, &Succeeds<M::Back>),
    Method("forward", Failure::False, &Succeeds<M::Forward>),
    Method("rewind", Failure::False, &Succeeds<M::Rewind>),
    Method("stopPlay", Failure::False, &Succeeds<M::StopPlay>),
    Method("gotoFrame", Failure::False, &Succeeds<M::GotoFrame, I>),
    Method("currentFrame", Failure::MinusOne, &AnswersInteger<M::CurrentFrame>),
    Method("isPlaying", Failure::False, &AnswersBoolean<M::IsPlaying>),
    Method("percentLoaded", Failure::MinusOne, &AnswersInteger<M::PercentLoaded>),
    Method("frameLoaded", Failure::False, &AnswersBoolean<M::FrameLoaded, I>),
    Method("flashVersion", Failure::MinusOne, &FlashVersion),
    Method("loadMovie", Failure::False, &Succeeds<M::LoadMovie, I, T>),
    Method("setVariable", Failure::False, &SetVariable),
    Method("getVariable", Failure::Null, &GetVariable),
    Method("targetGotoFrame", Failure::False, &Succeeds<M::TGotoFrame, T, I>),
    Method("targetCallFrame", Failure::False, &Succeeds<M::TCallFrame, T, I>),
    Method("targetGotoLabel", Failure::False, &Succeeds<M::TGotoLabel, T, T>),
    Method("targetCallLabel", Failure::False, &Succeeds<M::TCallLabel, T, T>),
    Method("targetCurrentFrame", Failure::MinusOne, &AnswersInteger<M::TCurrentFrame, T>),
    Method("targetCurrentLabel", Failure::Null, &AnswersText<M::TCurrentLabel, T>),
    Method("targetPlay", Failure::False, &Succeeds<M::TPlay, T>),
    Method("targetStopPlay", Failure::False, &Succeeds<M::TStopPlay, T>),
    Method("targetGetProperty", Failure::Null, &AnswersText<M::TGetProperty, T, I>),
    Method("targetSetProperty", Failure::False, &Succeeds<M::TSetProperty, T, I, T>),
    Method("targetGetPropertyNum", Failure::Undefined, &AnswersNumber<M::TGetPropertyNum, T, I>),
    Method("targetSetPropertyNum", Failure::False, &Succeeds<M::TSetPropertyNum, T, I, N>),
    Method("getMovieInfo", Failure::Null, &GetMovieInfo),
    PropertyMember("totalFrames", &PropertyBody<P::TotalFrames, Kind::Integer>),
    PropertyMember("frameNum", &PropertyBody<P::FrameNum, Kind::Integer>),
    PropertyMember("playing", &PropertyBody<P::Playing, Kind::Boolean>),
    PropertyMember("loop", &PropertyBody<P::Loop, Kind::Boolean>),
    PropertyMember("menu", &PropertyBody<P::Menu, Kind::Boolean>),
    PropertyMember("deviceFont", &PropertyBody<P::DeviceFont, Kind::Boolean>),
    PropertyMember("embedMovie", &PropertyBody<P::EmbedMovie, Kind::Boolean>),
    PropertyMember("quality", &PropertyBody<P::Quality, Kind::Integer>),
    PropertyMember("scaleMode", &PropertyBody<P::ScaleMode, Kind::Integer>),
    PropertyMember("alignMode", &PropertyBody<P::AlignMode, Kind::Integer>),
    PropertyMember("backgroundColor", &PropertyBody<P::BackgroundColor, Kind::Integer>),
    PropertyMember("movie", &PropertyBody<P::Movie, Kind::Text>),
    PropertyMember("wmode", &PropertyBody<P::WMode, Kind::Text>),
    PropertyMember("salign", &PropertyBody<P::SAlign, Kind::Text>),
    PropertyMember("base", &PropertyBody<P::Base, Kind::Text>),
    PropertyMember("scale", &PropertyBody<P::Scale, Kind::Text>),
    PropertyMember("bgColor", &PropertyBody<P::BGColor, Kind::Text>),
    PropertyMember("quality2", &PropertyBody<P::Quality2, Kind::Text>),
    PropertyMember("SWRemote", &PropertyBody<P::SWRemote, Kind::Text>),
    PropertyMember("flashVars", &PropertyBody<P::FlashVars, Kind::Text>),
    PropertyMember("window", &WindowProperty),
    PropertyMember("onContextMenu", &OnContextMenu),
    PropertyMember("showPrintDlg", &ShowPrintDialog),
};

}  // namespace

void RegisterFlashPlayerClass(script::Interpreter& interp) {
    HostClassSpec spec;
    spec.name = "FlashPlayer";
    spec.members = kMembers;
    spec.answersProperties = &AnswersProperties;
    spec.otherProperty = &BoundOrClip;
    spec.makeState = &MakeState;
    RegisterHostClass(interp, spec);
}

}  // namespace velmo::host
