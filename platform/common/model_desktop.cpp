#include "platform/common/model_desktop.h"

#include <cstdio>
#include <algorithm>
#include <cstdlib>

#include "platform/common/sheet_values.h"
#include "platform/files.h"
#include "platform/menu_system.h"
#include "platform/timers.h"

namespace velmo::platform {

namespace {

// The system's style bits this model looks at.
constexpr uint32_t kChild = kStyleChild, kClipSiblings = kStyleClipSiblings, kOverlappedWindow = kStyleOverlappedWindow;
constexpr uint32_t kExLayered = 0x80000;
// The frame's private message that closes it as the close box does.
constexpr uint32_t kCloseMessage = 0x8064;
// Menu commands; the system's own commands of the system menu start at kFirstSystemCommand.
// (WM_COMMAND itself comes with the menu system's messages.)
constexpr uint32_t kMsgSysCommand = 0x0112, kFirstSystemCommand = 0xF000;
constexpr size_t kTipLimit = 127;
constexpr uint32_t kTimerWaitMs = 100;  // at most, so that the caller can look at its own flags
constexpr int kFileIcon = -1;           // the tray icon came from a file rather than a resource

Size ScreenFromEnvironment() {
    int w = 0, h = 0;
    const char* text = std::getenv("VELMO_SCREEN");
    if (text && std::sscanf(text, "%dx%d", &w, &h) == 2 && w > 0 && h > 0 && w <= 65535 && h <= 65535) return {w, h};
    return {1024, 768};
}

}  // namespace

// The frame's window state lives in its record in the model window system, where scripts change
// it too; a record a script destroyed leaves the frame its last state.
class ModelFrameWindow final : public FrameWindow {
public:
    ModelFrameWindow(ModelDesktop& desktop, FrameWindowEvents& events)
        : desktop_(desktop), events_(events), windows_(desktop.Windows()) {
        frame_ = windows_.Register("VelmoFrame", kOverlappedWindow | kClipSiblings, {0, 0, 640, 480}, 0,
                                   [this](const WindowMessage& m) { return OnMessage(m); });
        area_ = windows_.Register("VelmoMovieArea", kChild | kClipSiblings, {}, frame_, nullptr);
        if (ModelWindowSystem::Window* area = windows_.Entry(area_)) area->visible = true;
        FitArea();
    }
    ~ModelFrameWindow() override {
        closing_ = true;
        windows_.Unregister(frame_);
        if (desktop_.events_ == &events_) desktop_.events_ = nullptr;
    }

    void ChangeStyles(uint32_t remove, uint32_t add, uint32_t removeExtended, uint32_t addExtended) override {
        // Keep the client area where the frame around it changes, as the system does.
        W().style = (W().style & ~remove) | add | kClipSiblings;
        W().extendedStyle = (W().extendedStyle & ~removeExtended) | addExtended;
        FitArea();
    }
    uint32_t Style() const override { return W().style; }
    uint32_t ExtendedStyle() const override { return W().extendedStyle; }
    void SetCaption(const std::string& caption) override { W().title = caption; }
    std::string Caption() const override { return W().title; }

    Rect WindowRect() const override {
        return W().maximized ? Rect{0, 0, desktop_.screen_.width, desktop_.screen_.height} : W().rect;
    }
    Size ClientSize() const override {
        const Rect r = WindowRect();
        const Size o = ClientOffset();
        return {std::max(0, r.width - 2 * o.width), std::max(0, r.height - o.height - Border())};
    }
    Size ClientOffset() const override { return ModelWindowSystem::ClientOffsetFor(W().style, W().extendedStyle); }
    void Move(const Rect& rect, bool) override { Place(rect); }
    void Show(ShowCommand command) override {
        ModelWindowSystem::Window& w = W();
        switch (command) {
            case ShowCommand::Hide: w.visible = false; break;
            case ShowCommand::Show: w.visible = true; break;
            case ShowCommand::ShowMaximized: w.visible = w.maximized = true, w.minimized = false; break;
            case ShowCommand::Minimize: w.visible = w.minimized = true; break;
            case ShowCommand::Restore:
                w.visible = true;
                if (w.minimized) w.minimized = false;
                else w.maximized = false;
                break;
        }
        FitArea();
    }
    WindowState State() const override {
        const ModelWindowSystem::Window& w = W();
        if (!w.visible) return WindowState::Hidden;
        if (w.minimized) return WindowState::Minimized;
        return w.maximized ? WindowState::Maximized : WindowState::Visible;
    }
    void SetTopmost(bool topmost, bool show) override {
        topmost_ = topmost;
        if (show) W().visible = true;
    }
    bool Topmost() const override { return topmost_; }
    void SetRegion(const std::optional<Region>& region) override { region_ = region; }
    std::optional<Region> GetRegion() const override { return region_; }
    void Update() override {}

