#include "platform/common/model_desktop.h"

#include <cstdio>
#include <algorithm>
#include <cstdlib>

#include "platform/files.h"
#include "platform/timers.h"

namespace velmo::platform {

namespace {

// The system's style bits this model looks at.
constexpr uint32_t kPopup = 0x80000000, kClipSiblings = 0x04000000, kCaption = 0x00C00000, kThickFrame = 0x00040000,
                   kOverlappedWindow = 0x00CF0000;
constexpr uint32_t kExToolWindow = 0x80, kExLayered = 0x80000;
constexpr size_t kTipLimit = 127;
constexpr uint32_t kTimerWaitMs = 100;  // at most, so that the caller can look at its own flags
constexpr int kFileIcon = -1;           // the tray icon came from a file rather than a resource
constexpr int kTaskBarHeight = 40;

Size ScreenFromEnvironment() {
    int w = 0, h = 0;
    const char* text = std::getenv("VELMO_SCREEN");
    if (text && std::sscanf(text, "%dx%d", &w, &h) == 2 && w > 0 && h > 0 && w <= 65535 && h <= 65535) return {w, h};
    return {1024, 768};
}

}  // namespace

class ModelFrameWindow final : public FrameWindow {
public:
    ModelFrameWindow(ModelDesktop& desktop, FrameWindowEvents& events) : desktop_(desktop), events_(events) {}
    ~ModelFrameWindow() override {
        if (desktop_.events_ == &events_) desktop_.events_ = nullptr;
    }

    void ChangeStyles(uint32_t remove, uint32_t add, uint32_t removeExtended, uint32_t addExtended) override {
        // Keep the client area where the frame around it changes, as the system does.
        style_ = (style_ & ~remove) | add | kClipSiblings;
        extended_ = (extended_ & ~removeExtended) | addExtended;
    }
    uint32_t Style() const override { return style_; }
    uint32_t ExtendedStyle() const override { return extended_; }
    void SetCaption(const std::string& caption) override { caption_ = caption; }
    std::string Caption() const override { return caption_; }

    Rect WindowRect() const override {
        return maximized_ ? Rect{0, 0, desktop_.screen_.width, desktop_.screen_.height} : rect_;
    }
    Size ClientSize() const override {
        const Rect r = WindowRect();
        const Size o = ClientOffset();
        return {std::max(0, r.width - 2 * o.width), std::max(0, r.height - o.height - Border())};
    }
    Size ClientOffset() const override { return {Border(), Border() + CaptionHeight()}; }
    void Move(const Rect& rect, bool) override { rect_ = rect; }
    void Show(ShowCommand command) override {
        switch (command) {
            case ShowCommand::Hide: visible_ = false; return;
            case ShowCommand::Show: visible_ = true; return;
            case ShowCommand::ShowMaximized: visible_ = maximized_ = true, minimized_ = false; return;
            case ShowCommand::Minimize: visible_ = minimized_ = true; return;
            case ShowCommand::Restore:
                visible_ = true;
                if (minimized_) minimized_ = false;
                else maximized_ = false;
                return;
        }
    }
    WindowState State() const override {
        if (!visible_) return WindowState::Hidden;
        if (minimized_) return WindowState::Minimized;
        return maximized_ ? WindowState::Maximized : WindowState::Visible;
    }
    void SetTopmost(bool topmost, bool show) override {
        topmost_ = topmost;
        if (show) visible_ = true;
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
        extended_ |= kExLayered;
        // A layered update places and sizes the window as well.
        rect_ = {screenLeft, screenTop, source.width, source.height};
        return true;
    }
    void PlaceForSprite(const Rect& screen, Size controlAt) override {
        rect_ = screen;
        visible_ = true;
        controlAt_ = controlAt;
    }
    void EndLayered() override { extended_ &= ~kExLayered; }

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

    void PostCloseRequest() override {
        desktop_.Post([this] { events_.OnCloseRequest(); });
    }
    uintptr_t NativeHandle() const override { return 0; }

private:
    int Border() const {
        if (style_ & kThickFrame) return 4;
        return (style_ & kCaption) ? 3 : 0;
    }
    int CaptionHeight() const {
        if ((style_ & kPopup) || (style_ & kCaption) != kCaption) return 0;
        return (extended_ & kExToolWindow) ? 15 : 19;
    }

    ModelDesktop& desktop_;
    FrameWindowEvents& events_;
    uint32_t style_ = kOverlappedWindow | kClipSiblings;
    uint32_t extended_ = 0;
    std::string caption_;
    Rect rect_{0, 0, 640, 480};
    bool visible_ = false, minimized_ = false, maximized_ = false, topmost_ = false;
    std::optional<Region> region_;
    std::vector<MenuEntry> additions_;
    Size controlAt_;  // the control window's place in the client area after a sprite placement
    int trayIcon_ = 0;
    std::string tip_;
    std::optional<Region> dragRegion_;
    bool capture_ = false, focus_ = false;
};

ModelDesktop::ModelDesktop(Size screen)
    : screen_(screen.width > 0 && screen.height > 0 ? screen : ScreenFromEnvironment()) {}

std::unique_ptr<FrameWindow> ModelDesktop::CreateFrameWindow(const std::string&, FrameWindowEvents& events) {
    events_ = &events;
    return std::make_unique<ModelFrameWindow>(*this, events);
}

// A screen too small for the task bar keeps a work area of no height rather than a negative one.
Rect ModelDesktop::WorkArea() const { return {0, 0, screen_.width, std::max(0, screen_.height - kTaskBarHeight)}; }

// With nothing posted, the desktop still has events while timers run: their ticks.
bool ModelDesktop::ProcessEvents(bool wait) {
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
