// The Window class's members. Every member needs a value whose window still exists, except find,
// create and getWindowsByName, which also work on the class value; on a window that is gone a
// method does nothing and yields Undefined, and every property and event name falls through to
// the value's own properties. The rules of each member live here; the window system
// (platform/window_system.h) carries them out.
#include "host/classes/window_object.h"

#include <algorithm>
#include <array>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "host/classes/window_motion.h"
#include "host/classes/window_record.h"
#include "host/framework/projector.h"
#include "platform/text.h"
#include "script/runtime/arrays.h"
#include "script/runtime/convert.h"
#include "script/runtime/interpreter_api.h"
#include "script/runtime/objects.h"

namespace velmo::host {

namespace {

using platform::Rect;
using platform::WindowHandle;
using platform::WindowSystem;
using script::Tag;
using script::Value;

// Position flags: no size, no move, no z-order change, no activation, frame changed, show.
constexpr uint32_t kNoSize = 0x1, kNoMove = 0x2, kNoZOrder = 0x4, kNoActivate = 0x10, kShowWindow = 0x40;
constexpr uint32_t kEdgeWriteFlags = kNoZOrder | kNoActivate | kShowWindow;  // 0x54
constexpr uint32_t kFlyFlags = kNoSize | kNoZOrder | kShowWindow;            // 0x45
constexpr uint32_t kStyleChild = 0x40000000, kStyleVisible = 0x10000000;
// Show commands: hide, normal, maximized, show, minimize.
constexpr int kHide = 0, kNormal = 1, kMaximized = 3, kShow = 5, kMinimize = 6;
constexpr size_t kClassNameLimit = 256;
constexpr int kFlyDefaultDelayMs = 10;
constexpr platform::Size kCreatedSize{200, 20};

// The window of a value whose window still exists; none for the class value, a value for
// handle 0, and a window that is gone.
struct Target {
    WindowRecord* record;
    WindowSystem& windows;
    WindowHandle window;
};
std::optional<Target> LiveWindow(void* native) {
    WindowRecord* record = SharedRecordOf<WindowRecord>(native);
    if (!record || !record->Window() || !record->windows.IsWindow(record->Window())) return std::nullopt;
    return Target{record, record->windows, record->Window()};
}

Value WindowValue(script::Interpreter& interp, script::ClassRecord& cls, WindowHandle window) {
    return NewWindowValue(interp, cls, window);
}

Value WindowArray(script::Interpreter& interp, script::ClassRecord& cls, const std::vector<WindowHandle>& windows) {
    script::ArrayRecord* array = script::NewArray(interp, windows.size());
    for (size_t i = 0; i < windows.size(); ++i)
        script::PutElement(interp, array, WindowValue(interp, cls, windows[i]), i);
    return Value::Array(array);
}

std::string Lower(std::string text) {
    for (char& c : text)
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    return text;
}

// Style bits from an argument: an Integer or a Boolean by its low 32 bits, a Number by the low 32
// bits of its integer part, anything else (an absent argument included) as 0. Reading the raw
// cell of a string or an object would turn an address into style bits.
uint32_t StyleBits(const script::Args& args, uint32_t index) {
    if (!args.Has(index)) return 0;
    const Value& v = args[index];
    if (v.Is(Tag::Integer)) return static_cast<uint32_t>(v.AsInteger());
    if (v.Is(Tag::Boolean)) return v.AsBoolean() ? 1 : 0;
    if (v.Is(Tag::Number)) return static_cast<uint32_t>(script::ToInteger64Numeric(v));
    return 0;
}

// ---- Methods on a live window

void Show(HostCall& call) {
    if (const auto t = LiveWindow(call.native)) t->windows.Show(t->window, kShow);
}
void Hide(HostCall& call) {
    if (const auto t = LiveWindow(call.native)) t->windows.Show(t->window, kHide);
}
void Close(HostCall& call) {
    if (const auto t = LiveWindow(call.native)) t->windows.SendNotify(t->window, platform::kMsgClose, 0, 0);
}
void BringToTop(HostCall& call) {
    if (const auto t = LiveWindow(call.native)) t->windows.BringToTop(t->window);
}

// A child is centered in its parent's client area; another window over its owner when that is
// shown and not minimized, or else over the work area, and kept inside the work area.
void Center(HostCall& call) {
    const auto t = LiveWindow(call.native);
    if (!t) return;
    WindowSystem& ws = t->windows;
    const Rect placed = ws.PlacedRect(t->window);
    const platform::Size size{placed.width, placed.height};
    const WindowHandle parent = ws.Parent(t->window);
    Rect over = ws.WorkArea(), bounds = ws.WorkArea();
    if ((ws.Style(t->window) & kStyleChild) && ws.IsWindow(parent)) {
        const platform::Size client = ws.ClientSize(parent);
        over = bounds = {0, 0, client.width, client.height};
    } else if (ws.IsWindow(parent) && ws.IsVisible(parent) && !ws.IsMinimized(parent)) {
        over = ws.ScreenRect(parent);
    }
    const Point at = CenteredOrigin(size, over, bounds);
    ws.SetPosition(t->window, {at.x, at.y, size.width, size.height}, kNoSize | kNoZOrder | kNoActivate);
}

void GetChildren(HostCall& call) {
    if (const auto t = LiveWindow(call.native))
        call.Return(WindowArray(call.interp, call.cls, t->windows.Descendants(t->window)));
}

void ModifyStyles(HostCall& call, bool extended) {
    const auto t = LiveWindow(call.native);
    if (!t) return;
    WindowSystem& ws = t->windows;
    const uint32_t before = extended ? ws.ExtendedStyle(t->window) : ws.Style(t->window);
    const uint32_t after = (before & ~StyleBits(call.args, 1)) | StyleBits(call.args, 2);
    if (after == before) return;
    if (extended) ws.SetExtendedStyle(t->window, after);
    else ws.SetStyle(t->window, after);
    // The frame is drawn again for the new styles.
    ws.SetPosition(t->window, {}, kNoSize | kNoMove | kNoZOrder | kNoActivate | kShowWindow);
}
void ModifyStyle(HostCall& call) { ModifyStyles(call, false); }
void ModifyStyleEx(HostCall& call) { ModifyStyles(call, true); }

// move(left, top, right, bottom): edges, each kept as it is unless given as an Integer.
void MoveEdges(HostCall& call) {
    const auto t = LiveWindow(call.native);
    if (!t) return;
    const Rect r = t->windows.PlacedRect(t->window);
    std::array<int64_t, 4> edges = {r.left, r.top, int64_t{r.left} + r.width, int64_t{r.top} + r.height};
    for (uint32_t i = 0; i < 4; ++i)
        if (const std::optional<int64_t> v = call.args.Integer(i + 1)) edges[i] = *v;
    t->windows.Move(t->window,
                    {static_cast<int>(edges[0]), static_cast<int>(edges[1]), static_cast<int>(edges[2] - edges[0]),
                     static_cast<int>(edges[3] - edges[1])},
                    true);
}

void Animate(HostCall& call) {
    const auto t = LiveWindow(call.native);
    if (!t) return;
    call.ReturnBoolean(false);
    const std::optional<int64_t> duration = call.args.Integer(1), flags = call.args.Integer(2);
    if (!duration || !flags) return;
    call.ReturnBoolean(t->windows.Animate(t->window, static_cast<uint32_t>(*duration), static_cast<uint32_t>(*flags)));
}

void Update(HostCall& call) {
    if (const auto t = LiveWindow(call.native)) call.ReturnBoolean(t->windows.Update(t->window));
}

// The window is placed at every step and drawn at once; the script waits for the whole flight.
void Fly(const Target& t, Point from, Point to, int delayMs) {
    if (from == to) return;
    const Rect r = t.windows.PlacedRect(t.window);
    t.windows.SetPosition(t.window, {from.x, from.y, r.width, r.height}, kFlyFlags);
    t.windows.Update(t.window);
    for (const Point p : FlyPath(from, to)) {
        t.windows.Pause(static_cast<uint32_t>(delayMs));
        if (!t.windows.IsWindow(t.window)) return;
        t.windows.SetPosition(t.window, {p.x, p.y, r.width, r.height}, kFlyFlags);
        t.windows.Update(t.window);
    }
}

// fly(corner, direction, show, delay): Integer corner, direction and delay, any value for show
// (ToBoolean); each absent or of another type takes its default.
void FlyIn(HostCall& call) {
    const auto t = LiveWindow(call.native);
    if (!t) return;
    const int corner = static_cast<int>(std::clamp<int64_t>(call.args.Integer(1).value_or(0), -1, 4));
    const int direction = static_cast<int>(std::clamp<int64_t>(call.args.Integer(2).value_or(0), -1, 3));
    const bool show = !call.args.Has(3) || script::ToBoolean(call.args[3]);
    int64_t delay = call.args.Integer(4).value_or(kFlyDefaultDelayMs);
    if (delay < 0) delay = kFlyDefaultDelayMs;
    const Rect r = t->windows.PlacedRect(t->window);
    const auto [from, to] = FlyEnds(corner, direction, show, t->windows.WorkArea(), {r.width, r.height});
    Fly(*t, from, to, static_cast<int>(std::min<int64_t>(delay, 60000)));
}

void Fly2(HostCall& call) {
    const auto t = LiveWindow(call.native);
    const std::optional<std::array<int64_t, 5>> a = call.args.RequiredIntegers<5>();
    if (!t || !a) return;
    const auto at = [](int64_t v) { return static_cast<int>(std::clamp<int64_t>(v, -1000000, 1000000)); };
    const int64_t delay = (*a)[4] < 0 ? kFlyDefaultDelayMs : std::min<int64_t>((*a)[4], 60000);
    Fly(*t, {at((*a)[0]), at((*a)[1])}, {at((*a)[2]), at((*a)[3])}, static_cast<int>(delay));
}

// ---- Methods that need no window

// find(className, title): each only when a String.
void Find(HostCall& call) {
    const WindowHandle found = platform::Windows().Find(AnsiArg(call.args, 1), AnsiArg(call.args, 2));
    call.Return(WindowValue(call.interp, call.cls, found));
}

void GetWindowsByName(HostCall& call) {
    const std::string wanted =
        call.args.Has(1) ? Lower(platform::Utf16ToAnsi(script::ToText(call.interp, call.args[1]))) : std::string();
    WindowSystem& ws = platform::Windows();
    std::vector<WindowHandle> found;
    for (const WindowHandle window : ws.TopLevelWindows())
        if (wanted.empty() || Lower(ws.Title(window)) == wanted) found.push_back(window);
    call.Return(WindowArray(call.interp, call.cls, found));
}

void Create(HostCall& call) {
    call.Return(Value::Null());
    const std::optional<std::string> className = AnsiArg(call.args, 1);
    if (!className) return;
    const WindowHandle made = platform::Windows().CreateChild(*className, kStyleChild | kStyleVisible,
                                                              {0, 0, kCreatedSize.width, kCreatedSize.height},
                                                              ProjectorOf(call.interp).MainWindow());
    if (made) call.Return(WindowValue(call.interp, call.cls, made));
}

// ---- Properties

#define WINDOW_OR_RETURN(access)                                 \
    const std::optional<Target> t = LiveWindow((access).native); \
    if (!t) return

void Caption(HostProperty& p) {
    WINDOW_OR_RETURN(p);
    if (!p.isSet) return p.ReturnAnsi(t->windows.Title(t->window));
    t->windows.SetTitle(t->window, platform::Utf16ToAnsi(script::ToText(p.interp, p.Incoming())));
}

enum class Edge { Left, Top, Width, Height };
// Writing left or top moves that edge alone; writing width or height moves the right or bottom one.
void EdgeProperty(HostProperty& p, Edge edge) {
    WINDOW_OR_RETURN(p);
    Rect r = t->windows.PlacedRect(t->window);
    if (!p.isSet) {
        const int value = edge == Edge::Left    ? r.left
                          : edge == Edge::Top   ? r.top
                          : edge == Edge::Width ? r.width
                                                : r.height;
        return p.Return(Value::Integer(value));
    }
    if (!p.Incoming().Is(Tag::Integer)) return;
    const int v = static_cast<int>(std::clamp<int64_t>(p.Incoming().AsInteger(), -1000000000, 1000000000));
    switch (edge) {
        case Edge::Left: r.width += r.left - v, r.left = v; break;
        case Edge::Top: r.height += r.top - v, r.top = v; break;
        case Edge::Width: r.width = v; break;
        case Edge::Height: r.height = v; break;
    }
    t->windows.SetPosition(t->window, r, kEdgeWriteFlags);
}
void Left(HostProperty& p) { EdgeProperty(p, Edge::Left); }
void Top(HostProperty& p) { EdgeProperty(p, Edge::Top); }
void Width(HostProperty& p) { EdgeProperty(p, Edge::Width); }
void Height(HostProperty& p) { EdgeProperty(p, Edge::Height); }

void Parent(HostProperty& p) {
    WINDOW_OR_RETURN(p);
    if (!p.isSet) return p.Return(WindowValue(p.interp, p.cls, t->windows.Parent(t->window)));
    if (const WindowRecord* other = SharedRecordOf<WindowRecord>(InstanceData(p.interp, p.Incoming(), "Window")))
        t->windows.SetParent(t->window, other->Window());
}

void Handle(HostProperty& p) {
    const WindowRecord* record = SharedRecordOf<WindowRecord>(p.native);
    if (!p.isSet && record) p.Return(Value::Integer(static_cast<int64_t>(record->Window())));
}

void ClassName(HostProperty& p) {
    WINDOW_OR_RETURN(p);
    if (!p.isSet) p.ReturnAnsi(t->windows.ClassName(t->window).substr(0, kClassNameLimit));
}

void Visible(HostProperty& p) {
    WINDOW_OR_RETURN(p);
    if (!p.isSet) p.Return(Value::Boolean(t->windows.IsVisible(t->window)));
}

void Enable(HostProperty& p) {
    WINDOW_OR_RETURN(p);
    if (!p.isSet) return p.Return(Value::Boolean(t->windows.IsEnabled(t->window)));
    t->windows.Enable(t->window, script::ToBoolean(p.Incoming()));
}

void WindowState(HostProperty& p) {
    WINDOW_OR_RETURN(p);
    if (!p.isSet) {
        const char* state = t->windows.IsMinimized(t->window)   ? "minimized"
                            : t->windows.IsMaximized(t->window) ? "maximized"
                                                                : "normal";
        return p.ReturnAnsi(state);
    }
    const Value& v = p.Incoming();
    if (v.Is(Tag::Integer)) return t->windows.Show(t->window, static_cast<int>(v.AsInteger()));
    if (!v.Is(Tag::String)) return;
    const std::string text = Lower(platform::Utf16ToAnsi(script::ToText(p.interp, v)));
    if (text == "normal") t->windows.Show(t->window, kNormal);
    else if (text == "maximized") t->windows.Show(t->window, kMaximized);
    else if (text == "minimized") t->windows.Show(t->window, kMinimize);
}

void ClientRect(HostProperty& p) {
    WINDOW_OR_RETURN(p);
    if (p.isSet) return;
    const platform::Size client = t->windows.ClientSize(t->window);
    script::ObjectRecord* object = script::NewObject(p.interp);
    const std::pair<const char*, int> fields[] = {
        {"left", 0}, {"top", 0}, {"width", client.width}, {"height", client.height}};
    for (const auto& [name, value] : fields)
        script::SetOwn(p.interp, object, script::Intern(p.interp, name), Value::Integer(value));
    p.Return(Value::Object(object));
}

#undef WINDOW_OR_RETURN

// ---- The class

// new Window(handle) and Window(handle): a value only for a handle that is a window now.
void Construct(script::Interpreter& interp, script::ClassRecord& cls, Value* args, Value* result) {
    const std::optional<int64_t> handle = script::Args(args).Integer(1);
    if (!handle || *handle == 0 || !platform::Windows().IsWindow(static_cast<WindowHandle>(*handle))) {
        *result = Value::Null();
        return;
    }
    *result = WindowValue(interp, cls, static_cast<WindowHandle>(*handle));
}

void Finalize(script::ClassRecord& cls, void* native) { ClassStateAs<WindowClassState>(cls)->table.FreeHolder(native); }

EventHandlers* Events(script::ClassRecord&, void* native) {
    WindowRecord* record = SharedRecordOf<WindowRecord>(native);
    return record ? &record->handlers : nullptr;
}

void MarkSelf(script::Interpreter& interp, script::ClassRecord&, void* native) {
    if (const WindowRecord* record = SharedRecordOf<WindowRecord>(native)) script::MarkValue(interp, record->self);
}

// A value for handle 0 (what find gives when nothing matches) still tells its handle; a window that
// is gone answers nothing.
bool AnswersProperties(script::ClassRecord&, void* native, const HostMember& member) {
    if (LiveWindow(native)) return true;
    const WindowRecord* record = SharedRecordOf<WindowRecord>(native);
    return record && record->Window() == 0 && member.name == "handle";
}

std::unique_ptr<HostClassState> MakeState(script::Interpreter& interp) {
    return std::make_unique<WindowClassState>(interp);
}

constexpr HostMember kMembers[] = {
    Method("show", Failure::Undefined, &Show),
    Method("hide", Failure::Undefined, &Hide),
    Method("close", Failure::Undefined, &Close),
    Method("bringToTop", Failure::Undefined, &BringToTop),
    Method("center", Failure::Undefined, &Center),
    Method("getChildren", Failure::Undefined, &GetChildren),
    Method("find", Failure::Undefined, &Find),
    Method("getWindowsByName", Failure::Undefined, &GetWindowsByName),
    Method("create", Failure::Undefined, &Create),
    Method("modifyStyle", Failure::Undefined, &ModifyStyle),
    Method("modifyStyleEx", Failure::Undefined, &ModifyStyleEx),
    Method("move", Failure::Undefined, &MoveEdges),
    Method("animate", Failure::Undefined, &Animate),
    Method("update", Failure::Undefined, &Update),
    Method("fly", Failure::Undefined, &FlyIn),
    Method("fly2", Failure::Undefined, &Fly2),
    PropertyMember("caption", &Caption),
    PropertyMember("left", &Left),
    PropertyMember("top", &Top),
    PropertyMember("width", &Width),
    PropertyMember("height", &Height),
    PropertyMember("parent", &Parent),
    PropertyMember("handle", &Handle),
    PropertyMember("className", &ClassName),
    PropertyMember("visible", &Visible),
    PropertyMember("enable", &Enable),
    PropertyMember("windowState", &WindowState),
    PropertyMember("clientRect", &ClientRect),
    Event("onQueryClose", kOnQueryClose),
    Event("onClose", kOnClose),
    Event("onEnter", kOnEnter),
    Event("onLeave", kOnLeave),
    Event("onHover", kOnHover),
    Event("onSize", kOnSize),
    Event("onMove", kOnMove),
    Event("onExitSizeMove", kOnExitSizeMove),
    Event("onEnterSizeMove", kOnEnterSizeMove),
    Event("onMoving", kOnMoving),
    Event("onSizing", kOnSizing),
    Event("onDeactivate", kOnDeactivate),
    Event("onActivate", kOnActivate),
    Event("onMessage", kOnMessage),
};

constexpr HostConstant kConstants[] = {
    {"$AW_HOR_POSITIVE", 0x1}, {"$AW_HOR_NEGATIVE", 0x2}, {"$AW_VER_POSITIVE", 0x4},
    {"$AW_VER_NEGATIVE", 0x8}, {"$AW_CENTER", 0x10},      {"$AW_HIDE", 0x10000},
    {"$AW_ACTIVATE", 0x20000}, {"$AW_SLIDE", 0x40000},    {"$AW_BLEND", 0x80000},
};

}  // namespace

void RegisterWindowClass(script::Interpreter& interp) {
    HostClassSpec spec;
    spec.name = "Window";
    spec.members = kMembers;
    spec.constants = kConstants;
    spec.construct = &Construct;
    spec.finalizeData = &Finalize;
    spec.markData = &MarkSelf;
    spec.events = &Events;
    spec.emptyEvent = EmptyEvent::Null;
    spec.answersProperties = &AnswersProperties;
    spec.makeState = &MakeState;
    RegisterHostClass(interp, spec);
}

}  // namespace velmo::host
