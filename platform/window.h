#pragma once
// The desktop the main frame lives on: its top-level window with the window's system menu and
// notification-area icon, and the loop that waits for what the user does. The frame's logic
// (shell/main_frame.h) decides everything from the settings; these interfaces only carry the
// decisions out, answer what the window looks like now, and report the user's actions. The Win32
// user interface does it with real windows; the headless one keeps the same state in memory on a
// screen of fixed size, so both answer the same questions and scripts see the same desktop.

#include <algorithm>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/property_sheet.h"

namespace velmo::platform {

struct Size {
    int width = 0, height = 0;
    bool operator==(const Size&) const = default;
};
struct Point {
    int x = 0, y = 0;
    bool operator==(const Point&) const = default;
};
// A rectangle by its top left corner and size; on the screen unless said otherwise.
struct Rect {
    int left = 0, top = 0, width = 0, height = 0;
    bool operator==(const Rect&) const = default;
    bool Contains(int x, int y) const { return x >= left && y >= top && x < left + width && y < top + height; }
};

// A picture of 32-bit pixels, rows from the top, each 0xAARRGGBB: blue in the lowest byte, as the
// system's device-independent bitmaps hold them.
struct PixelImage {
    Size size;
    std::vector<uint32_t> pixels;
    void Resize(Size s) {
        size = s;
        pixels.assign(static_cast<size_t>(std::max(s.width, 0)) * static_cast<size_t>(std::max(s.height, 0)), 0);
    }
    uint32_t& At(int x, int y) { return pixels[static_cast<size_t>(y) * static_cast<size_t>(size.width) + x]; }
    uint32_t At(int x, int y) const { return pixels[static_cast<size_t>(y) * static_cast<size_t>(size.width) + x]; }
};

// A window region: the union of its rectangles, in window coordinates (the window rectangle's top
// left corner is 0, 0).
using Region = std::vector<Rect>;

enum class ShowCommand { Hide, Show, ShowMaximized, Minimize, Restore };
enum class WindowState { Hidden, Visible, Minimized, Maximized };

// One item of a menu the frame builds: a separator (no id, no text), a command, or a sub-menu
// (`items` not empty).
struct MenuEntry {
    uint32_t id = 0;
    std::string text;
    std::vector<MenuEntry> items;
    bool isDefault = false;
    bool IsSeparator() const { return id == 0 && text.empty() && items.empty(); }
};

// A keyboard message as the input filter sees it.
enum class KeyEvent { Down, Up, Char, SystemDown, SystemUp, SystemChar };
enum : uint32_t { kModifierShift = 0x1, kModifierControl = 0x2, kModifierAlt = 0x4 };

// What the filter decides for one key message: the movie sees it or not, the window is asked to
// close, the movie is sent a context-menu request instead.
struct KeyDecision {
    bool pass = true;
    bool close = false;
    bool contextMenu = false;
    bool operator==(const KeyDecision&) const = default;
};

// A mouse message on its way to the movie, with what the filter needs to know about it.
enum class MouseEvent { LeftDown, LeftUp, LeftDoubleClick, Move, RightDown, RightUp, RightDoubleClick };
struct MouseInput {
    MouseEvent event = MouseEvent::Move;
    int screenX = 0, screenY = 0;  // the pointer on the screen
    bool leftButtonDown = false;   // the left button's state as the message arrived
    bool captureHeld = false;      // some window of the process holds the mouse capture
    bool inDragRegion = true;      // the point lies in the control's drag region, or it has none
};
// What the filter decides for one mouse message; the window carries out what concerns the
// capture, the context menu and the substitute click.
struct MouseDecision {
    bool pass = true;             // the movie sees the message
    bool releaseCapture = false;  // before passing it
    bool takeCapture = false;     // the control window captures the mouse
    bool giveBackCapture = false;
    bool contextMenu = false;       // the system menu is tracked at the pointer instead
    bool leftClickInstead = false;  // the movie gets a left click at the point; it sees the message
                                    // itself only if the control then holds the capture
    bool operator==(const MouseDecision&) const = default;
};

// What the frame window reports. Every call arrives on the user-interface thread, from inside
// Desktop::ProcessEvents.
class FrameWindowEvents {
public:
    virtual ~FrameWindowEvents() = default;
    // The close box, Alt+F4, the system menu's Close, or the private close message.
    virtual void OnCloseRequest() = 0;
    // The user's session ends: the process will not get the chance to close normally.
    virtual void OnEndSession() = 0;
    // The user starts or ends moving or sizing the window with the mouse.
    virtual void OnSizeMoveStart() = 0;
    virtual void OnSizeMoveEnd() = 0;
    // A command of the system menu, the context menu or the tray menu that the window does not
    // handle itself.
    virtual void OnCommand(uint32_t id) = 0;
    // A mouse message on the tray icon (the system's message number: 0x203 double click, 0x205
    // right button up, ...).
    virtual void OnTrayNotify(uint32_t mouseMessage) = 0;
    // A key message on its way to the movie.
    virtual KeyDecision OnKey(KeyEvent event, uint32_t key, uint32_t modifiersDown) = 0;
    // A mouse message on its way to the movie; a drag may move the window meanwhile.
    virtual MouseDecision OnMouse(const MouseInput& input) = 0;
    // The private messages that set the movie's scale mode and background colour, and the one that
    // asks for the window shape again.
    virtual void OnScaleModeMessage(int mode) = 0;
    virtual void OnBackgroundMessage(uint32_t rgb) = 0;
    virtual void OnShapeMessage() = 0;
    // The control window's message that switches the transparent window on or off.
    virtual void OnTransparentModeMessage(bool on) = 0;
    // The movie's part of the window needs painting (`dirty` in client coordinates, none for all
    // of it). True when the frame painted it itself (a transparent window's renderer); the window
    // paints it normally otherwise.
    virtual bool OnPaintControl(std::optional<Rect> dirty) = 0;
};

// The main frame's top-level window, owned by a hidden owner window that keeps it off the taskbar
// unless its extended style says otherwise.
class FrameWindow {
public:
    virtual ~FrameWindow() = default;

