#pragma once
// The main frame's real window: a top-level window owned by a hidden owner window, with the movie
// window filling its client area (child id 0x459): the hosted control's own window once a control
// is attached, else a placeholder area of ours. Every input message for the movie window goes
// through the frame's filter first; the control's window is subclassed for it. One static window
// procedure per class finds its object through the window's user data and reports to the frame's
// events; the frame decides, this class only carries the decisions out.

#include <windows.h>

#include <functional>
#include <string>
#include <vector>

#include "platform/os/win32/handles.h"
#include "platform/window.h"

namespace velmo::platform::win32 {

// The private messages of the frame, and the control window's id.
enum : UINT {
    kScaleModeMessage = 0x87D1,
    kBackgroundMessage = 0x87D2,
    kTrayMessage = 0x87D3,
    kTransparentModeMessage = 0x8003,  // to the control window: wParam 1 on, 0 off
    kShapeMessage = 0x800A,
    kCloseMessage = 0x8064,
};
inline constexpr int kControlWindowId = 0x459;
inline constexpr UINT kTrayIconId = 128;

// The control whose window is the movie window: the frame asks it to move that window (a control
// must be told its place rather than have its window moved under it), and tells it when the frame
// or the control's window goes first.
class MovieWindowHost {
public:
    // `rect` in the frame's client coordinates.
    virtual void PlaceMovieWindow(const RECT& rect) = 0;
    // The frame is going first, or the movie window is being destroyed (`windowDestroyed`: it is in
    // its last message and must not be touched). The host is detached already.
    virtual void MovieWindowGone(bool windowDestroyed) = 0;

protected:
    ~MovieWindowHost() = default;
};

class FrameWindowImpl final : public FrameWindow {
public:
    // Registers the window classes once per process; false when the system refuses.
    static bool RegisterClasses();
    // Null when a window cannot be made.
    static std::unique_ptr<FrameWindowImpl> Create(const std::string& iconSource, FrameWindowEvents& events);
    ~FrameWindowImpl() override;

    void ChangeStyles(uint32_t remove, uint32_t add, uint32_t removeExtended, uint32_t addExtended) override;
    uint32_t Style() const override;
    uint32_t ExtendedStyle() const override;
    void SetCaption(const std::string& caption) override;
    std::string Caption() const override;

    Rect WindowRect() const override;
    Size ClientSize() const override;
    Size ClientOffset() const override;
    void Move(const Rect& rect, bool repaint) override;
    void Show(ShowCommand command) override;
    WindowState State() const override;
    void SetTopmost(bool topmost, bool show) override;
    bool Topmost() const override;
    void SetRegion(const std::optional<Region>& region) override;
    std::optional<Region> GetRegion() const override;
    void Update() override;

    bool LayeredAvailable() const override;
    bool UpdateLayered(const PixelImage& image, const Rect& source, int screenLeft, int screenTop) override;
    void PlaceForSprite(const Rect& screen, Size controlAt) override;
    void EndLayered() override;

    void SetSystemMenuAdditions(const std::vector<MenuEntry>& entries) override;
    std::vector<MenuEntry> SystemMenuAdditions() const override { return additions_; }
    uint32_t TrackMenu(const std::vector<MenuEntry>& entries) override;

    bool ShowTrayIcon(int iconResource, const std::string& tip) override;
    void RemoveTrayIcon() override;
    bool TrayIconShown() const override { return trayShown_; }
    std::string TrayTip() const override { return trayShown_ ? tip_ : std::string(); }
    bool ShowTrayIconFile(const std::string& iconFile, const std::string& tip) override;
    bool ShowTrayBalloon(const std::string& text, const std::string& title, const std::string& icon,
                         uint32_t timeoutMs) override;

