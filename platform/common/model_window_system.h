#pragma once
// The headless desktop's windows: handles, classes, titles, rectangles, styles, parents, z-order,
// visibility, kept in memory with no user. The model frame window and its movie window live here
// too, so scripts reach them by handle as they would the real ones. Messages go to a window's
// subclass hook first and then to its own procedure (the default one closes by destroying);
// moving or sizing a window sends it the move and size messages, as the system does. Posted
// messages wait for the desktop's next pass. Window timers are only recorded: a test sends the
// timer message itself. Nothing here sleeps.
//
// Every change made through the WindowSystem interface is reported to the sink as one line
// ("move 0x10020 to 10,20 300x200"); what the desktop's own frame does is the frame's to report.

#include <algorithm>
#include <cstdint>
#include <deque>
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "platform/window_system.h"

namespace velmo::platform {

// The height of the task bar along the bottom of the model screen: both the model desktop and its
// windows leave it out of the work area.
inline constexpr int kModelTaskBarHeight = 40;

// Style bits the model looks at.
inline constexpr uint32_t kStyleChild = 0x40000000, kStyleVisible = 0x10000000, kStyleDisabled = 0x08000000,
                          kStylePopup = 0x80000000, kStyleClipSiblings = 0x04000000, kStyleCaption = 0x00C00000,
                          kStyleThickFrame = 0x00040000, kStyleOverlappedWindow = 0x00CF0000;
inline constexpr uint32_t kStyleExToolWindow = 0x80;

class ModelWindowSystem final : public WindowSystem {
public:
    // A window's own procedure: what the window does with a message nobody answered before it.
    using Procedure = std::function<intptr_t(const WindowMessage&)>;
    struct Window {
        WindowHandle handle = 0;
        std::string className, title;
        Rect rect;                              // on the screen; a maximized window covers the screen instead
        uint32_t style = 0, extendedStyle = 0;  // the visible bit is `visible`
        WindowHandle parent = 0;
        std::vector<WindowHandle> children;  // in creation order
        bool visible = false, minimized = false, maximized = false;
        bool destroying = false;
        Procedure procedure;  // none: the default procedure
        MessageHook hook;
        std::set<uintptr_t> timers;
    };

    explicit ModelWindowSystem(Size screen = {1024, 768}) : screen_(screen) {}
    // The model the headless desktop and the scripts' Window objects share in this process.
    static ModelWindowSystem& Shared();

    void SetScreen(Size screen) { screen_ = screen; }
    Size Screen() const { return screen_; }
    // A window the desktop itself makes, with no line to the sink (its frame reports its own).
    WindowHandle Register(const std::string& className, uint32_t style, const Rect& screenRect, WindowHandle parent,
                          Procedure procedure);
    // The record of a window, for the desktop that made it; null once it is destroyed.
    Window* Entry(WindowHandle window);
    const Window* Entry(WindowHandle window) const;
    // Moves a window of the desktop's own, its children with it, without messages or a line.
    void Relocate(WindowHandle window, const Rect& screen) {
        if (Window* w = Entry(window)) Place(*w, screen, false);
    }
    // Destroys a window of the desktop's own without a line.
    void Unregister(WindowHandle window);
    // Where the pointer is; none: nowhere over the screen.
    void SetCursor(std::optional<Rect> spot) { cursor_ = spot; }
    // Delivers the messages posted so far (not those posted meanwhile); false when there were none.
    bool DeliverPosted();
    bool HasPosted() const { return !posted_.empty(); }
    WindowHandle Foreground() const { return foreground_; }
    // The client area's offset inside the window rectangle for a window of these styles.
    static Size ClientOffsetFor(uint32_t style, uint32_t extendedStyle);
    static int BorderFor(uint32_t style);

    bool IsWindow(WindowHandle window) const override { return Entry(window) != nullptr; }
    std::string Title(WindowHandle window) const override;
    void SetTitle(WindowHandle window, const std::string& title) override;
    std::string ClassName(WindowHandle window) const override;
    Rect ScreenRect(WindowHandle window) const override;
    Rect PlacedRect(WindowHandle window) const override;
    Size ClientSize(WindowHandle window) const override;
    void Move(WindowHandle window, const Rect& placed, bool repaint) override;
    void SetPosition(WindowHandle window, const Rect& placed, uint32_t flags) override;
    // The screen above the model's task bar, as the model desktop has it.
    Rect WorkArea() const override { return {0, 0, screen_.width, std::max(0, screen_.height - kModelTaskBarHeight)}; }
    WindowHandle Parent(WindowHandle window) const override;
    void SetParent(WindowHandle window, WindowHandle parent) override;
    bool IsVisible(WindowHandle window) const override;
    bool IsMinimized(WindowHandle window) const override;
    bool IsMaximized(WindowHandle window) const override;
    void Show(WindowHandle window, int command) override;
    bool IsEnabled(WindowHandle window) const override;
    void Enable(WindowHandle window, bool enable) override;
    uint32_t Style(WindowHandle window) const override;
    uint32_t ExtendedStyle(WindowHandle window) const override;
    void SetStyle(WindowHandle window, uint32_t style) override;
    void SetExtendedStyle(WindowHandle window, uint32_t style) override;
    void BringToTop(WindowHandle window) override;
    bool Update(WindowHandle window) override { return IsWindow(window); }
    bool Animate(WindowHandle window, uint32_t durationMs, uint32_t flags) override;
    void Pause(uint32_t) override {}
    WindowHandle CreateChild(const std::string& className, uint32_t style, const Rect& placed,
                             WindowHandle parent) override;
    void Destroy(WindowHandle window) override;
    std::vector<WindowHandle> TopLevelWindows() const override { return zOrder_; }
    std::vector<WindowHandle> Descendants(WindowHandle window) const override;
    WindowHandle Find(const std::optional<std::string>& className,
                      const std::optional<std::string>& title) const override;
    intptr_t Send(WindowHandle window, uint32_t message, uintptr_t wParam, intptr_t lParam) override;
    bool SendNotify(WindowHandle window, uint32_t message, uintptr_t wParam, intptr_t lParam) override;
    bool Post(WindowHandle window, uint32_t message, uintptr_t wParam, intptr_t lParam) override;
    std::optional<Rect> CursorSpot() const override { return cursor_; }
    WindowHandle Capture() const override { return capture_; }
    void SetCapture(WindowHandle window) override;
    void ReleaseCapture() override { capture_ = 0; }
    bool StartTimer(WindowHandle window, uintptr_t id, uint32_t periodMs) override;
    void StopTimer(WindowHandle window, uintptr_t id) override;
    bool Subclass(WindowHandle window, MessageHook hook) override;
    void Unsubclass(WindowHandle window) override;
    bool IsSubclassed(WindowHandle window) const override;
    void SetSink(Sink sink) override { sink_ = std::move(sink); }

private:
    void Note(const std::string& line) const;
    void Place(Window& w, const Rect& screen, bool sendMessages);
    Rect ParentClientOrigin(const Window& w) const;
    void Link(Window& w, WindowHandle parent);
    void Unlink(Window& w);
    void DestroyTree(WindowHandle window);

    Size screen_;
    WindowHandle next_ = 0x10020;
    std::map<WindowHandle, std::unique_ptr<Window>> windows_;
    std::vector<WindowHandle> zOrder_;  // top-level windows, the topmost first
    std::deque<WindowMessage> posted_;
    std::optional<Rect> cursor_;
    WindowHandle capture_ = 0, foreground_ = 0;
    Sink sink_;
};

// "0x10020": how the model's lines name a window.
std::string WindowName(WindowHandle window);

}  // namespace velmo::platform
