#pragma once
// What every Window value of one window handle shares: the record with its 16 event slots, the
// hover-tracking state and `this` of its events, kept in the class's table of shared records.
// The first value for a handle subclasses the window; the last one to go puts its procedure back.

#include <cstdint>
#include <optional>

#include "host/framework/event_handlers.h"
#include "host/framework/host_class.h"
#include "host/framework/shared_records.h"
#include "platform/window_system.h"
#include "script/runtime/records.h"
#include "script/runtime/value.h"

namespace velmo::host {

// Event slots by number; slot 6 belongs to the movie window's context menu and is set through
// another class, slot 15 is never used.
enum WindowEvent : int {
    kOnQueryClose = 0,
    kOnClose = 1,
    kOnEnter = 2,
    kOnLeave = 3,
    kOnHover = 4,
    kOnSize = 5,
    kOnContextMenu = 6,
    kOnMove = 7,
    kOnExitSizeMove = 8,
    kOnEnterSizeMove = 9,
    kOnMoving = 10,
    kOnSizing = 11,
    kOnDeactivate = 12,
    kOnActivate = 13,
    kOnMessage = 14,
    kWindowEventSlots = 16,
};

class WindowClassState;

class WindowRecord final : public SharedRecord {
public:
    WindowRecord(uint64_t handle, WindowClassState& state);
    // Puts the window's procedure back if the window is still there.
    ~WindowRecord() override;

    platform::WindowHandle Window() const { return static_cast<platform::WindowHandle>(Handle()); }
    platform::WindowSystem& windows;  // not owned: the process's, as it was when the record was made
    EventHandlers handlers{kWindowEventSlots};
    script::Value self = script::Value::Null();  // the newest value for this handle: `this` of events
    bool hovering = false;
    bool tracking = true;
    bool subclassed = false;
};

class WindowClassState final : public HostClassState {
public:
    explicit WindowClassState(script::Interpreter& interp) : interp(interp) {}
    // Records still held when the interpreter goes release their windows here, at exit.
    ~WindowClassState() override = default;

    WindowRecord* Find(platform::WindowHandle window) const {
        return static_cast<WindowRecord*>(table.Find(static_cast<uint64_t>(window)));
    }
    script::Interpreter& interp;
    SharedRecordTable table;
};

// A Window value for `window`, sharing the record of every other value for it (made, and the
// window subclassed, when there is none). No check is made that the handle is a window: a value
// for 0 stands for nothing and its members do nothing.
script::Value NewWindowValue(script::Interpreter& interp, script::ClassRecord& cls, platform::WindowHandle window);

// The shared procedure's work for one message to a subclassed window: none passes it on.
std::optional<intptr_t> DispatchWindowMessage(WindowClassState& state, const platform::WindowMessage& message);

}  // namespace velmo::host
