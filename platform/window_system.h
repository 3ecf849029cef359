#pragma once
// Any window of the system by its handle: the projector's own windows and foreign ones alike, as
// the scripts' Window objects reach them. Handles are the system's (0 is no window); style bits,
// show commands, position flags and message numbers are the system's numbers on every target.
// The Win32 user interface answers with the real windows; the headless one with a model of the
// same desktop (platform/common/model_window_system.h) that records what scripts changed.
//
// Subclassing puts one shared procedure in front of a window's own: every message reaches the
// hook first, which may answer it; otherwise it goes on to the procedure that was there before.

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "platform/window.h"

namespace velmo::platform {

using WindowHandle = uintptr_t;

// Window messages the hooks and the model know by number.
enum : uint32_t {
    kMsgDestroy = 0x0002,
    kMsgMove = 0x0003,
    kMsgSize = 0x0005,
    kMsgClose = 0x0010,
    kMsgActivateApp = 0x001C,
    kMsgContextMenu = 0x007B,
    kMsgNcDestroy = 0x0082,
    kMsgTimer = 0x0113,
    kMsgMouseMove = 0x0200,
    kMsgRightButtonDown = 0x0204,
    kMsgSizing = 0x0214,
    kMsgMoving = 0x0216,
    kMsgEnterSizeMove = 0x0231,
    kMsgExitSizeMove = 0x0232,
};

// The rectangle a sizing or moving message points at, by its edges, laid out as the system's.
struct WindowEdges {
    int32_t left = 0, top = 0, right = 0, bottom = 0;
};
// The rectangle behind such a message's lParam (null for 0).
inline WindowEdges* EdgesOf(intptr_t lParam) { return reinterpret_cast<WindowEdges*>(lParam); }

struct WindowMessage {
    WindowHandle window = 0;
    uint32_t message = 0;
    uintptr_t wParam = 0;
    intptr_t lParam = 0;
};
// A subclass hook: none passes the message on to the previous procedure; a value answers it and
// the previous procedure never sees it. The hook may destroy the window or un-subclass it.
using MessageHook = std::function<std::optional<intptr_t>(const WindowMessage&)>;

class WindowSystem {
public:
    virtual ~WindowSystem() = default;

    virtual bool IsWindow(WindowHandle window) const = 0;
    // Text in the system's 8-bit code page.
    virtual std::string Title(WindowHandle window) const = 0;
    virtual void SetTitle(WindowHandle window, const std::string& title) = 0;
    virtual std::string ClassName(WindowHandle window) const = 0;

    // The window rectangle on the screen, and where it lies as its parent places it: in the
    // parent's client coordinates for a child window, on the screen for the others.
    virtual Rect ScreenRect(WindowHandle window) const = 0;
    virtual Rect PlacedRect(WindowHandle window) const = 0;
    virtual Size ClientSize(WindowHandle window) const = 0;
    // Moves and sizes in placed coordinates, repainting when `repaint`.
    virtual void Move(WindowHandle window, const Rect& placed, bool repaint) = 0;
    // The system's position call without a z-order target: `flags` are its SWP_* bits.
    virtual void SetPosition(WindowHandle window, const Rect& placed, uint32_t flags) = 0;
    // The screen's area without the task bar.
    virtual Rect WorkArea() const = 0;

    // 0 for none. A window given no parent becomes a top-level one.
    virtual WindowHandle Parent(WindowHandle window) const = 0;
    virtual void SetParent(WindowHandle window, WindowHandle parent) = 0;

    virtual bool IsVisible(WindowHandle window) const = 0;
    virtual bool IsMinimized(WindowHandle window) const = 0;
    virtual bool IsMaximized(WindowHandle window) const = 0;
    // `command` is the system's SW_* number.
    virtual void Show(WindowHandle window, int command) = 0;
    virtual bool IsEnabled(WindowHandle window) const = 0;
    virtual void Enable(WindowHandle window, bool enable) = 0;

    virtual uint32_t Style(WindowHandle window) const = 0;
    virtual uint32_t ExtendedStyle(WindowHandle window) const = 0;
    virtual void SetStyle(WindowHandle window, uint32_t style) = 0;
    virtual void SetExtendedStyle(WindowHandle window, uint32_t style) = 0;

    // Makes it the foreground window.
    virtual void BringToTop(WindowHandle window) = 0;
    // Repaints now, children included.
    virtual bool Update(WindowHandle window) = 0;
    // The system's window animation (`flags` are its AW_* bits); false when the system has none or
    // it failed.
    virtual bool Animate(WindowHandle window, uint32_t durationMs, uint32_t flags) = 0;
    // Waits between the steps of an animation done here.
    virtual void Pause(uint32_t ms) = 0;

    // A visible child window of a class the system knows, with an empty title; 0 when the class is
    // unknown or the system refuses the window (as it refuses a child style without a parent).
    virtual WindowHandle CreateChild(const std::string& className, uint32_t style, const Rect& placed,
                                     WindowHandle parent) = 0;
    virtual void Destroy(WindowHandle window) = 0;
    // Top-level windows in the system's order (from the top), and every descendant of a window,
    // each followed by its own descendants.
    virtual std::vector<WindowHandle> TopLevelWindows() const = 0;
    virtual std::vector<WindowHandle> Descendants(WindowHandle window) const = 0;
    // The first top-level window of that class and title; none given matches any. 0 for none.
    virtual WindowHandle Find(const std::optional<std::string>& className,
                              const std::optional<std::string>& title) const = 0;

    // The system's send call; 0 for a window that does not exist.
    virtual intptr_t Send(WindowHandle window, uint32_t message, uintptr_t wParam, intptr_t lParam) = 0;
    // Sent at once to a window of this thread, not waited for otherwise.
    virtual bool SendNotify(WindowHandle window, uint32_t message, uintptr_t wParam, intptr_t lParam) = 0;
    virtual bool Post(WindowHandle window, uint32_t message, uintptr_t wParam, intptr_t lParam) = 0;

    // The pointer on the screen, the mouse capture and window timers, for hover tracking.
    virtual std::optional<Rect> CursorSpot() const = 0;  // a 1 x 1 rectangle at the pointer
    virtual WindowHandle Capture() const = 0;
    virtual void SetCapture(WindowHandle window) = 0;
    virtual void ReleaseCapture() = 0;
    virtual bool StartTimer(WindowHandle window, uintptr_t id, uint32_t periodMs) = 0;
    virtual void StopTimer(WindowHandle window, uintptr_t id) = 0;

    // Puts the shared procedure in front of the window's own; false when the window does not
    // exist or is subclassed here already. Un-subclassing puts the previous procedure back (a
    // window subclassed by someone else since keeps the shared procedure in its chain, which then
    // only passes messages on); a destroyed window is un-subclassed on its way out.
    virtual bool Subclass(WindowHandle window, MessageHook hook) = 0;
    virtual void Unsubclass(WindowHandle window) = 0;
    virtual bool IsSubclassed(WindowHandle window) const = 0;

    // A line for each change made through this interface; the real system keeps no record.
    using Sink = std::function<void(const std::string&)>;
    virtual void SetSink(Sink sink) = 0;
};

// The window system of this process: the real one of the Win32 user interface, the model of the
// headless one. A test may put another in its place (null gives the process's own back).
WindowSystem& Windows();
void UseWindowSystem(WindowSystem* windows);

}  // namespace velmo::platform