    // Style bits are the system's (WS_*, WS_EX_*) on every target.
    virtual void ChangeStyles(uint32_t remove, uint32_t add, uint32_t removeExtended, uint32_t addExtended) = 0;
    virtual uint32_t Style() const = 0;
    virtual uint32_t ExtendedStyle() const = 0;
    virtual void SetCaption(const std::string& caption) = 0;
    virtual std::string Caption() const = 0;

    virtual Rect WindowRect() const = 0;
    virtual Size ClientSize() const = 0;
    // Where the client area's top left corner lies inside the window rectangle.
    virtual Size ClientOffset() const = 0;
    virtual void Move(const Rect& rect, bool repaint) = 0;
    virtual void Show(ShowCommand command) = 0;
    virtual WindowState State() const = 0;
    // Above every window that is not topmost, or back among them; `show` also shows it.
    virtual void SetTopmost(bool topmost, bool show) = 0;
    virtual bool Topmost() const = 0;
    // None makes the window rectangular again.
    virtual void SetRegion(const std::optional<Region>& region) = 0;
    virtual std::optional<Region> GetRegion() const = 0;
    virtual void Update() = 0;

    // Layered windows: whether the system has them, and showing the part `source` of a picture
    // with per-pixel alpha (colours premultiplied) as the whole window, its top left corner at
    // `screenLeft`, `screenTop` and its size the part's. False when it could not.
    virtual bool LayeredAvailable() const = 0;
    virtual bool UpdateLayered(const PixelImage& image, const Rect& source, int screenLeft, int screenTop) = 0;
    // Shrinks the window to `screen` while the movie stays where it was on the screen: the control
    // window goes to `controlAt` (client coordinates, usually negative), keeping its size.
    virtual void PlaceForSprite(const Rect& screen, Size controlAt) = 0;
    // Back to a window that paints itself; what UpdateLayered showed goes.
    virtual void EndLayered() = 0;

    // The system menu after its own items: the additions replace the previous ones.
    virtual void SetSystemMenuAdditions(const std::vector<MenuEntry>& entries) = 0;
    virtual std::vector<MenuEntry> SystemMenuAdditions() const = 0;
    // Shows `entries` at the pointer and returns the command chosen, 0 for none.
    virtual uint32_t TrackMenu(const std::vector<MenuEntry>& entries) = 0;

