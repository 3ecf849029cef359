// The shared window procedure of Window values: it turns a subclassed window's messages into the
// script's events and then lets the window's own procedure have them. Handlers can drop the last
// value of the record, destroy the window or un-subclass it: the record is looked up again after
// every handler, and a message whose record went is passed on.
#include <array>

#include "host/classes/window_record.h"
#include "host/framework/projector.h"
#include "script/runtime/convert.h"
#include "script/runtime/interpreter_api.h"
#include "script/runtime/objects.h"
#include "script/runtime/pinned.h"
#include "script/runtime/properties.h"

namespace velmo::host {

namespace {

using platform::WindowHandle;
using platform::WindowMessage;
using script::Tag;
using script::Value;

// The timer of hover events and the private messages that switch tracking off and on.
constexpr uintptr_t kHoverTimer = 100;
constexpr uint32_t kHoverPeriodMs = 500;
constexpr uint32_t kTrackingOff = 0x8291, kTrackingOn = 0x8292;
// What the main window is posted after its close was let through: the frame then closes itself.
constexpr uint32_t kFrameCloseMessage = 0x8064;

int64_t LowWord(intptr_t value) { return static_cast<int64_t>(static_cast<uintptr_t>(value) & 0xFFFF); }
int64_t HighWord(intptr_t value) { return static_cast<int64_t>((static_cast<uintptr_t>(value) >> 16) & 0xFFFF); }

bool HasHandler(const WindowClassState& state, WindowHandle window, int event) {
    const WindowRecord* record = state.Find(window);
    return record && record->handlers.IsSet(static_cast<size_t>(event));
}

// Runs one handler with `this` = the record's newest value; nothing happens without one.
EventOutcome Fire(WindowClassState& state, WindowHandle window, int event, std::initializer_list<Value> args = {}) {
    WindowRecord* record = state.Find(window);
    if (!record || !record->handlers.IsSet(static_cast<size_t>(event))) return {};
    return FireEvent(state.interp, record->handlers, static_cast<size_t>(event), record->self, args);
}

bool PointerInside(const WindowRecord& record) {
    const std::optional<platform::Rect> spot = record.windows.CursorSpot();
    return spot && record.windows.ScreenRect(record.Window()).Contains(spot->left, spot->top);
}

void LeaveHover(WindowClassState& state, WindowRecord& record) {
    const WindowHandle window = record.Window();
    record.windows.ReleaseCapture();
    record.windows.StopTimer(window, kHoverTimer);
    Fire(state, window, kOnLeave);
    if (WindowRecord* still = state.Find(window)) still->hovering = false;
}

void OnMouseMove(WindowClassState& state, WindowRecord& record) {
    const WindowHandle window = record.Window();
    if (!record.tracking || !(HasHandler(state, window, kOnEnter) || HasHandler(state, window, kOnLeave) ||
                              HasHandler(state, window, kOnHover)))
        return;
    if (!PointerInside(record)) return LeaveHover(state, record);
    if (record.windows.Capture() == window) return;
    record.windows.SetCapture(window);
    if (record.hovering) return;
    record.windows.StartTimer(window, kHoverTimer, kHoverPeriodMs);
    record.hovering = true;
    Fire(state, window, kOnEnter);
}

// The handler gets the proposed rectangle as an object and may change its edges: each edge still
// an Integer afterwards goes back into the rectangle.
void OnSizingOrMoving(WindowClassState& state, const WindowMessage& m, int event) {
    platform::WindowEdges* edges = platform::EdgesOf(m.lParam);
    if (!edges || !HasHandler(state, m.window, event)) return;
    script::Interpreter& interp = state.interp;
    const std::array<uint32_t, 4> names = {script::Intern(interp, "left"), script::Intern(interp, "top"),
                                           script::Intern(interp, "right"), script::Intern(interp, "bottom")};
    const std::array<int32_t*, 4> fields = {&edges->left, &edges->top, &edges->right, &edges->bottom};
    script::ObjectRecord* object = script::NewObject(interp);
    const Value rect = Value::Object(object);
    for (size_t i = 0; i < names.size(); ++i) script::SetOwn(interp, object, names[i], Value::Integer(*fields[i]));
    const script::Pinned kept(interp, rect);  // read back below, whatever the handler did with it
    Fire(state, m.window, event, {Value::Integer(static_cast<int64_t>(m.wParam)), rect});
    for (size_t i = 0; i < names.size(); ++i) {
        Value edge;
        if (script::GetOwnOrInherited(interp, object, names[i], edge) && edge.Is(Tag::Integer))
            *fields[i] = static_cast<int32_t>(edge.AsInteger());
    }
}

// The main window's close, once the scripts let it through, is finished by the frame itself.
std::optional<intptr_t> OnClose(WindowClassState& state, WindowRecord& record) {
    const WindowHandle window = record.Window();
    platform::WindowSystem& windows = record.windows;
    if (HasHandler(state, window, kOnQueryClose)) {
        const EventOutcome asked = Fire(state, window, kOnQueryClose);
        if (!script::ToBoolean(asked.resultTemp)) return 0;
    }
    // The close goes ahead: onClose hears of it whether or not it was asked first.
    Fire(state, window, kOnClose);
    if (window == 0 || window != ProjectorOf(state.interp).MainWindow()) return std::nullopt;
    if (WindowRecord* still = state.Find(window); still && still->subclassed) {
        still->windows.Unsubclass(window);
        still->subclassed = false;
    }
    windows.Post(window, kFrameCloseMessage, 0, 0);
    return 0;
}

}  // namespace

WindowRecord::WindowRecord(uint64_t handle, WindowClassState& state)
    : SharedRecord(handle), windows(platform::Windows()) {
    WindowClassState* owner = &state;
    const WindowHandle window = Window();
    subclassed = window != 0 &&
                 windows.Subclass(window, [owner](const WindowMessage& m) { return DispatchWindowMessage(*owner, m); });
}

WindowRecord::~WindowRecord() {
    if (subclassed && windows.IsWindow(Window())) windows.Unsubclass(Window());
}

Value NewWindowValue(script::Interpreter& interp, script::ClassRecord& cls, WindowHandle window) {
    WindowClassState& state = *ClassStateAs<WindowClassState>(cls);
    SharedHolder* holder = state.table.NewHolder(static_cast<uint64_t>(window), [&state](uint64_t handle) {
        return std::make_unique<WindowRecord>(handle, state);
    });
    const Value value = script::NewHostValue(interp, &cls, holder);
    static_cast<WindowRecord*>(holder->record)->self = value;
    return value;
}

std::optional<intptr_t> DispatchWindowMessage(WindowClassState& state, const WindowMessage& m) {
    WindowRecord* record = state.Find(m.window);
    if (!record) return std::nullopt;  // nothing of ours to fire: the window's own procedure answers
    switch (m.message) {
        case platform::kMsgMove:
            Fire(state, m.window, kOnMove, {Value::Integer(LowWord(m.lParam)), Value::Integer(HighWord(m.lParam))});
            break;
        case platform::kMsgSize:
            Fire(state, m.window, kOnSize,
                 {Value::Integer(static_cast<int64_t>(m.wParam)), Value::Integer(LowWord(m.lParam)),
                  Value::Integer(HighWord(m.lParam))});
            break;
        case platform::kMsgClose: return OnClose(state, *record);
        case platform::kMsgActivateApp: Fire(state, m.window, m.wParam ? kOnActivate : kOnDeactivate); break;
        case platform::kMsgSizing: OnSizingOrMoving(state, m, kOnSizing); break;
        case platform::kMsgMoving: OnSizingOrMoving(state, m, kOnMoving); break;
        case platform::kMsgEnterSizeMove: Fire(state, m.window, kOnEnterSizeMove); break;
        case platform::kMsgExitSizeMove: Fire(state, m.window, kOnExitSizeMove); break;
        case platform::kMsgMouseMove: OnMouseMove(state, *record); break;
        case platform::kMsgTimer:
            if (m.wParam != kHoverTimer) break;
            if (!PointerInside(*record)) LeaveHover(state, *record);
            else Fire(state, m.window, kOnHover);
            break;
        case platform::kMsgRightButtonDown:
        case platform::kMsgContextMenu:
            // The movie's own context menu stays shut when the script shows its own.
            if (!HasHandler(state, m.window, kOnContextMenu)) break;
            Fire(state, m.window, kOnContextMenu);
            return 0;
        case kTrackingOff: record->tracking = false; break;
        case kTrackingOn: record->tracking = true; break;
        default:
            Fire(state, m.window, kOnMessage,
                 {Value::Integer(m.message), Value::Integer(static_cast<int64_t>(m.wParam)),
                  Value::Integer(static_cast<int64_t>(m.lParam))});
            break;
    }
    return std::nullopt;
}

}  // namespace velmo::host
