#pragma once
// The main frame's window on a GTK desktop: a GtkWindow whose only child is the movie's widget once
// a control is attached. It carries out what the frame decides and reports what the user does, as
// the Win32 window does; what X and GTK cannot do (layered windows with per-pixel alpha, balloons)
// answers "not available". The window's state is also kept in a record of the model window system,
// so that scripts reach it by the model's handle; a script that moves or shows that record moves or
// shows the real window.

#include <gtk/gtk.h>

#include <deque>
#include <optional>
#include <string>
#include <vector>

#include "platform/common/model_window_system.h"
#include "platform/window.h"

namespace velmo::platform::gtk {

class GtkDesktop;

class GtkFrameWindow final : public FrameWindow {
public:
    GtkFrameWindow(GtkDesktop& desktop, ModelWindowSystem& windows, const std::string& iconSource,
                   FrameWindowEvents& events);
    ~GtkFrameWindow() override;
    GtkFrameWindow(const GtkFrameWindow&) = delete;
    GtkFrameWindow& operator=(const GtkFrameWindow&) = delete;

    // The movie's widget fills the window; its input goes through the frame's filter first.
    void AttachMovieWidget(GtkWidget* widget);
    void DetachMovieWidget();
    void ApplyPointerShown(bool shown);
    // Carries out on the real window what scripts changed in its model record since the last call
    // (place, visibility, caption): the desktop calls it on every pass of its loop.
    void FollowRecord();

    void ChangeStyles(uint32_t remove, uint32_t add, uint32_t removeExtended, uint32_t addExtended) override;
    uint32_t Style() const override { return style_; }
    uint32_t ExtendedStyle() const override { return extendedStyle_; }
    void SetCaption(const std::string& caption) override;
    std::string Caption() const override { return caption_; }

    Rect WindowRect() const override { return rect_; }
    Size ClientSize() const override;
    Size ClientOffset() const override { return offset_; }
    void Move(const Rect& rect, bool repaint) override;
    void Show(ShowCommand command) override;
    WindowState State() const override { return state_; }
    void SetTopmost(bool topmost, bool show) override;
    bool Topmost() const override { return topmost_; }
    void SetRegion(const std::optional<Region>& region) override;
    std::optional<Region> GetRegion() const override { return region_; }
    void Update() override;

    bool LayeredAvailable() const override { return false; }
    bool UpdateLayered(const PixelImage&, const Rect&, int, int) override { return false; }
    void PlaceForSprite(const Rect& screen, Size controlAt) override;
    void EndLayered() override {}

    void SetSystemMenuAdditions(const std::vector<MenuEntry>& entries) override { additions_ = entries; }
    std::vector<MenuEntry> SystemMenuAdditions() const override { return additions_; }
    uint32_t TrackMenu(const std::vector<MenuEntry>& entries) override;

    bool ShowTrayIcon(int iconResource, const std::string& tip) override;
    void RemoveTrayIcon() override;
    bool TrayIconShown() const override { return tray_ != nullptr; }
    std::string TrayTip() const override { return tray_ ? tip_ : std::string(); }
    bool ShowTrayIconFile(const std::string& iconFile, const std::string& tip) override;
    bool ShowTrayBalloon(const std::string&, const std::string&, const std::string&, uint32_t) override {
        return false;
    }

    bool SetSmallIcon(const std::string& iconFile) override;
    void SetDragRegion(const std::optional<Region>& region) override { dragRegion_ = region; }
    std::optional<Region> DragRegion() const override { return dragRegion_; }
    bool SetMovieCursor(const std::string& cursorFile) override;
    bool MovieHasCapture() const override { return capture_; }
    void SetMovieCapture(bool capture) override { capture_ = capture; }
    bool MovieHasFocus() const override;
    void FocusMovie() override;

    void ShowAbout(const std::string& title, const std::string& text) override;
    SheetResult RunPropertySheet(SheetDescription& sheet) override;
    bool OpenHelp(const std::string& path) override;

    void PostCloseRequest() override;
    uintptr_t NativeHandle() const override { return frame_; }
    uintptr_t MovieWindowHandle() const override { return windows_.Entry(area_) ? area_ : 0; }

private:
    static gboolean OnDelete(GtkWidget*, GdkEvent*, gpointer self);
    static gboolean OnConfigure(GtkWidget*, GdkEventConfigure* event, gpointer self);
    static gboolean OnWindowState(GtkWidget*, GdkEventWindowState* event, gpointer self);
    static gboolean OnKey(GtkWidget*, GdkEventKey* event, gpointer self);
    static gboolean OnButton(GtkWidget*, GdkEventButton* event, gpointer self);
    static gboolean OnMotion(GtkWidget*, GdkEventMotion* event, gpointer self);
    static gboolean OnSizeMoveQuiet(gpointer self);
    void Configured(const Rect& client);
    bool FilterKey(const GdkEventKey& event);
    bool FilterButton(const GdkEventButton& event);
    bool FilterMouse(MouseInput input, double x, double y);
    void TrackSystemMenu();
    void SyncRecord();
    void PlaceNative(const Rect& rect);
    intptr_t OnModelMessage(const WindowMessage& m);
    void SetTrayIcon(GdkPixbuf* pixbuf, const std::string& tip);

    GtkDesktop& desktop_;
    ModelWindowSystem& windows_;
    FrameWindowEvents& events_;
    GtkWindow* window_ = nullptr;        // owned: destroyed with the frame
    GtkWidget* movie_ = nullptr;         // not owned: the control's widget, inside window_
    GtkStatusIcon* tray_ = nullptr;      // owned reference
    std::vector<gulong> movieHandlers_;  // signal handlers on movie_
    WindowHandle frame_ = 0, area_ = 0;
    uint32_t style_ = 0, extendedStyle_ = 0;
    std::string caption_, tip_;
    Rect rect_{0, 0, 640, 480};  // the window rectangle as last placed or configured
    Size offset_;                // where the client area lies in it
    // The client sizes asked for whose configure has not come yet, oldest first, with when they
    // were asked for: a configure that answers one is no user's resize, and one that answers an
    // older request while a newer one is on its way is stale.
    struct Requested {
        Size client;
        gint64 atUs = 0;
    };
    std::deque<Requested> requested_;
    WindowState state_ = WindowState::Hidden;
    bool topmost_ = false, capture_ = false, sizing_ = false, applyingRecord_ = false;
    guint sizeMoveQuiet_ = 0;
    std::optional<Region> region_, dragRegion_;
    std::vector<MenuEntry> additions_;
    ModelWindowSystem::Window written_;  // the record as this window last wrote it
};

}  // namespace velmo::platform::gtk