    // The notification-area icon: an icon resource of the application and a tip of at most 127
    // characters (longer tips are cut). Showing it again replaces icon and tip.
    virtual bool ShowTrayIcon(int iconResource, const std::string& tip) = 0;
    virtual void RemoveTrayIcon() = 0;
    virtual bool TrayIconShown() const = 0;
    virtual std::string TrayTip() const = 0;
    // The icon from an ".ico" file instead of a resource; false when the file gives no icon (the
    // icon shown stays).
    virtual bool ShowTrayIconFile(const std::string& iconFile, const std::string& tip) = 0;
    // A balloon over the shown tray icon: `icon` is "info", "warning", "error" or empty for none;
    // false without a shown icon.
    virtual bool ShowTrayBalloon(const std::string& text, const std::string& title, const std::string& icon,
                                 uint32_t timeoutMs) = 0;

    // The window's small icon from an ".ico" file (16 x 16); false when it gives no icon.
    virtual bool SetSmallIcon(const std::string& iconFile) = 0;
    // The part of the movie window (client coordinates) with which the user drags the window when
    // the left button drags; none: the whole window.
    virtual void SetDragRegion(const std::optional<Region>& region) = 0;
    virtual std::optional<Region> DragRegion() const = 0;
    // The pointer shown over the movie window, loaded from a cursor file; an empty path goes back
    // to the arrow. False when the file gives no cursor (the current one stays).
    virtual bool SetMovieCursor(const std::string& cursorFile) = 0;
    // The mouse capture and the keyboard focus of the movie window.
    virtual bool MovieHasCapture() const = 0;
    virtual void SetMovieCapture(bool capture) = 0;
    virtual bool MovieHasFocus() const = 0;
    virtual void FocusMovie() = 0;

    // The About box: `text` under `title`, with an OK button; returns when the user closed it.
    virtual void ShowAbout(const std::string& title, const std::string& text) = 0;
    // Shows `sheet` modally over this window and leaves the values the user chose in it. Without a
    // user (the headless desktop; Win32 with VELMO_NO_DIALOGS) the values file named by
    // VELMO_OPTIONS_VALUES answers (platform/common/sheet_values.h).
    virtual SheetResult RunPropertySheet(SheetDescription& sheet) = 0;
    // Opens the help file in the system's viewer for its kind (compiled HTML help for ".chm",
    // the older help viewer otherwise); false when there is none or it refused.
    virtual bool OpenHelp(const std::string& path) = 0;

    // Asks for the close the user's close box gives, after the current event.
    virtual void PostCloseRequest() = 0;
    // The system's handle, for the control host and the Window objects of scripts; on the headless
    // desktop the handle of its model window (platform/common/model_window_system.h).
    virtual uintptr_t NativeHandle() const = 0;
    // The movie window's handle in the same terms: the control's own window, or the area that
    // stands for it; 0 when there is none.
    virtual uintptr_t MovieWindowHandle() const { return 0; }
};

class Desktop {
public:
    virtual ~Desktop() = default;
    // The primary screen's size in pixels.
    virtual Size ScreenSize() const = 0;
    // A hidden frame window with the icon of `iconSource` (an ".ico" file, or "resource N"), or
    // null when the system refuses one.
    virtual std::unique_ptr<FrameWindow> CreateFrameWindow(const std::string& iconSource,
                                                           FrameWindowEvents& events) = 0;
    // Handles the window events waiting now. With `wait` it first sleeps until one arrives or a
    // short while has passed, so that a caller can look at its own flags between calls. False
    // once no event can come any more (the headless desktop has no user: once its posted events
    // are handled).
    virtual bool ProcessEvents(bool wait) = 0;
    // Shows or hides the mouse pointer over every window of the process.
    virtual void SetPointerShown(bool shown) = 0;
    virtual bool PointerShown() const = 0;
    // Runs `event` from ProcessEvents, after the events already waiting: a user's action on the
    // headless desktop, or work handed to the user-interface thread.
    virtual void Post(std::function<void()> event) = 0;
    // The system's synchronous send-message call to any window by handle; 0 where there is no
    // such window.
    virtual intptr_t SendWindowMessage(uintptr_t window, uint32_t message, uintptr_t wParam, intptr_t lParam) = 0;

    // The part of the primary screen that windows may cover: the screen less the task bar.
    virtual Rect WorkArea() const = 0;
    // Where the mouse pointer is on the screen.
    virtual Point PointerPosition() const = 0;
};

// The desktop of the user interface this build was made for.
std::unique_ptr<Desktop> MakeDesktop();

}  // namespace velmo::platform