    bool LayeredAvailable() const override { return true; }
    bool UpdateLayered(const PixelImage& image, const Rect& source, int screenLeft, int screenTop) override {
        if (source.left < 0 || source.top < 0 || source.width <= 0 || source.height <= 0 ||
            source.left + source.width > image.size.width || source.top + source.height > image.size.height)
            return false;
        W().extendedStyle |= kExLayered;
        // A layered update places and sizes the window as well.
        Place({screenLeft, screenTop, source.width, source.height});
        return true;
    }
    void PlaceForSprite(const Rect& screen, Size controlAt) override {
        Place(screen);
        W().visible = true;
        controlAt_ = controlAt;
    }
    void EndLayered() override { W().extendedStyle &= ~kExLayered; }

    void SetSystemMenuAdditions(const std::vector<MenuEntry>& entries) override { additions_ = entries; }
    std::vector<MenuEntry> SystemMenuAdditions() const override { return additions_; }
    uint32_t TrackMenu(const std::vector<MenuEntry>& entries) override {
        desktop_.tracked_.push_back(entries);
        if (desktop_.choices_.empty()) return 0;
        const uint32_t chosen = desktop_.choices_.front();
        desktop_.choices_.pop_front();
        return chosen;
    }

    bool ShowTrayIcon(int iconResource, const std::string& tip) override {
        trayIcon_ = iconResource;
        tip_ = tip.substr(0, kTipLimit);
        return true;
    }
    void RemoveTrayIcon() override { trayIcon_ = 0; }
    bool TrayIconShown() const override { return trayIcon_ != 0; }
    std::string TrayTip() const override { return trayIcon_ ? tip_ : std::string(); }
    // Files are read as the system would, but only for whether they exist: the model draws nothing.
    bool ShowTrayIconFile(const std::string& iconFile, const std::string& tip) override {
        if (!FileExists(iconFile)) return false;
        return ShowTrayIcon(kFileIcon, tip);
    }
    bool ShowTrayBalloon(const std::string&, const std::string&, const std::string&, uint32_t) override {
        return trayIcon_ != 0;
    }

    bool SetSmallIcon(const std::string& iconFile) override { return FileExists(iconFile); }
    void SetDragRegion(const std::optional<Region>& region) override { dragRegion_ = region; }
    std::optional<Region> DragRegion() const override { return dragRegion_; }
    bool SetMovieCursor(const std::string& cursorFile) override { return cursorFile.empty() || FileExists(cursorFile); }
    // The model has one window that can hold the capture and the focus: the movie's.
    bool MovieHasCapture() const override { return capture_; }
    void SetMovieCapture(bool capture) override { capture_ = capture; }
    bool MovieHasFocus() const override { return focus_; }
    void FocusMovie() override { focus_ = true; }

    // No user to read it: the frame's own line tells what was shown.
    void ShowAbout(const std::string&, const std::string&) override {}
    bool OpenHelp(const std::string& path) override { return !path.empty(); }
    SheetResult RunPropertySheet(SheetDescription& sheet) override { return AnswerSheetFromEnvironment(sheet); }