    bool SetSmallIcon(const std::string& iconFile) override;
    void SetDragRegion(const std::optional<Region>& region) override { dragRegion_ = region; }
    std::optional<Region> DragRegion() const override { return dragRegion_; }
    bool SetMovieCursor(const std::string& cursorFile) override;
    bool MovieHasCapture() const override { return ::GetCapture() == ControlWindow(); }
    void SetMovieCapture(bool capture) override;
    bool MovieHasFocus() const override { return ::GetFocus() == ControlWindow(); }
    void FocusMovie() override { ::SetFocus(ControlWindow()); }

    void ShowAbout(const std::string& title, const std::string& text) override;
    bool OpenHelp(const std::string& path) override;
    SheetResult RunPropertySheet(SheetDescription& sheet) override;
    void PostCloseRequest() override;
    uintptr_t NativeHandle() const override { return reinterpret_cast<uintptr_t>(frame_.Get()); }
    uintptr_t MovieWindowHandle() const override { return reinterpret_cast<uintptr_t>(ControlWindow()); }
    HWND Handle() const { return frame_.Get(); }
    // The window at id 0x459: the attached control's, or the placeholder area.
    HWND ControlWindow() const { return movieWindow_ ? movieWindow_ : area_.Get(); }
    // Makes the control's `window` (a child of the frame) the movie window in place of the area:
    // it gets the id, the input filter and the frame's resizing through `host`. False when the
    // window cannot be subclassed or is not the frame's child.
    [[nodiscard]] bool AttachMovieWindow(HWND window, MovieWindowHost& host);
    // Gives the window its own procedure back and brings the area back.
    void DetachMovieWindow();
    // Sees every input message the filter lets through to the control window: the seam tests
    // watch the filter at work through, since the stand-in control has no window of its own.
    void SetPassedInputObserver(std::function<void(UINT message, WPARAM wParam)> observer) {
        passedInput_ = std::move(observer);
    }

private:
    explicit FrameWindowImpl(FrameWindowEvents& events) : events_(events) {}
    static LRESULT CALLBACK FrameProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    static LRESULT CALLBACK AreaProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    static LRESULT CALLBACK MovieProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    LRESULT OnFrameMessage(UINT message, WPARAM wParam, LPARAM lParam);
    LRESULT OnAreaMessage(UINT message, WPARAM wParam, LPARAM lParam);
    LRESULT OnMovieMessage(UINT message, WPARAM wParam, LPARAM lParam);
    // Runs an input message of the movie window through the filter; true when the window may see
    // it, false for every message that is not input.
    bool IsInput(UINT message) const;
    bool FilterInput(UINT message, WPARAM wParam, LPARAM lParam);
    void FitMovieWindow(const RECT& rect);
    // Filters one mouse message; true when the control may see it.
    bool FilterMouse(MouseEvent event, WPARAM wParam, LPARAM lParam);
    // Shows the tray icon `icon` with `tip`; the caller keeps the icon alive.
    bool NotifyTray(HICON icon, const std::string& tip);
    void TrackContextMenu(int screenX, int screenY);
    void PaintPlaceholder();

    FrameWindowEvents& events_;
    // Destroyed in reverse order: the frame (and its child) before its owner.
    WindowHandle owner_;
    WindowHandle frame_;
    WindowHandle area_;
    HWND movieWindow_ = nullptr;            // not owned: the control's window while attached
    WNDPROC movieProc_ = nullptr;           // the control window's own procedure
    MovieWindowHost* movieHost_ = nullptr;  // not owned
    IconHandle bigIcon_, smallIcon_;        // icons loaded from files; resource icons are shared
    IconHandle trayIcon_;                   // the tray's icon when it came from a file
    CursorHandle movieCursor_;              // the movie window's pointer when it came from a file
    std::optional<Region> dragRegion_;
    int initialSystemMenuItems_ = 0;
    std::vector<MenuEntry> additions_;
    bool trayShown_ = false;
    bool placingSprite_ = false;
    bool sessionEnded_ = false;  // the frame's own resize must not re-fit the control meanwhile
    std::string tip_;
    std::function<void(UINT, WPARAM)> passedInput_;
};

}  // namespace velmo::platform::win32