    void PostCloseRequest() override {
        desktop_.Post([this] { events_.OnCloseRequest(); });
    }
    uintptr_t NativeHandle() const override { return frame_; }
    uintptr_t MovieWindowHandle() const override { return windows_.Entry(area_) ? area_ : 0; }

private:
    ModelWindowSystem::Window& W() const {
        ModelWindowSystem::Window* w = windows_.Entry(frame_);
        return w ? *w : lost_;
    }
    int Border() const { return ModelWindowSystem::BorderFor(W().style); }
    void Place(const Rect& rect) {
        if (windows_.Entry(frame_)) windows_.Relocate(frame_, rect);
        else lost_.rect = rect;
        FitArea();
    }
    // The movie window fills the client area, as the real frame keeps it.
    void FitArea() {
        const Rect r = WindowRect();
        const Size offset = ClientOffset(), client = ClientSize();
        if (windows_.Entry(area_))
            windows_.Relocate(area_, {r.left + offset.width, r.top + offset.height, client.width, client.height});
    }
    // The frame's own procedure: what the real frame's window procedure does with these messages.
    intptr_t OnMessage(const WindowMessage& m) {
        if (closing_) return 0;
        switch (m.message) {
            case kMsgClose:
            case kCloseMessage: events_.OnCloseRequest(); return 0;
            case kMsgEnterSizeMove: events_.OnSizeMoveStart(); return 0;
            case kMsgExitSizeMove: events_.OnSizeMoveEnd(); return 0;
            case kMsgSize: FitArea(); return 0;
            // The frame's menu commands, as a script may send them.
            case kMsgCommand: events_.OnCommand(static_cast<uint32_t>(m.wParam & 0xFFFF)); return 0;
            case kMsgSysCommand:
                if ((m.wParam & 0xFFFF) < kFirstSystemCommand)
                    events_.OnCommand(static_cast<uint32_t>(m.wParam & 0xFFFF));
                return 0;
            case kMsgInitMenuPopup: Menus().NotifyOpening(static_cast<MenuHandle>(m.wParam)); return 0;
            default: return 0;
        }
    }

    ModelDesktop& desktop_;
    FrameWindowEvents& events_;
    ModelWindowSystem& windows_;
    WindowHandle frame_ = 0, area_ = 0;
    mutable ModelWindowSystem::Window lost_;
    bool closing_ = false, topmost_ = false;
    std::optional<Region> region_;
    std::vector<MenuEntry> additions_;
    Size controlAt_;  // the control window's place in the client area after a sprite placement
    int trayIcon_ = 0;
    std::string tip_;
    std::optional<Region> dragRegion_;
    bool capture_ = false, focus_ = false;
};

ModelDesktop::ModelDesktop(Size screen, ModelWindowSystem* windows)
    : screen_(screen.width > 0 && screen.height > 0 ? screen : ScreenFromEnvironment()),
      windows_(windows ? windows : &ModelWindowSystem::Shared()) {
    windows_->SetScreen(screen_);
}

std::unique_ptr<FrameWindow> ModelDesktop::CreateFrameWindow(const std::string&, FrameWindowEvents& events) {
    events_ = &events;
    return std::make_unique<ModelFrameWindow>(*this, events);
}

// A screen too small for the task bar keeps a work area of no height rather than a negative one.
Rect ModelDesktop::WorkArea() const { return {0, 0, screen_.width, std::max(0, screen_.height - kModelTaskBarHeight)}; }

// With nothing posted, the desktop still has events while timers run: their ticks.
bool ModelDesktop::ProcessEvents(bool wait) {
    if (windows_->DeliverPosted()) return true;
    if (posted_.empty()) {
        if (RunningTimers() == 0) return false;
        RunDueTimers(wait ? kTimerWaitMs : 0);
        return true;
    }
    // Events posted while these run wait for the next call, as posted messages do.
    std::deque<std::function<void()>> now;
    now.swap(posted_);
    for (std::function<void()>& event : now) event();
    return true;
}

}  // namespace velmo::platform
